#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QProcess>
#include <QSerialPortInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <optional>

#include "bridge_settings.h"
#include "doctor.h"
#include "module1.h"

namespace hideaway::cli {

namespace {

const QString kInstallWine = QStringLiteral(
    "install Debian's packages wine and wine32:i386 (first `dpkg --add-architecture i386`)");

QString decoded(const std::string& text) {
    return QFile::decodeName(text.c_str());
}

/// What a Windows executable's headers say it is: "a 32-bit Windows DLL" is the one the host
/// loads.
QString peKind(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("unreadable (%1)").arg(file.errorString());
    }
    const QByteArray dos = file.read(64);
    if (dos.size() < 64 || !dos.startsWith("MZ")) {
        return QStringLiteral("not a Windows DLL at all");
    }
    const auto byte = [](const QByteArray& bytes, int at) {
        return static_cast<quint32>(static_cast<quint8>(bytes.at(at)));
    };
    const quint32 offset =
        byte(dos, 60) | byte(dos, 61) << 8 | byte(dos, 62) << 16 | byte(dos, 63) << 24;
    QByteArray pe;
    if (file.seek(offset)) {
        pe = file.read(24);
    }
    if (pe.size() < 24 || !pe.startsWith(QByteArray("PE\0\0", 4))) {
        return QStringLiteral("not a Windows DLL at all");
    }
    const quint32 machine = byte(pe, 4) | byte(pe, 5) << 8;
    const bool library = (byte(pe, 23) & 0x20) != 0;  // IMAGE_FILE_DLL
    if (!library) {
        return QStringLiteral("a Windows program, not a DLL");
    }
    if (machine == 0x14c) {
        return QStringLiteral("a 32-bit Windows DLL");
    }
    return machine == 0x8664 ? QStringLiteral("a 64-bit Windows DLL")
                             : QStringLiteral("a Windows DLL for another processor");
}

/// `wine --version`, or empty when it gives nothing.
QString wineVersion(const QString& wine) {
    QProcess process;
    process.start(wine, {QStringLiteral("--version")});
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

/// Whether Debian's 32-bit Wine runs: nothing when it is not installed, false when it is but the
/// system runs no 32-bit program.
std::optional<bool> runs32BitWine() {
    const QString loader = QStringLiteral("/usr/lib/wine/wine");
    if (!QFileInfo(loader).isExecutable()) {
        return std::nullopt;
    }
    QProcess process;
    process.start(loader, {QStringLiteral("--version")});
    const bool started = process.waitForStarted(10000);
    process.kill();
    process.waitForFinished();
    return started;
}

/// Whether the character device at path is a terminal (tty) device, as a serial port is: the
/// kernel lists each in /sys/class/tty. Taken as one where the system does not show that list.
bool isTerminal(const QString& path) {
    const QDir terminals(QStringLiteral("/sys/class/tty"));
    return !terminals.exists() ||
           terminals.exists(QFileInfo(QFileInfo(path).canonicalFilePath()).fileName());
}

/// The serial device behind each COM port of the settings, as each is checked.
void checkComPorts(const bridge::BridgeSettings& settings, const QString& file,
                   DoctorReport& report) {
    for (std::size_t i = 0; i < settings.com.size(); ++i) {
        const QString device = decoded(settings.com.at(i));
        if (device.isEmpty()) {
            continue;
        }
        const QString port = QStringLiteral("COM%1").arg(i + 1);
        const QString key = QStringLiteral("com%1").arg(i + 1);
        struct stat info {};
        if (stat(settings.com.at(i).c_str(), &info) != 0) {
            report.failed(
                port,
                QStringLiteral("%1: %2").arg(device, QString::fromLocal8Bit(std::strerror(errno))),
                QStringLiteral("plug in the phone's cable, or correct `%1` in %2").arg(key, file));
        } else if (!S_ISCHR(info.st_mode) || !isTerminal(device)) {
            report.failed(port, QStringLiteral("%1 is not a serial device").arg(device),
                          QStringLiteral("name the phone's serial device (such as /dev/ttyUSB0) "
                                         "as `%1` in %2")
                              .arg(key, file));
        } else if (access(settings.com.at(i).c_str(), R_OK | W_OK) != 0) {
            report.failed(port,
                          QStringLiteral("%1, which you may not open (%2)")
                              .arg(device, QString::fromLocal8Bit(std::strerror(errno))),
                          QStringLiteral("add yourself to the group dialout (`sudo adduser $USER "
                                         "dialout`), then log in again"));
        } else {
            report.passed(port, QStringLiteral("%1, a serial device you may open").arg(device));
        }
    }
}

/// The machine's serial devices, each with the COM port the settings map it to; where none is
/// mapped, the line that maps the first USB adapter.
void listSerialDevices(const bridge::BridgeSettings& settings, const QString& file,
                       DoctorReport& report) {
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        report.noted(QStringLiteral("serial devices"), QStringLiteral("none found"));
    }
    bool anyMapped = false;
    for (const std::string& device : settings.com) {
        anyMapped = anyMapped || !device.empty();
    }
    QString firstAdapter;
    for (const QSerialPortInfo& port : ports) {
        const QString location = port.systemLocation();
        const QString real = QFileInfo(location).canonicalFilePath();
        QStringList mapped;
        for (std::size_t i = 0; i < settings.com.size(); ++i) {
            const QString device = decoded(settings.com.at(i));
            if (!device.isEmpty() && QFileInfo(device).canonicalFilePath() == real) {
                mapped << QStringLiteral("COM%1").arg(i + 1);
            }
        }
        QStringList about;
        if (port.hasVendorIdentifier()) {
            if (firstAdapter.isEmpty()) {
                firstAdapter = location;
            }
            QStringList maker;
            for (const QString& name : {port.manufacturer(), port.description()}) {
                if (!name.isEmpty() && !maker.contains(name)) {
                    maker << name;
                }
            }
            about << QStringLiteral("USB adapter %1%2")
                         .arg(maker.isEmpty() ? QString() : maker.join(QLatin1Char(' ')) + u' ')
                         .arg(QStringLiteral("(%1:%2)")
                                  .arg(port.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                                  .arg(port.productIdentifier(), 4, 16, QLatin1Char('0')));
        } else {
            about << QStringLiteral("not a USB adapter");
        }
        about << (mapped.isEmpty() ? QStringLiteral("no COM port")
                                   : mapped.join(QStringLiteral(", ")));
        report.noted(QStringLiteral("serial device"),
                     QStringLiteral("%1, %2").arg(location, about.join(QStringLiteral(", "))));
    }
    if (!anyMapped && !firstAdapter.isEmpty()) {
        report.noted(QStringLiteral("COM ports"),
                     QStringLiteral("none set; for the phone on %1 add the line `com1 = %1` to %2")
                         .arg(firstAdapter, file));
    }
}

void checkBridge(const bridge::BridgeSettings& settings, const QString& file,
                 QLibrary& bridgeLibrary, DoctorReport& report) {
    const QString wine = decoded(settings.wine);
    const QString wineFound = wine.contains(QLatin1Char('/'))
                                  ? (QFileInfo(wine).isExecutable() ? wine : QString())
                                  : QStandardPaths::findExecutable(wine);
    // As found now: the host's start makes a missing prefix.
    const QString prefix = decoded(settings.prefix);
    const QFileInfo prefixInfo(prefix);
    const bool prefixExists = prefixInfo.exists();
    const QString dll = decoded(settings.dll);
    const bool dllThere = !dll.isEmpty() && QFileInfo(dll).isFile();
    const QString kind = dllThere ? peKind(dll) : QString();

    bool hostStarted = false;
    QString greeting;
    // Only a DLL that may load is worth starting Wine for.
    if (!wineFound.isEmpty() && kind == QLatin1String("a 32-bit Windows DLL")) {
        using StartFn = int (*)(const char**);
        const auto start = reinterpret_cast<StartFn>(bridgeLibrary.resolve("GbpBridgeStartHost"));
        const char* text = "";
        hostStarted = start(&text) != 0;
        greeting = QString::fromUtf8(text);
    }
    const bool no32 = greeting.contains(QLatin1String("Wine's 32-bit half is needed"));
    const bool hostAnswered = hostStarted || (!greeting.isEmpty() && !no32);

    if (wineFound.isEmpty()) {
        report.failed(QStringLiteral("Wine"), QStringLiteral("'%1' was not found").arg(wine),
                      kInstallWine + QStringLiteral(", or name the wine program in HIDEAWAY_WINE"));
    } else {
        const QString version = wineVersion(wineFound);
        report.passed(
            QStringLiteral("Wine"),
            version.isEmpty() ? wineFound : QStringLiteral("%1 (%2)").arg(version, wineFound));
    }
    if (no32 && runs32BitWine() == false) {
        report.failed(QStringLiteral("Wine's 32-bit half"),
                      QStringLiteral("Debian's wine32 is installed, but this system does not run "
                                     "32-bit programs"),
                      QStringLiteral("use a Linux kernel that runs them (IA32 emulation)"));
    } else if (no32) {
        report.failed(QStringLiteral("Wine's 32-bit half"),
                      QStringLiteral("the bridge's host, a 32-bit Windows program, does not start "
                                     "under %1")
                          .arg(wine),
                      kInstallWine);
    } else if (hostAnswered) {
        report.passed(QStringLiteral("Wine's 32-bit half"),
                      QStringLiteral("the bridge's host, a 32-bit Windows program, runs"));
    } else {
        report.noted(QStringLiteral("Wine's 32-bit half"),
                     QStringLiteral("not tried, since the bridge's host needs Wine and the DLL"));
    }

    if (prefixExists && !prefixInfo.isDir()) {
        report.failed(QStringLiteral("Wine prefix"),
                      QStringLiteral("%1 is not a folder").arg(prefix),
                      QStringLiteral("name a folder as `prefix` in %1").arg(file));
    } else if (prefixExists && prefixInfo.ownerId() != getuid()) {
        report.failed(QStringLiteral("Wine prefix"),
                      QStringLiteral("%1 belongs to another user, and Wine takes only a prefix of "
                                     "one's own")
                          .arg(prefix),
                      QStringLiteral("name a folder of yours as `prefix` in %1").arg(file));
    } else {
        report.passed(QStringLiteral("Wine prefix"),
                      prefixExists || hostAnswered
                          ? prefix
                          : QStringLiteral("%1, made at the first start").arg(prefix));
    }

    if (dll.isEmpty()) {
        report.failed(QStringLiteral("DLL"), QStringLiteral("none named"),
                      QStringLiteral("put the line `dll = /path/to/GBP.dll` into %1").arg(file));
        return;
    }
    if (!dllThere) {
        report.failed(QStringLiteral("DLL"), QStringLiteral("%1: no such file").arg(dll),
                      QStringLiteral("correct the line `dll = ` in %1").arg(file));
        return;
    }
    if (kind != QLatin1String("a 32-bit Windows DLL")) {
        report.failed(QStringLiteral("DLL"), QStringLiteral("%1 is %2").arg(dll, kind),
                      QStringLiteral("name the phone vendor's 32-bit GBP.dll"));
        return;
    }
    report.passed(QStringLiteral("DLL"), QStringLiteral("%1, %2").arg(dll, kind));
    if (isSimulatedPhone(dll)) {
        report.noted(QStringLiteral("DLL"),
                     QStringLiteral("it is the simulated phone, not a phone vendor's DLL"));
    }
    const QString calls = QStringLiteral("DLL's calls");
    const QString needs = QStringLiteral("DLLs it needs");
    if (hostStarted) {
        report.passed(calls, QStringLiteral("all six: ") + sixCalls());
        report.passed(needs, QStringLiteral("all found"));
    } else if (greeting.contains(QLatin1String(" lacks the call "))) {
        report.failed(calls, greeting, QStringLiteral("use a complete phone-link DLL"));
        report.passed(needs, QStringLiteral("all found"));
    } else if (greeting.contains(QLatin1String("(Windows error 126)"))) {
        report.failed(needs, greeting,
                      QStringLiteral("put the DLLs it needs beside it; they come with it"));
        report.noted(calls, QStringLiteral("not known, since the DLL did not load"));
    } else if (hostAnswered) {
        report.failed(QStringLiteral("Wine bridge"), greeting,
                      QStringLiteral("act on the message"));
    } else {
        report.noted(calls, QStringLiteral("not tried, since the bridge's host did not start"));
    }
}

}  // namespace

void checkPlatform(Module1& module, DoctorReport& report) {
    bridge::BridgeSettings settings;
    std::string unread;
    const bool read = bridge::readBridgeSettings(settings, unread);
    const QString file = QDir::toNativeSeparators(decoded(settings.file));
    QLibrary loaded(module.loadedFrom());
    const bool bridge = loaded.load() && loaded.resolve("GbpBridgeStartHost") != nullptr;
    if (!read) {
        report.failed(QStringLiteral("Wine bridge settings"), decoded(unread),
                      QStringLiteral("correct what the message names"));
    } else if (bridge) {
        checkBridge(settings, file, loaded, report);
        checkComPorts(settings, file, report);
    } else {
        report.passed(QStringLiteral("calls"), QStringLiteral("all six: ") + sixCalls());
        if (isSimulatedPhone(module.loadedFrom())) {
            report.noted(QStringLiteral("phone"),
                         QStringLiteral("the library is the simulated phone; for a real one, name "
                                        "its GBP.dll as `dll` in %1")
                             .arg(file));
        }
    }
    listSerialDevices(settings, file, report);
}

}  // namespace hideaway::cli
