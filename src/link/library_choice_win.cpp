#include "library_choice.h"

namespace hideaway {

// A Windows program loads the vendor's GBP.dll itself: there is no bridge to choose.
std::optional<LibraryChoice> bridgeChoice(const QString& /*programFolder*/) {
    return std::nullopt;
}

QString defaultChoiceReason() {
    return QStringLiteral("chosen by default");
}

}  // namespace hideaway
