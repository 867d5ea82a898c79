#pragma once

#include <QColor>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QWidget>

namespace hideaway::test {

/// Whether some pixel of the widget, as painted, lies close to the colour (text is antialiased).
inline bool paintsColour(QWidget* widget, const QColor& colour) {
    const QImage shot = widget->grab().toImage();
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) + qAbs(c.green() - colour.green()) +
                    qAbs(c.blue() - colour.blue()) <=
                60) {
                return true;
            }
        }
    }
    return false;
}

/// Whether the font asks for the design's face where it is installed, and otherwise straight for
/// a face that is installed and shown, so Qt never looks for a missing face first.
inline bool asksForInstalledFace(const QFont& font, const QString& design) {
    QStringList installed = QFontDatabase::families();
    for (QString& family : installed) {
        family = family.section(QStringLiteral(" ["), 0, 0);  // "Family [Foundry]"
    }
    if (installed.contains(design)) {
        return font.family() == design;
    }
    return installed.contains(font.family()) && QFontInfo(font).family() == font.family();
}

/// Whether the label shows its whole text: on one line within its width, or wrapped within its
/// height.
inline bool showsWholeText(const QLabel* label) {
    const QFontMetrics metrics = label->fontMetrics();
    if (!label->wordWrap()) {
        return metrics.horizontalAdvance(label->text()) <= label->width() &&
               metrics.height() <= label->height();
    }
    const QRect needed =
        metrics.boundingRect(QRect(0, 0, label->width(), 10000),
                             int(label->alignment()) | Qt::TextWordWrap, label->text());
    return needed.height() <= label->height() && needed.width() <= label->width();
}

}  // namespace hideaway::test
