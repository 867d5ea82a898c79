#include "wine_fonts.h"

namespace hideaway {

// Wine runs Windows programs only.
bool runningUnderWine() {
    return false;
}

}  // namespace hideaway
