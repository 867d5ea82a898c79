#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace hideaway {

/// Which phone-link library the programs load, and why, in words for the user.
struct LibraryChoice {
    /// Tried in turn; QLibrary adds the platform's prefix and suffix to a name without them.
    QStringList candidates;
    /// "chosen by HIDEAWAY_GBP_LIBRARY", "chosen by ~/.config/hideaway100k/wine-bridge.conf", ...
    QString reason;
    /// Whether the candidates are the Wine bridge because the user set it up.
    bool bridge = false;
};

/// The one place both programs take their library from: HIDEAWAY_GBP_LIBRARY when set; on Linux
/// the Wine bridge beside the program once the user has set it up (wine-bridge.conf names a
/// `dll`, or HIDEAWAY_GBP_DLL is set), with no fallback, so that a broken bridge shows as its
/// errors and never as the simulated phone's slots; otherwise the library beside the program
/// (the simulated phone), then the system's library path.
LibraryChoice chooseLibrary();

/// The platform's half of the choice (library_choice_posix.cpp, library_choice_win.cpp): the
/// Wine bridge in programFolder when it is set up, nothing where there is no bridge.
std::optional<LibraryChoice> bridgeChoice(const QString& programFolder);
/// Why the library beside the program was chosen.
QString defaultChoiceReason();

}  // namespace hideaway
