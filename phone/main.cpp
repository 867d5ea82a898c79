// hideaway-phone: a stand-in phone at the far end of a serial line, for rehearsing the whole link
// without a phone. It makes a pseudo-terminal, links it at PATH for the simulated phone library
// (`serial = PATH` in its settings), keeps its NVM files in the simulated phone's folder format,
// and plays a line's faults on demand.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "phone.h"
#include "pseudo_terminal.h"
#include "stand_in.h"

namespace {

constexpr const char* kUsage =
    "usage: hideaway-phone --link PATH [--dir DIR] [--baud N] [--drop-after BYTES]\n"
    "                      [--noise EVERY] [--silent-after BYTES] [--delay MS]\n"
    "  --link PATH         put a link to the phone's serial line at PATH\n"
    "  --dir DIR           keep the NVM files in DIR (default: the simulated phone's folder)\n"
    "  --baud N            the line's speed, 10 bits a byte (default 115200)\n"
    "  --drop-after BYTES  hang up and end once BYTES bytes have come in\n"
    "  --noise EVERY       flip a bit in one of every EVERY bytes sent\n"
    "  --silent-after BYTES  stop answering once BYTES bytes have come in, line kept open\n"
    "  --delay MS          wait MS milliseconds before each answer\n";

int usageError(const std::string& why) {
    std::fprintf(stderr, "hideaway-phone: %s\n%s", why.c_str(), kUsage);
    return 2;
}

std::optional<long long> wholeNumber(const char* text, long long low) {
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || value < low) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    std::string link;
    long long baud = 115200;
    hideaway::phone::LineFaults faults;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            return usageError(std::string(option) + " needs a value");
        }
        const char* value = argv[++i];
        const bool count = option != "--link" && option != "--dir";
        const auto number = wholeNumber(value, option == "--baud" || option == "--noise" ? 1 : 0);
        if (count && !number) {
            return usageError(std::string(option) + " " + value + ": not a whole number in range");
        }
        if (option == "--link") {
            link = value;
        } else if (option == "--dir") {
            // The simulated phone finds its folder here, as in the library.
            setenv(hideaway::sim::kPhoneDirVariable, value, 1);
        } else if (option == "--baud") {
            baud = *number;
        } else if (option == "--drop-after") {
            faults.dropAfter = *number;
        } else if (option == "--noise") {
            faults.noiseEvery = *number;
        } else if (option == "--silent-after") {
            faults.silentAfter = *number;
        } else if (option == "--delay") {
            faults.delay = std::chrono::milliseconds(*number);
        } else {
            return usageError("unknown option " + std::string(option));
        }
    }
    if (link.empty()) {
        return usageError("--link PATH is needed");
    }

    hideaway::phone::installStopSignals();
    hideaway::phone::PseudoTerminal line;
    std::string reason;
    if (!line.open(link, reason)) {
        std::fprintf(stderr, "hideaway-phone: %s\n", reason.c_str());
        return 1;
    }
    std::printf("ready %s\n", link.c_str());
    std::fflush(stdout);
    hideaway::phone::StandIn(line, baud, faults).serve();
    return 0;
}
