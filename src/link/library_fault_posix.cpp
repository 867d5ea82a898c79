#include <dlfcn.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include <cstdint>

#include "gbp_abi.h"
#include "library_fault.h"

namespace hideaway {

namespace {

struct ElfKind {
    int bits = 0;
    int machine = 0;
};

constexpr int kElfClass = 4;
constexpr int kElfData = 5;
constexpr int kElfMachine = 18;

// The header's first 20 bytes say the word size and the processor; the rest is of no concern.
bool readElfKind(const QByteArray& header, ElfKind& kind) {
    if (header.size() < 20 || !header.startsWith("\x7f"
                                                 "ELF")) {
        return false;
    }
    kind.bits = header[kElfClass] == 2 ? 64 : 32;
    const auto low = static_cast<std::uint8_t>(header[kElfMachine]);
    const auto high = static_cast<std::uint8_t>(header[kElfMachine + 1]);
    kind.machine = header[kElfData] == 2 ? (low << 8) | high : (high << 8) | low;
    return true;
}

// The program's own kind, from its header as mapped in memory.
ElfKind ownKind() {
    ElfKind kind;
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&libraryLoadFault), &info) != 0 &&
        info.dli_fbase != nullptr) {
        readElfKind(QByteArray(static_cast<const char*>(info.dli_fbase), 20), kind);
    }
    return kind;
}

QString machineName(int machine) {
    switch (machine) {
        case 3:
        case 62:
            return QStringLiteral("x86");
        case 40:
        case 183:
            return QStringLiteral("ARM");
        case 8:
            return QStringLiteral("MIPS");
        case 20:
        case 21:
            return QStringLiteral("PowerPC");
        case 22:
            return QStringLiteral("S/390");
        case 243:
            return QStringLiteral("RISC-V");
        default:
            return QStringLiteral("processor %1").arg(machine);
    }
}

QString kindName(const ElfKind& kind) {
    return QStringLiteral("%1-bit %2").arg(kind.bits).arg(machineName(kind.machine));
}

// The file a user would look for: the folder given, and the name with the platform's prefix and
// suffix, which QLibrary adds when the name has none.
QString platformFileName(const QString& name) {
    if (name.contains(QLatin1String(".so"))) {
        return name;
    }
    return (name.startsWith(QLatin1String("lib")) ? name : QStringLiteral("lib") + name) +
           QStringLiteral(".so");
}

}  // namespace

QString libraryLoadFault(const QString& candidate, const QString& loaderReason) {
    const QFileInfo given(candidate);
    const QString fileName = platformFileName(given.fileName());
    if (!candidate.contains(QLatin1Char('/'))) {
        if (loaderReason.contains(QLatin1String("cannot open shared object file"))) {
            return QStringLiteral("%1: not found on the system's library path").arg(fileName);
        }
        return QStringLiteral("%1: %2").arg(fileName, loaderReason);
    }
    const QString path = QDir::toNativeSeparators(given.dir().filePath(fileName));
    QFile file(path);
    if (!file.exists()) {
        return QStringLiteral("%1: not found").arg(path);
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("%1: cannot be read (%2)").arg(path, file.errorString());
    }
    ElfKind kind;
    if (!readElfKind(file.read(20), kind)) {
        return QStringLiteral("%1: not a shared library (not an ELF file)").arg(path);
    }
    const ElfKind own = ownKind();
    if (own.bits != 0 && (kind.bits != own.bits || kind.machine != own.machine)) {
        return QStringLiteral("%1: a library for %2, where this program needs one for %3")
            .arg(path, kindName(kind), kindName(own));
    }
    return QStringLiteral("%1: %2").arg(path, loaderReason);
}

QString loadedLibraryFile(QLibrary& library) {
    const QString name = library.fileName();
    if (QFileInfo(name).isAbsolute()) {
        return name;
    }
    // The loader knows the file that holds the library's own code.
    for (const char* operation : kGbpCallNames) {
        Dl_info info{};
        const QFunctionPointer address = library.resolve(operation);
        if (address != nullptr && dladdr(reinterpret_cast<const void*>(address), &info) != 0 &&
            info.dli_fname != nullptr) {
            return QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
        }
    }
    return name;
}

}  // namespace hideaway
