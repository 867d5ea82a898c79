#pragma once

#include <string>

namespace hideaway::bridge {

/// Wine needs its 32-bit half for a 32-bit program; Debian splits it into these packages.
inline constexpr const char* kWinePackages =
    "install Debian's packages wine and wine32:i386 (first `dpkg --add-architecture i386`)";

/// Why Wine cannot run a 32-bit program here, when the system shows it: the kernel runs no
/// 32-bit program at all, or Debian's Wine lacks its 32-bit half. Empty when neither is so, and
/// then a host that ends without a word has some other cause.
std::string wine32Trouble();

}  // namespace hideaway::bridge
