// Counts the loader's symbol look-ups by standing in for the C library's dlsym, which every
// QLibrary::resolve ends in. Linux with glibc only.
#include <dlfcn.h>

#include <QTest>

#include <map>
#include <mutex>
#include <string>

#include "module1.h"

namespace {

std::mutex lookupsMutex;
std::map<std::string, int> lookupsByName;

using DlsymFn = void* (*)(void*, const char*);

DlsymFn realDlsym() {
    static const DlsymFn real = [] {
        for (const char* version : {"GLIBC_2.34", "GLIBC_2.2.5", "GLIBC_2.17", "GLIBC_2.0"}) {
            if (void* found = dlvsym(RTLD_NEXT, "dlsym", version)) {
                return reinterpret_cast<DlsymFn>(found);
            }
        }
        return DlsymFn{};
    }();
    return real;
}

int lookups(const char* name) {
    const std::lock_guard lock(lookupsMutex);
    const auto it = lookupsByName.find(name);
    return it == lookupsByName.end() ? 0 : it->second;
}

}  // namespace

extern "C" void* dlsym(void* __restrict handle, const char* __restrict name) noexcept {
    {
        const std::lock_guard lock(lookupsMutex);
        ++lookupsByName[name];
    }
    const DlsymFn real = realDlsym();
    return real != nullptr ? real(handle, name) : nullptr;
}

class TestModule1Lookups : public QObject {
    Q_OBJECT

private slots:
    void eachOperationIsLookedUpOnceAtItsFirstCall() {
        if (realDlsym() == nullptr) {
            QSKIP("the C library's dlsym cannot be reached");
        }
        const char* const operations[] = {"InitGBPMode",  "EndGBPMode",     "ClearNVMFile",
                                          "WriteNVMFile", "GetNVMFileSize", "ReadNVMFile"};
        hideaway::Module1 module({QStringLiteral(RECORDER_FILE)});
        std::uint8_t buffer[4] = {};

        module.InitGBPMode(1);
        QCOMPARE(lookups("InitGBPMode"), 1);
        for (const char* other : operations) {
            if (std::string(other) != "InitGBPMode") {
                QCOMPARE(lookups(other), 0);
            }
        }

        for (int round = 0; round < 3; ++round) {
            module.InitGBPMode(1);
            module.EndGBPMode();
            module.ClearNVMFile(18, 9);
            module.WriteNVMFile(18, 9, buffer, 1);
            module.GetNVMFileSize(18, 9);
            module.ReadNVMFile(18, 9, buffer, 1);
        }
        for (const char* operation : operations) {
            QCOMPARE(lookups(operation), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestModule1Lookups)
#include "tst_module1_lookups.moc"
