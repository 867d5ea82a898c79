#include "wine_fonts.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>

#include <cstring>

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
    for (const char* face : {"MS Shell Dlg 2", "Tahoma", "Segoe UI", "Microsoft Sans Serif"}) {
        if (installed.contains(QLatin1String(face), Qt::CaseInsensitive)) {
            return;
        }
    }
    for (const char* standIn : {"Liberation Sans", "DejaVu Sans"}) {
        if (installed.contains(QLatin1String(standIn), Qt::CaseInsensitive)) {
            QFont font = QApplication::font();
            font.setFamilies({QLatin1String(standIn)});
            QApplication::setFont(font);
            return;
        }
    }
}

}  // namespace hideaway
