#pragma once

#include <QString>

class QLibrary;

namespace hideaway {

/// Why the phone-link library could not be loaded from one place, for a user who must act on it:
/// the file the loader looked for, named as it is found on disk (`/opt/x/libGBP.so`,
/// `C:\x\GBP.dll`), and its fault in words (missing, not a library, built for another
/// architecture). `candidate` is the name QLibrary was given; `loaderReason` is its own text,
/// used only when no better words are known.
QString libraryLoadFault(const QString& candidate, const QString& loaderReason);

/// The file a loaded library came from, as the user would find it. QLibrary knows only the bare
/// name of a library found on the system's library path; on Linux the loader knows the file.
QString loadedLibraryFile(QLibrary& library);

}  // namespace hideaway
