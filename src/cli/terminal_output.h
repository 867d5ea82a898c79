#pragma once

#include <QString>

#include <cstdio>

namespace hideaway::cli {

/// Writes the text to the stream and flushes it; whether every character arrived, with errno
/// telling why not. On Windows a console is given the text through the wide console call, so it
/// shows every character as it is whatever the console's code page; anything else (a file, a pipe)
/// gets UTF-8. Elsewhere the text goes out in the locale's encoding.
bool writeText(std::FILE* stream, const QString& text);

/// Whether the stream goes to a terminal (on Windows, a console).
bool isTerminal(std::FILE* stream);

}  // namespace hideaway::cli
