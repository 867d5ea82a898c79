#include "connect_phone.h"

#include "gbp_library.h"
#include "link_view.h"

namespace hideaway {

std::uint8_t selectedPort(const LinkView& view) {
    // Com1 is never read: it is the port used when nothing else is selected.
    std::uint8_t port = 1;
    for (std::uint8_t candidate = 2; candidate <= 5; ++candidate) {
        if (view.isComSelected(candidate)) {
            port = candidate;
        }
    }
    return port;
}

std::int16_t ConnectPhone(LinkView& view, GbpLibrary& library, std::int16_t* initResult) {
    view.setCaption(kInitializingCaption);
    view.setStatus(QStringLiteral("Open COMPORT..."));
    view.setLcdStatus(QStringLiteral("Connect..."));

    const std::int16_t result = library.InitGBPMode(selectedPort(view));
    if (initResult != nullptr) {
        *initResult = result;
    }
    if (result != 0) {
        // A non-negative number keeps a leading blank, so "Error: " is followed by two blanks.
        const QString number =
            result < 0 ? QString::number(result) : QLatin1Char(' ') + QString::number(result);
        view.setStatus(QStringLiteral("Error: ") + number);
        view.setLcdStatus(QStringLiteral("Error!"));
        view.showMessage(QStringLiteral("Unable to initialize GBP Mode..."));
        return -1;
    }

    view.setStatus(QStringLiteral("Ready..."));
    view.setCaption(kConnectedCaption);
    return 0;
}

}  // namespace hideaway
