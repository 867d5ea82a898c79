#include "picture_box.h"

#include <QPaintEvent>
#include <QPainter>

namespace hideaway {

PictureBox::PictureBox(const QPixmap& picture, QWidget* parent)
    : QWidget(parent), m_picture(picture) {
    setFocusPolicy(Qt::StrongFocus);
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawPixmap(0, 0, m_picture);
}

}  // namespace hideaway
