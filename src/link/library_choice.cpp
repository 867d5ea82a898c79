#include "library_choice.h"

#include <QCoreApplication>
#include <QDir>

namespace hideaway {

LibraryChoice chooseLibrary() {
    if (const QString chosen = qEnvironmentVariable("HIDEAWAY_GBP_LIBRARY"); !chosen.isEmpty()) {
        return {{chosen}, QStringLiteral("chosen by HIDEAWAY_GBP_LIBRARY")};
    }
    // Without an application there is no program folder to look in.
    const QString folder = QCoreApplication::instance() != nullptr
                               ? QCoreApplication::applicationDirPath()
                               : QString();
    if (std::optional<LibraryChoice> bridge = bridgeChoice(folder)) {
        return *bridge;
    }
    LibraryChoice choice{{}, defaultChoiceReason()};
    if (!folder.isEmpty()) {
        choice.candidates << QDir(folder).filePath(QStringLiteral("GBP"));
    }
    choice.candidates << QStringLiteral("GBP");
    return choice;
}

}  // namespace hideaway
