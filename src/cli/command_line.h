#pragma once

#include <QString>
#include <QStringList>

#include "terminal.h"

namespace hideaway::cli {

enum class Command { Help, Version, Check, Upload, Download, Clear, Backup, Restore, Doctor };

/// What the command line asks for. Fields a command does not take keep their defaults.
struct Invocation {
    Command command = Command::Help;
    /// COM port, 1 to 5.
    int port = 1;
    /// Slot number, 1 to 5, for upload, download and clear.
    int slot = 0;
    /// FILE for upload and download, FOLDER for backup and restore.
    QString path;
    bool json = false;
    bool force = false;
    Verbosity verbosity = Verbosity::Normal;
};

/// A parsed command line, or why it is not one (error is then not empty).
struct ParsedCommandLine {
    Invocation invocation;
    QString error;
};

/// Reads the arguments after the program's name. --help and --version win over everything else;
/// "--" ends the options, for a path that starts with '-'.
ParsedCommandLine parseCommandLine(const QStringList& arguments);

/// The first of the count arguments that the program would not hand on unchanged (bytes that
/// are not valid text in the system's encoding), spelt with \xHH for such bytes; empty when every
/// argument survives. A path taken from such an argument would name another file.
QString unfaithfulArgument(int count, const char* const* arguments);

/// The text --help prints.
QString helpText();

}  // namespace hideaway::cli
