#include "wine_fonts.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

#include <cstring>
#include <utility>
#include <vector>

namespace hideaway {

namespace {

bool choosesPlatform(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return true;
        }
    }
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

QStringList installedFamilies() {
    QStringList families = QFontDatabase::families();
    for (QString& family : families) {
        family = family.section(QStringLiteral(" ["), 0, 0);  // "Family [Foundry]"
    }
    return families;
}

}  // namespace

ApplicationArguments::ApplicationArguments(int argc, char** argv, bool underWine) {
    for (int i = 0; i < argc; ++i) {
        m_words.emplace_back(argv[i]);
        if (i == 0 && underWine && !choosesPlatform(argc, argv)) {
            m_words.emplace_back("-platform");
            m_words.emplace_back("windows:fontengine=freetype");
        }
    }
    for (QByteArray& word : m_words) {
        m_pointers.push_back(word.data());
    }
    m_argc = static_cast<int>(m_words.size());
    m_pointers.push_back(nullptr);
}

void useDialogFaceStandIn(bool underWine) {
    if (!underWine) {
        return;
    }
    const QStringList installed = installedFamilies();
    const auto isInstalled = [&installed](const QString& family) {
        return installed.contains(family, Qt::CaseInsensitive);
    };
    // The faces the dialog face stands for on Windows. Wine lists the dialog face's name even
    // where none of them is installed, so the face a font resolves to tells.
    const auto hasDialogFace = [](const QFont& font) {
        const QString face = QFontInfo(font).family();
        for (const char* dialogFace :
             {"Tahoma", "Segoe UI", "Microsoft Sans Serif", "MS Sans Serif"}) {
            if (face.compare(QLatin1String(dialogFace), Qt::CaseInsensitive) == 0) {
                return true;
            }
        }
        return false;
    };
    if (hasDialogFace(QApplication::font())) {
        return;
    }
    QString standIn;
    for (const char* face : {"Liberation Sans", "DejaVu Sans"}) {
        if (isInstalled(QLatin1String(face))) {
            standIn = QLatin1String(face);
            break;
        }
    }
    if (standIn.isEmpty()) {
        return;
    }
    // The default font, and the system's fonts for the kinds of widget that dialogs are made of,
    // each at its own size and weight; the windows' own fonts are set explicitly and stay. The
    // kinds' fonts are read first: setting the default font drops them.
    std::vector<std::pair<const char*, QFont>> kinds;
    for (const char* className : {"QMessageBox", "QMessageBoxLabel",  "QTipLabel",
                                  "QMenu",       "QMenuBar",          "QLabel",
                                  "QPushButton", "QCheckBox",         "QRadioButton",
                                  "QToolButton", "QAbstractItemView", "QListView",
                                  "QHeaderView", "QComboMenuItem",    "QComboLineEdit",
                                  "QStatusBar",  "QDockWidgetTitle",  "QMdiSubWindowTitleBar",
                                  "QSmallFont",  "QMiniFont"}) {
        kinds.emplace_back(className, QApplication::font(className));
    }
    const auto withFace = [&](QFont font) {
        if (!hasDialogFace(font)) {
            font.setFamilies({standIn});
        }
        return font;
    };
    QApplication::setFont(withFace(QApplication::font()));
    for (const auto& [className, font] : kinds) {
        QApplication::setFont(withFace(font), className);
    }
}

}  // namespace hideaway
