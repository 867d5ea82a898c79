#include "design_fonts.h"

#include <QFontDatabase>
#include <QStringList>

#include <initializer_list>

namespace hideaway {

namespace {

const QString kImpact = QStringLiteral("Impact");

/// The design's face where it is installed, else the first stand-in that is; the design's name
/// when none is, for Qt's own fallback. Asking for a missing face costs a search through every
/// installed font before Qt tries the next name.
QString installedFace(const QString& design, std::initializer_list<const char*> standIns) {
    // A family that more than one foundry supplies is listed as "Family [Foundry]".
    static const QStringList installed = [] {
        QStringList families = QFontDatabase::families();
        for (QString& family : families) {
            family = family.section(QStringLiteral(" ["), 0, 0);
        }
        return families;
    }();
    if (installed.contains(design, Qt::CaseInsensitive)) {
        return design;
    }
    for (const char* standIn : standIns) {
        const QString face = QString::fromLatin1(standIn);
        if (installed.contains(face, Qt::CaseInsensitive)) {
            return face;
        }
    }
    return design;
}

QFont fontOf(const QString& family, qreal points, bool bold) {
    QFont font(family);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

}  // namespace

QFont impactFont(qreal points) {
    static const QString face =
        installedFace(kImpact, {"Liberation Sans Narrow", "DejaVu Sans Condensed"});
    return fontOf(face, points, face != kImpact);
}

QFont arialFont(qreal points, bool bold) {
    static const QString face =
        installedFace(QStringLiteral("Arial"), {"Liberation Sans", "DejaVu Sans"});
    return fontOf(face, points, bold);
}

QFont sansSerifFont(qreal points, bool bold) {
    static const QString face =
        installedFace(QStringLiteral("MS Sans Serif"), {"Liberation Sans", "DejaVu Sans"});
    return fontOf(face, points, bold);
}

}  // namespace hideaway
