#pragma once

#include <QString>

namespace hideaway {
class Module1;
struct LibraryChoice;
}  // namespace hideaway

namespace hideaway::cli {

class Terminal;

/// `hideaway100k-cli doctor`: checks, in the order the link needs them, what the link to the
/// phone needs: the library and why it was chosen, and on Linux the Wine bridge's Wine, prefix,
/// DLL and serial devices, on Windows the COM ports. One line per check on standard output, each
/// problem with the one thing to do. Loads the library as the programs do but makes none of its
/// six calls, so neither the phone nor a slot is touched. kExitDone when the link can be tried,
/// kExitFailed otherwise.
int runDoctor(const LibraryChoice& choice, Terminal& terminal);

/// The doctor's findings, one line each.
class DoctorReport {
public:
    explicit DoctorReport(Terminal& terminal) : m_terminal(terminal) {}

    void passed(const QString& check, const QString& finding);
    void failed(const QString& check, const QString& finding, const QString& todo);
    /// What the user may want to know, which does not keep the link from being tried.
    void noted(const QString& check, const QString& finding);
    bool anyFailed() const { return m_failed; }

private:
    Terminal& m_terminal;
    bool m_failed = false;
};

/// The six calls by name, for a line that lists them.
QString sixCalls();
/// Whether file is the simulated phone that comes with the programs: it reads its settings from
/// a variable that no vendor's library names.
bool isSimulatedPhone(const QString& file);

/// The platform's checks after the library loaded (doctor_posix.cpp, doctor_win.cpp).
void checkPlatform(Module1& module, DoctorReport& report);

}  // namespace hideaway::cli
