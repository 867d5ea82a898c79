#include "start_failure.h"

#include <iterator>

namespace hideaway::bridge {

const char* const kWinePackages =
    "install Debian's packages wine and wine32:i386 (first `dpkg --add-architecture i386`)";

namespace {

struct Words {
    StartFailure failure;
    /// What happened. %1: the subject, %2: the detail, %i: kWinePackages.
    const char* text;
    const char* todo;
    /// Whether the bridge's message goes on with the thing to do, after a colon.
    bool said = false;
};

constexpr const char* kRunWineYourself =
    "run `wine` on the host yourself, without WINEDEBUG, to see Wine's own words";

// In the enum's order, one row each.
constexpr Words kWords[] = {
    {StartFailure::None, "%1", ""},
    {StartFailure::SettingsUnreadable, "%2", "correct what the message names"},
    {StartFailure::NoDllNamed,
     "no GBP.dll named: put the line `dll = /path/to/GBP.dll` into %1, or set HIDEAWAY_GBP_DLL",
     "name the phone vendor's GBP.dll as `dll` in wine-bridge.conf"},
    {StartFailure::HostMissing, "%1 is missing; it belongs beside the bridge's libGBP.so",
     "install the Wine bridge whole (the Debian package has it; a build makes it where MinGW is "
     "installed)"},
    {StartFailure::NoWine, "the program '%1' was not found, so the phone's DLL cannot run",
     "%i, or name the wine program in HIDEAWAY_WINE", true},
    {StartFailure::WineNotStarted, "'%1' could not be started: %2",
     "name the wine program as `wine` in wine-bridge.conf or in HIDEAWAY_WINE"},
    {StartFailure::No32BitKernel,
     "this system runs no 32-bit program, and Wine runs the 32-bit host as one: the kernel's "
     "32-bit emulation is off or missing (a Debian kernel turns it on with the boot option "
     "ia32_emulation=on)",
     "use a Linux kernel that runs 32-bit programs (IA32 emulation)"},
    {StartFailure::NoWine32, "Wine's 32-bit half is not installed, which the 32-bit host needs",
     "%i", true},
    {StartFailure::PrefixNotPrepared, "`%1` did not prepare the Wine prefix %2",
     "remove a half-made prefix and try again; run the command yourself, without WINEDEBUG, to "
     "see why"},
    {StartFailure::NoPipe, "no pipe for the host: %2", "end some programs, then try again"},
    {StartFailure::HostEnded, "%1 ended before it answered (%2)", kRunWineYourself},
    {StartFailure::NoGreeting, "%1 did not answer within %2",
     "try again once the machine is less busy; a DLL whose start hangs needs its vendor"},
    {StartFailure::NotGreeted, "%1 sent bytes that are not its greeting: %2",
     "name the real wine program as `wine` in wine-bridge.conf or in HIDEAWAY_WINE"},
    {StartFailure::BrokenGreeting, "%1 broke off its greeting: %2", kRunWineYourself},
    {StartFailure::ProtocolMismatch,
     "%1 speaks protocol %2, another than this libGBP.so's: both must come from one build",
     "install gbp-host.exe and libGBP.so from one build or package"},
    {StartFailure::DllMissing, "%1: no such file",
     "correct the DLL's path (`dll` in wine-bridge.conf, or HIDEAWAY_GBP_DLL)"},
    {StartFailure::NotA32BitDll,
     "%1 is not a 32-bit Windows DLL (Windows error 193, 0xc1): not a DLL at all, or one built "
     "for another architecture",
     "name the phone vendor's 32-bit GBP.dll"},
    {StartFailure::NeedsDll,
     "%1 needs a DLL that was not found beside it or on the system (Windows error 126)",
     "put the DLLs it needs beside it; they come with it"},
    {StartFailure::DllNotLoaded, "%1 did not load (%2)",
     "use the phone vendor's GBP.dll as it came; the message says what the system found wrong"},
    {StartFailure::CallMissing, "%1 lacks the call %2", "use a complete phone-link DLL"},
};

constexpr bool inOrder() {
    for (std::size_t i = 0; i < std::size(kWords); ++i) {
        if (static_cast<std::size_t>(kWords[i].failure) != i) {
            return false;
        }
    }
    return static_cast<std::size_t>(StartFailure::CallMissing) + 1 == std::size(kWords);
}
static_assert(inOrder(), "one row of words for each reason, in the enum's order");

std::string filled(const char* pattern, const std::string& subject, const std::string& detail) {
    std::string text;
    for (const char* c = pattern; *c != '\0'; ++c) {
        const char next = c[1];
        if (*c != '%' || next == '\0') {
            text += *c;
            continue;
        }
        ++c;
        if (next == '1') {
            text += subject;
        } else if (next == '2') {
            text += detail;
        } else if (next == 'i') {
            text += kWinePackages;
        } else {
            text += '%';
            text += next;
        }
    }
    return text;
}

}  // namespace

std::string startFailureFinding(StartFailure failure, const std::string& subject,
                                const std::string& detail) {
    return filled(kWords[static_cast<std::size_t>(failure)].text, subject, detail);
}

std::string startFailureText(StartFailure failure, const std::string& subject,
                             const std::string& detail) {
    const Words& words = kWords[static_cast<std::size_t>(failure)];
    return words.said ? filled(words.text, subject, detail) + ": " + filled(words.todo, {}, {})
                      : filled(words.text, subject, detail);
}

std::string startFailureTodo(StartFailure failure) {
    return filled(kWords[static_cast<std::size_t>(failure)].todo, {}, {});
}

bool hostAnswered(StartFailure failure) {
    return failure == StartFailure::None || failure >= StartFailure::DllMissing;
}

bool startFailureAt(unsigned value, StartFailure& failure) {
    if (value >= std::size(kWords)) {
        return false;
    }
    failure = static_cast<StartFailure>(value);
    return true;
}

}  // namespace hideaway::bridge
