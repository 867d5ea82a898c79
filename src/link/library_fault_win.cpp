#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include "library_fault.h"

namespace hideaway {

namespace {

// The system's own words for an error, without the line break it ends them with.
QString systemWords(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString words = length != 0 ? QString::fromWCharArray(text, int(length)).trimmed() : QString();
    LocalFree(text);
    if (words.isEmpty()) {
        return QStringLiteral("Windows error %1").arg(error);
    }
    return QStringLiteral("%1 (Windows error %2)").arg(words).arg(error);
}

// QLibrary's error text carries only a number; a second attempt, with no error box, gives the
// loader's own code.
DWORD loadError(const QString& file) {
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    const HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(file.utf16()));
    const DWORD error = module == nullptr ? GetLastError() : ERROR_SUCCESS;
    SetThreadErrorMode(previousMode, nullptr);
    if (module != nullptr) {
        FreeLibrary(module);
    }
    return error;
}

QString bitsWord() {
    return sizeof(void*) == 8 ? QStringLiteral("64-bit") : QStringLiteral("32-bit");
}

QString otherBitsWord() {
    return sizeof(void*) == 8 ? QStringLiteral("32-bit") : QStringLiteral("64-bit");
}

}  // namespace

QString libraryLoadFault(const QString& candidate, const QString& loaderReason) {
    const QFileInfo given(candidate);
    // QLibrary adds ".dll" to a name that has no suffix, as LoadLibrary does.
    const QString fileName = given.fileName().contains(QLatin1Char('.'))
                                 ? given.fileName()
                                 : given.fileName() + QStringLiteral(".dll");
    const bool bare =
        !candidate.contains(QLatin1Char('/')) && !candidate.contains(QLatin1Char('\\'));
    const QString path = bare ? fileName : QDir::toNativeSeparators(given.dir().filePath(fileName));
    if (!bare && !QFileInfo::exists(path)) {
        return QStringLiteral("%1: not found").arg(path);
    }
    const DWORD error = loadError(path);
    switch (error) {
        case ERROR_SUCCESS:
            return QStringLiteral("%1: %2").arg(path, loaderReason);
        case ERROR_BAD_EXE_FORMAT:
            return QStringLiteral(
                       "%1: not a %2 Windows DLL (it may be a %3 one, or not a DLL at all)")
                .arg(path, bitsWord(), otherBitsWord());
        case ERROR_MOD_NOT_FOUND:
            if (bare) {
                return QStringLiteral("%1: not found in the folders Windows searches for libraries")
                    .arg(path);
            }
            return QStringLiteral("%1: a library it needs cannot be found").arg(path);
        default:
            return QStringLiteral("%1: %2").arg(path, systemWords(error));
    }
}

QString loadedLibraryFile(QLibrary& library) {
    return library.fileName();
}

}  // namespace hideaway
