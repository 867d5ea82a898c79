// Counts the loader's symbol look-ups by standing in for QLibrary::resolve, through which Module1
// looks up every operation; each call is passed on to Qt's own. The stand-in sits at the call
// (the test links Module1 statically, so the call binds to the definition here), not at the C
// library's dlsym: a program of its own dlsym breaks AddressSanitizer, which looks up the real
// functions through dlsym before anything else in the process can run. Linux only.
#include <dlfcn.h>

#include <QLibrary>
#include <QTest>

#include <map>
#include <mutex>
#include <string>

#include "module1.h"

namespace {

std::mutex lookupsMutex;
std::map<std::string, int> lookupsByName;

// QLibrary::resolve(const char*) as the C++ ABI calls it: the object first, then the name.
using ResolveFn = QFunctionPointer (*)(QLibrary*, const char*);

ResolveFn qtResolve() {
    static const auto real =
        reinterpret_cast<ResolveFn>(dlsym(RTLD_NEXT, "_ZN8QLibrary7resolveEPKc"));
    return real;
}

int lookups(const char* name) {
    const std::lock_guard lock(lookupsMutex);
    const auto it = lookupsByName.find(name);
    return it == lookupsByName.end() ? 0 : it->second;
}

}  // namespace

QFunctionPointer QLibrary::resolve(const char* symbol) {
    {
        const std::lock_guard lock(lookupsMutex);
        ++lookupsByName[symbol];
    }
    const ResolveFn real = qtResolve();
    return real != nullptr ? real(this, symbol) : nullptr;
}

class TestModule1Lookups : public QObject {
    Q_OBJECT

private slots:
    void everyOperationIsLookedUpOnceAtTheFirstCall() {
        QVERIFY2(qtResolve() != nullptr, "Qt's QLibrary::resolve cannot be found");
        const char* const operations[] = {"InitGBPMode",  "EndGBPMode",     "ClearNVMFile",
                                          "WriteNVMFile", "GetNVMFileSize", "ReadNVMFile"};
        hideaway::Module1 module({QStringLiteral(RECORDER_FILE)});
        std::uint8_t buffer[4] = {};
        for (const char* operation : operations) {
            QCOMPARE(lookups(operation), 0);
        }

        // All six when the library is loaded, so that none is found missing half-way through.
        module.EndGBPMode();
        for (const char* operation : operations) {
            QCOMPARE(lookups(operation), 1);
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
