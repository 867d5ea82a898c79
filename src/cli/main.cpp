#include <QCoreApplication>

#include "command_line.h"
#include "commands.h"
#include "module1.h"
#include "progress_library.h"
#include "terminal.h"

int main(int argc, char** argv) {
    // Before the library is looked for: Module1 finds the program's own folder through it.
    const QCoreApplication app(argc, argv);
    using namespace hideaway::cli;

    Terminal terminal;
    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments().mid(1));
    if (!parsed.error.isEmpty()) {
        terminal.error(parsed.error);
        terminal.line(QStringLiteral("Try 'hideaway100k-cli --help'."));
        return kExitUsage;
    }
    switch (parsed.invocation.command) {
        case Command::Help:
            terminal.result(helpText().chopped(1));
            return kExitDone;
        case Command::Version:
            terminal.result(QStringLiteral("hideaway100k-cli " HIDEAWAY_VERSION));
            return kExitDone;
        default:
            break;
    }

    hideaway::Module1 module;
    ProgressLibrary library(module, terminal, Terminal::stderrIsTerminal());
    return runCommand(parsed.invocation, library, terminal);
}
