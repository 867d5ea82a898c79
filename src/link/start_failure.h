#pragma once

// Why the Wine bridge's host did not start, as a value that the bridge, its host and doctor pass
// between them, and the one table of words for each. Plain C++, no Qt: gbp-host.exe is built by
// MinGW from the same file.
#include <cstdint>
#include <string>

namespace hideaway::bridge {

/// The reasons, numbered for the host's greeting and GbpBridgeStartHost: append, never renumber.
enum class StartFailure : std::uint8_t {
    None,                ///< the host loaded the DLL with all six calls
    SettingsUnreadable,  ///< wine-bridge.conf or the environment holds a setting not understood
    NoDllNamed,          ///< neither `dll =` nor HIDEAWAY_GBP_DLL names the DLL
    HostMissing,         ///< gbp-host.exe is not beside libGBP.so
    NoWine,              ///< the wine program was not found
    WineNotStarted,      ///< the wine program was found but could not be started
    No32BitKernel,       ///< the kernel runs no 32-bit program, so Wine cannot run the host
    NoWine32,            ///< Debian's Wine lacks its 32-bit half
    PrefixNotPrepared,   ///< wineboot or `wine reg` failed, or used up the start's time
    NoPipe,              ///< the system gave no pipe for the host
    HostEnded,           ///< the host ended without a word, for none of the causes above
    NoGreeting,          ///< the host did not answer within the start's time
    NotGreeted,          ///< something else than the host answered
    BrokenGreeting,      ///< the host's greeting broke off or was too long
    ProtocolMismatch,    ///< the host comes from another build than libGBP.so
    DllMissing,          ///< the DLL named is not there
    NotA32BitDll,        ///< the file is no DLL, or one for another processor
    NeedsDll,            ///< a DLL that the DLL needs is missing
    DllNotLoaded,        ///< the DLL did not load for another reason
    CallMissing,         ///< the DLL lacks one or more of the six calls
};

/// The packages that give Wine both halves on Debian, said once for every message that needs it.
extern const char* const kWinePackages;

/// The bridge's message: what happened, in words a user can act on, and for some reasons what to
/// do. subject is what failed (a file, the host, a command), detail what the system said; either
/// may be empty where the reason needs none.
std::string startFailureText(StartFailure failure, const std::string& subject = {},
                             const std::string& detail = {});

/// What happened alone, for a line that says what to do apart (doctor's).
std::string startFailureFinding(StartFailure failure, const std::string& subject = {},
                                const std::string& detail = {});

/// The one thing to do about it.
std::string startFailureTodo(StartFailure failure);

/// Whether the host ran under Wine and answered: the reason is then about the DLL, not Wine.
bool hostAnswered(StartFailure failure);

/// The reason carried by a number from outside (a greeting), or false for none known.
bool startFailureAt(unsigned value, StartFailure& failure);

}  // namespace hideaway::bridge
