// Another program on the same phone: opens GBP mode in the folder that HIDEAWAY_PHONE_DIR names,
// prints InitGBPMode's result, and ends GBP mode when a line (or the end) reaches its input.
#include <iostream>
#include <string>

#include <QLibrary>

#include "gbp_abi.h"

int main() {
    QLibrary library(QStringLiteral(GBP_LIBRARY_PATH));
    const auto init = reinterpret_cast<GbpInitGBPModeFn>(library.resolve("InitGBPMode"));
    const auto end = reinterpret_cast<GbpEndGBPModeFn>(library.resolve("EndGBPMode"));
    if (init == nullptr || end == nullptr) {
        std::cout << "no library: " << library.errorString().toStdString() << std::endl;
        return 1;
    }
    std::cout << init(1) << std::endl;
    std::string line;
    std::getline(std::cin, line);
    end();
    return 0;
}
