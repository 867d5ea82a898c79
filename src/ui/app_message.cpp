#include "app_message.h"

#include <QMessageBox>

namespace hideaway {

void showAppMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace hideaway
