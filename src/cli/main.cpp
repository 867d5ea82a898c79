#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <csignal>
#include <cstdio>

#include "command_line.h"
#include "commands.h"
#include "doctor.h"
#include "end_now.h"
#include "library_choice.h"
#include "module1.h"
#include "progress_library.h"
#include "stop_signals.h"
#include "stopping_library.h"
#include "terminal.h"

namespace {

using namespace hideaway::cli;

/// A result that could not be written fails the run, as it does for the core utilities.
int finish(Terminal& terminal, int status) {
    const QString failed = terminal.resultError();
    if (failed.isEmpty()) {
        return status;
    }
    terminal.error(QStringLiteral("write error: ") + failed);
    return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(SIGXFSZ)
    // Past a file-size limit a write then fails with an error the save reports, instead of the
    // signal ending the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // Before the library is looked for: Module1 finds the program's own folder through it.
    const QCoreApplication app(argc, argv);

    Terminal terminal;
    // A name that does not survive the trip into text would name another file.
    if (const QString name = unfaithfulArgument(argc - 1, argv + 1); !name.isEmpty()) {
        terminal.error(QStringLiteral("'%1' is not valid text in this system's encoding, so it "
                                      "cannot be handed on unchanged; rename it")
                           .arg(name));
        return kExitUsage;
    }
    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments().mid(1));
    if (!parsed.error.isEmpty()) {
        terminal.error(parsed.error);
        terminal.line(QStringLiteral("Try 'hideaway100k-cli --help'."));
        return kExitUsage;
    }
    switch (parsed.invocation.command) {
        case Command::Help:
            terminal.result(helpText().chopped(1));
            return finish(terminal, kExitDone);
        case Command::Version:
            terminal.result(QStringLiteral("hideaway100k-cli " HIDEAWAY_VERSION));
            return finish(terminal, kExitDone);
        default:
            break;
    }

    terminal.setVerbosity(parsed.invocation.verbosity);
    const hideaway::LibraryChoice choice = hideaway::chooseLibrary();
    if (parsed.invocation.command == Command::Doctor) {
        return finish(terminal, runDoctor(choice, terminal));
    }
    hideaway::Module1 module(choice.candidates);
    // A bridge is named with the DLL it hosts: that DLL is the one that talks to the phone.
    const auto loadedFrom = [&module] {
        const QString loaded = QDir::toNativeSeparators(module.loadedFrom());
        const QString hosted = module.hostedLibrary();
        return hosted.isEmpty() ? loaded
                                : QStringLiteral("%1 (Wine bridge to %2)").arg(loaded, hosted);
    };
    // Said with why it was chosen: the user's settings choose a library as well as the
    // environment does.
    ProgressLibrary progress(
        module, terminal,
        Terminal::stderrIsTerminal() && parsed.invocation.verbosity != Verbosity::Quiet,
        [&] { return loadedFrom() + QStringLiteral(", ") + choice.reason; });
    // Outermost, so that a refused call is never shown as a step.
    StoppingLibrary library(progress);

    // The first signal stops the run once the slot in progress is finished (or, between slots,
    // once the call under way returns); a second ends it at once, since the call may never return.
    std::atomic<int> signalsSeen = 0;
    std::atomic<StopSignal> firstSignal = StopSignal::Interrupt;
    const StopSignals stopSignals([&](StopSignal signal) {
        if (++signalsSeen == 1) {
            firstSignal = signal;
            const int slot = library.requestStop();
            const QString when = slot != 0
                                     ? QStringLiteral("stopping once slot %1 is finished").arg(slot)
                                     : QStringLiteral("stopping once the step in progress ends");
            switch (signal) {
                case StopSignal::Interrupt:
                    terminal.errorUnlessBusy(
                        QStringLiteral("Ctrl-C: ") + when +
                        QStringLiteral("; press Ctrl-C again to stop at once"));
                    break;
                case StopSignal::Terminate:
                    terminal.errorUnlessBusy(QStringLiteral("SIGTERM: ") + when);
                    break;
                case StopSignal::Close:
                    terminal.errorUnlessBusy(QStringLiteral("asked to end by Windows: ") + when);
                    break;
            }
            return;
        }
        QString state = library.leftBehind();
        if (state.isEmpty()) {
            state = QStringLiteral("no slot was being changed");
        }
        if (parsed.invocation.command == Command::Backup) {
            state += QStringLiteral("; %1 keeps its last complete backup")
                         .arg(QDir::toNativeSeparators(
                             QFileInfo(parsed.invocation.path).absoluteFilePath()));
        }
        terminal.errorUnlessBusy(QStringLiteral("stopped at once: ") + state);
        std::fflush(nullptr);
        hideaway::endProcessNow(stopStatus(signal));
    });

    const int status = runCommand(parsed.invocation, library, terminal, loadedFrom);
    if (!library.stopped()) {
        return finish(terminal, status);
    }
    if (const int slot = library.finishedAfterStop(); slot != 0) {
        terminal.error(QStringLiteral("stopped once slot %1 was finished").arg(slot));
    }
    return finish(terminal, stopStatus(firstSignal));
}
