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

#include "bridge_settings.h"
#include "doctor.h"
#include "module1.h"
#include "start_failure.h"

namespace hideaway::cli {

namespace {

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

/// What the bridge said when doctor started its host; not tried when Wine or the DLL is missing.
struct HostStart {
    bool tried = false;
    bridge::StartFailure failure = bridge::StartFailure::None;
    QString text;
};

HostStart startHost(QLibrary& bridgeLibrary) {
    using StartFn = int (*)(const char**, int*);
    const auto start = reinterpret_cast<StartFn>(bridgeLibrary.resolve("GbpBridgeStartHost"));
    HostStart result;
    const char* text = "";
    int failure = 0;
    result.tried = true;
    start(&text, &failure);
    result.text = QString::fromUtf8(text);
    if (!bridge::startFailureAt(static_cast<unsigned>(failure), result.failure)) {
        result.failure = bridge::StartFailure::HostEnded;
    }
    return result;
}

QString said(const std::string& text) {
    return QString::fromUtf8(text.c_str());
}

void checkWine(const QString& wine, const QString& wineFound, const HostStart& host,
               DoctorReport& report) {
    using bridge::StartFailure;
    if (wineFound.isEmpty()) {
        report.failed(QStringLiteral("Wine"), QStringLiteral("'%1' was not found").arg(wine),
                      said(bridge::startFailureTodo(StartFailure::NoWine)));
    } else {
        const QString version = wineVersion(wineFound);
        report.passed(
            QStringLiteral("Wine"),
            version.isEmpty() ? wineFound : QStringLiteral("%1 (%2)").arg(version, wineFound));
    }
    const QString half = QStringLiteral("Wine's 32-bit half");
    if (!host.tried) {
        report.noted(half,
                     QStringLiteral("not tried, since the bridge's host needs Wine and the DLL"));
    } else if (host.failure == StartFailure::NoWine32 ||
               host.failure == StartFailure::No32BitKernel) {
        report.failed(half, said(bridge::startFailureFinding(host.failure)),
                      said(bridge::startFailureTodo(host.failure)));
    } else if (bridge::hostAnswered(host.failure)) {
        report.passed(half, QStringLiteral("the bridge's host, a 32-bit Windows program, runs"));
    } else {
        report.noted(half, QStringLiteral("not known, since the bridge's host did not start"));
    }
}

void checkPrefix(const QString& prefix, const QString& file, bool hostAnswered,
                 DoctorReport& report) {
    // As found now: the host's start makes a missing prefix.
    const QFileInfo prefixInfo(prefix);
    const bool prefixExists = prefixInfo.exists();
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
}

/// The DLL's file as doctor finds it itself; false when the host cannot take it.
bool checkDllFile(const QString& dll, const QString& kind, const QString& file,
                  DoctorReport& report) {
    if (dll.isEmpty()) {
        report.failed(QStringLiteral("DLL"), QStringLiteral("none named"),
                      QStringLiteral("put the line `dll = /path/to/GBP.dll` into %1").arg(file));
        return false;
    }
    if (kind.isEmpty()) {
        report.failed(QStringLiteral("DLL"), QStringLiteral("%1: no such file").arg(dll),
                      QStringLiteral("correct the line `dll = ` in %1").arg(file));
        return false;
    }
    if (kind != QLatin1String("a 32-bit Windows DLL")) {
        report.failed(QStringLiteral("DLL"), QStringLiteral("%1 is %2").arg(dll, kind),
                      QStringLiteral("name the phone vendor's 32-bit GBP.dll"));
        return false;
    }
    report.passed(QStringLiteral("DLL"), QStringLiteral("%1, %2").arg(dll, kind));
    if (isSimulatedPhone(dll)) {
        report.noted(QStringLiteral("DLL"),
                     QStringLiteral("it is the simulated phone, not a phone vendor's DLL"));
    }
    return true;
}

/// What the host found of the DLL: its calls and the DLLs it needs, or why it did not start.
void checkHostedDll(const HostStart& host, DoctorReport& report) {
    using bridge::StartFailure;
    const QString calls = QStringLiteral("DLL's calls");
    const QString needs = QStringLiteral("DLLs it needs");
    const QString todo = said(bridge::startFailureTodo(host.failure));
    if (host.failure == StartFailure::None) {
        report.passed(calls, QStringLiteral("all six: ") + sixCalls());
        report.passed(needs, QStringLiteral("all found"));
    } else if (host.failure == StartFailure::CallMissing) {
        report.failed(calls, host.text, todo);
        report.passed(needs, QStringLiteral("all found"));
    } else if (host.failure == StartFailure::NeedsDll) {
        report.failed(needs, host.text, todo);
        report.noted(calls, QStringLiteral("not known, since the DLL did not load"));
    } else {
        if (host.failure != StartFailure::NoWine32 && host.failure != StartFailure::No32BitKernel) {
            report.failed(QStringLiteral("Wine bridge"), host.text, todo);
        }
        report.noted(calls, QStringLiteral("not tried, since the bridge's host did not start"));
    }
}

void checkBridge(const bridge::BridgeSettings& settings, const QString& file,
                 QLibrary& bridgeLibrary, DoctorReport& report) {
    const QString wine = decoded(settings.wine);
    const QString wineFound = wine.contains(QLatin1Char('/'))
                                  ? (QFileInfo(wine).isExecutable() ? wine : QString())
                                  : QStandardPaths::findExecutable(wine);
    const QString dll = decoded(settings.dll);
    const QString kind = !dll.isEmpty() && QFileInfo(dll).isFile() ? peKind(dll) : QString();
    HostStart host;
    // Only a DLL that may load is worth starting Wine for.
    if (!wineFound.isEmpty() && kind == QLatin1String("a 32-bit Windows DLL")) {
        host = startHost(bridgeLibrary);
    }
    checkWine(wine, wineFound, host, report);
    checkPrefix(decoded(settings.prefix), file, host.tried && bridge::hostAnswered(host.failure),
                report);
    if (checkDllFile(dll, kind, file, report)) {
        if (host.tried) {
            checkHostedDll(host, report);
        } else {
            report.noted(QStringLiteral("DLL's calls"),
                         QStringLiteral("not tried, since the bridge's host did not start"));
        }
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
                      said(bridge::startFailureTodo(bridge::StartFailure::SettingsUnreadable)));
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
