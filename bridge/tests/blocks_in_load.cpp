// A phone-link library whose load never finishes: its static initialiser blocks, as a vendor's
// DllMain may (a DLL's initialisers run inside its DllMain, under Windows' loader lock; a native
// library's in its constructor). It needs no calls, since none is ever reached.
#include <chrono>
#include <thread>

namespace {

bool blockForEver() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

[[maybe_unused]] const bool gLoaded = blockForEver();

}  // namespace
