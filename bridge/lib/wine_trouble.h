#pragma once

#include <string>

#include "start_failure.h"

namespace hideaway::bridge {

/// Why Wine cannot run a 32-bit program here, when the system shows it: NoWine32 when Debian's
/// Wine beside the wine program (its halves in ../lib/wine) lacks the 32-bit one, No32BitKernel
/// when the kernel runs no 32-bit program at all. None when neither is so, and then a host that
/// ends without a word has some other cause.
StartFailure wine32Trouble(const std::string& wine);

/// The reason, and its words in text, for a wine program that could not be started (errno).
StartFailure wineNotStarted(const std::string& wine, int error, std::string& text);

}  // namespace hideaway::bridge
