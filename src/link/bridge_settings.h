#pragma once

#include <array>
#include <string>

namespace hideaway::bridge {

/// A call's limit unless set: over five times the longest call a real phone makes (a full slot
/// at 9600 baud, about 22 s), so that a slow link is never cut off, while a library that stopped
/// answering frees the program within two minutes.
inline constexpr int kDefaultTimeoutSeconds = 120;

/// What the Wine bridge needs to start its host: each from wine-bridge.conf, overridden by the
/// environment. Plain C++, read by the bridge's libGBP.so and by the programs' choice of library.
struct BridgeSettings {
    std::string dll;     ///< the vendor's GBP.dll (`dll`, HIDEAWAY_GBP_DLL); empty: none named
    std::string prefix;  ///< the Wine prefix (`prefix`, WINEPREFIX)
    std::string wine = "wine";  ///< the wine program (`wine`, HIDEAWAY_WINE)
    /// The serial devices behind COM1 to COM5 (`com1` .. `com5`, HIDEAWAY_GBP_COM1 ..); empty:
    /// left as the prefix has it.
    std::array<std::string, 5> com;
    /// The longest one call may take before the host is ended (`timeout`, HIDEAWAY_GBP_TIMEOUT),
    /// in seconds; 0: no limit.
    int timeoutSeconds = kDefaultTimeoutSeconds;
    /// Where the settings came from, for messages.
    std::string file;
};

/// Reads $XDG_CONFIG_HOME/hideaway100k/wine-bridge.conf (no file: no settings) and the
/// environment. False, with reason, for a file that cannot be read or a line that is not
/// understood: a setting that is silently ignored would send the user looking elsewhere.
bool readBridgeSettings(BridgeSettings& settings, std::string& reason);

/// Reads settings from text, as found in the file named `source`, over those already set.
bool parseBridgeSettings(const std::string& text, const std::string& source,
                         BridgeSettings& settings, std::string& reason);

}  // namespace hideaway::bridge
