#pragma once

#include <QPixmap>
#include <QWidget>

namespace hideaway {

/// A box that draws its picture unscaled from its top-left corner and may hold other controls.
/// Like the classic picture box it is a tab stop.
class PictureBox final : public QWidget {
    Q_OBJECT

public:
    PictureBox(const QPixmap& picture, QWidget* parent);

    const QPixmap& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};

}  // namespace hideaway
