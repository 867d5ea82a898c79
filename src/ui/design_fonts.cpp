#include "design_fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace hideaway {

namespace {

const QString kImpact = QStringLiteral("Impact");

QFont fontOf(const QString& family, qreal points, bool bold) {
    installFontSubstitutes();
    QFont font(family);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

}  // namespace

void installFontSubstitutes() {
    static const bool installed = [] {
        QFont::insertSubstitutions(kImpact, {QStringLiteral("Liberation Sans Narrow"),
                                             QStringLiteral("DejaVu Sans Condensed")});
        QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"),
                                                             QStringLiteral("DejaVu Sans")});
        QFont::insertSubstitutions(
            QStringLiteral("MS Sans Serif"),
            {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        return true;
    }();
    Q_UNUSED(installed);
}

QFont impactFont(qreal points) {
    static const bool haveImpact = QFontDatabase::families().contains(kImpact);
    return fontOf(kImpact, points, !haveImpact);
}

QFont arialFont(qreal points, bool bold) {
    return fontOf(QStringLiteral("Arial"), points, bold);
}

QFont sansSerifFont(qreal points, bool bold) {
    return fontOf(QStringLiteral("MS Sans Serif"), points, bold);
}

}  // namespace hideaway
