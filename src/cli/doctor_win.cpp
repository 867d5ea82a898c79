#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <QStringList>

#include <algorithm>

#include "doctor.h"
#include "module1.h"

namespace hideaway::cli {

namespace {

/// The COM ports Windows has now, as its serial drivers list them in the registry.
QStringList comPorts() {
    QStringList ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return ports;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[64];
        DWORD dataBytes = sizeof data;
        DWORD type = 0;
        const LONG status = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_SUCCESS && type == REG_SZ) {
            ports << QString::fromWCharArray(data, int(dataBytes / sizeof(wchar_t)))
                         .trimmed()
                         .remove(QChar(0));
        }
    }
    RegCloseKey(key);
    // COM2 before COM10.
    std::sort(ports.begin(), ports.end(), [](const QString& a, const QString& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return ports;
}

}  // namespace

void checkPlatform(Module1& module, DoctorReport& report) {
    report.passed(QStringLiteral("calls"), QStringLiteral("all six: ") + sixCalls());
    if (isSimulatedPhone(module.loadedFrom())) {
        report.noted(QStringLiteral("phone"),
                     QStringLiteral("GBP.dll is the simulated phone; for a real one, put the "
                                    "phone vendor's GBP.dll beside the program in its place"));
    }
    const QStringList ports = comPorts();
    report.noted(QStringLiteral("COM ports"),
                 ports.isEmpty() ? QStringLiteral("none found") : ports.join(QStringLiteral(", ")));
}

}  // namespace hideaway::cli
