#include "command_line.h"

#include <optional>

#include "slot_table.h"

namespace hideaway::cli {

namespace {

struct CommandSyntax {
    const char* name;
    Command command;
    /// What follows the command's name: 'S' a slot, 'P' a path.
    const char* operands;
    const char* usage;
};

constexpr CommandSyntax kCommands[] = {
    {"check", Command::Check, "", "check [--json]"},
    {"upload", Command::Upload, "SP", "upload SLOT FILE"},
    {"download", Command::Download, "SP", "download SLOT FILE"},
    {"clear", Command::Clear, "S", "clear SLOT"},
    {"backup", Command::Backup, "P", "backup FOLDER"},
    {"restore", Command::Restore, "P", "restore FOLDER"},
    {"doctor", Command::Doctor, "", "doctor"},
};

/// A whole number from low to high written in plain digits, or nothing.
std::optional<int> numberIn(const QString& text, int low, int high) {
    if (text.isEmpty() || text.size() > 2) {
        return std::nullopt;
    }
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
    }
    const int value = text.toInt();
    if (value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

ParsedCommandLine usageError(const QString& error) {
    return {Invocation{}, error};
}

}  // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments) {
    Invocation invocation;
    QStringList operands;
    std::optional<QString> port;
    bool help = false;
    bool version = false;
    bool verbose = false;
    bool quiet = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument.size() == 1) {
            operands << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            help = true;
        } else if (argument == QLatin1String("--version")) {
            version = true;
        } else if (argument == QLatin1String("--json")) {
            invocation.json = true;
        } else if (argument == QLatin1String("--force")) {
            invocation.force = true;
        } else if (argument == QLatin1String("--verbose") || argument == QLatin1String("-v")) {
            verbose = true;
        } else if (argument == QLatin1String("--quiet") || argument == QLatin1String("-q")) {
            quiet = true;
        } else if (argument == QLatin1String("--port")) {
            if (i + 1 == arguments.size()) {
                return usageError(QStringLiteral("--port needs a number from 1 to 5"));
            }
            port = arguments.at(++i);
        } else if (argument.startsWith(QLatin1String("--port="))) {
            port = argument.mid(7);
        } else {
            return usageError(QStringLiteral("unknown option '%1'").arg(argument));
        }
    }
    if (help || version) {
        invocation.command = help ? Command::Help : Command::Version;
        return {invocation, {}};
    }

    if (verbose && quiet) {
        return usageError(QStringLiteral("--verbose and --quiet exclude each other"));
    }
    invocation.verbosity =
        verbose ? Verbosity::Verbose : (quiet ? Verbosity::Quiet : Verbosity::Normal);

    if (port) {
        const std::optional<int> number = numberIn(*port, 1, 5);
        if (!number) {
            return usageError(
                QStringLiteral("--port takes a number from 1 to 5, not '%1'").arg(*port));
        }
        invocation.port = *number;
    }

    if (operands.isEmpty()) {
        return usageError(QStringLiteral("no command given"));
    }
    const QString name = operands.takeFirst();
    const CommandSyntax* syntax = nullptr;
    for (const CommandSyntax& candidate : kCommands) {
        if (name == QLatin1String(candidate.name)) {
            syntax = &candidate;
        }
    }
    if (syntax == nullptr) {
        return usageError(QStringLiteral("unknown command '%1'").arg(name));
    }
    invocation.command = syntax->command;

    const QString usage =
        QStringLiteral("usage: hideaway100k-cli [--port N] ") + QLatin1String(syntax->usage);
    const QLatin1String expected(syntax->operands);
    if (operands.size() != expected.size()) {
        return usageError(usage);
    }
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QString& operand = operands.at(i);
        if (expected.at(i) == QLatin1Char('S')) {
            const std::optional<int> slot = numberIn(operand, 1, kSlotCount);
            if (!slot) {
                return usageError(
                    QStringLiteral("SLOT is a number from 1 to 5, not '%1'").arg(operand));
            }
            invocation.slot = *slot;
        } else {
            if (operand.isEmpty()) {
                return usageError(usage);
            }
            invocation.path = operand;
        }
    }

    if (invocation.json && invocation.command != Command::Check) {
        return usageError(QStringLiteral("--json goes with check only"));
    }
    if (invocation.force && invocation.command != Command::Download) {
        return usageError(QStringLiteral("--force goes with download only"));
    }
    return {invocation, {}};
}

QString unfaithfulArgument(int count, const char* const* arguments) {
    for (int i = 0; i < count; ++i) {
        const QByteArray bytes(arguments[i]);
        if (QString::fromLocal8Bit(bytes).toLocal8Bit() == bytes) {
            continue;
        }
        // Spelt as a shell would take it back: printable ASCII as it is, every other byte as \xHH.
        QString spelt;
        for (const char byte : bytes) {
            const auto value = static_cast<unsigned char>(byte);
            spelt += value >= 0x20 && value < 0x7F
                         ? QString(QLatin1Char(byte))
                         : QStringLiteral("\\x") +
                               QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
        }
        return spelt;
    }
    return {};
}

QString helpText() {
    return QStringLiteral(
        "Usage: hideaway100k-cli [--port N] COMMAND [ARGUMENTS]\n"
        "Keeps up to five files in the five slots of the phone, as the Hideaway100K window does.\n"
        "\n"
        "Commands:\n"
        "  check [--json]       how many bytes each slot holds, and the total\n"
        "  upload SLOT FILE     store FILE (at most 20990 bytes) in SLOT and verify it\n"
        "  download SLOT FILE [--force]\n"
        "                       save what SLOT holds as FILE\n"
        "  clear SLOT           empty SLOT\n"
        "  backup FOLDER        save every slot that holds bytes as FOLDER/slotN.bin,\n"
        "                       with FOLDER/manifest.json (slot, bytes, SHA-256) and\n"
        "                       FOLDER/SHA256SUMS (for sha256sum -c)\n"
        "  restore FOLDER       check every file FOLDER/manifest.json lists, then write\n"
        "                       each back to its slot and verify it\n"
        "  doctor               check what the link to the phone needs, one line each,\n"
        "                       without touching the phone\n"
        "\n"
        "Options:\n"
        "  --port N    the COM port of the phone, 1 to 5 (default 1)\n"
        "  --json      with check: one JSON object instead of the table\n"
        "  --force     with download: replace FILE when it exists\n"
        "  --verbose   every step and every field the window would show\n"
        "  --quiet     nothing on standard error but errors and warnings\n"
        "  --help      show this text\n"
        "  --version   show the version\n"
        "\n"
        "SLOT is 1 to 5. Steps and errors go to standard error, results to standard output.\n"
        "Ctrl-C stops the run once the slot in progress is finished; a second Ctrl-C at once.\n"
        "Exit status: 0 all done and verified, 1 an operation failed, 2 a usage error,\n"
        "130 stopped by Ctrl-C, 143 stopped by SIGTERM.\n");
}

}  // namespace hideaway::cli
