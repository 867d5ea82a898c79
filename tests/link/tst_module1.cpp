#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <functional>
#include <optional>
#include <vector>

#include "app_error.h"
#include "module1.h"
#include "recorder_state.h"

using hideaway::AppError;
using hideaway::ErrorCode;
using hideaway::GbpCall;
using hideaway::Module1;

namespace {

const QString kRecorderFile = QStringLiteral(RECORDER_FILE);
const QString kRecorderDir = QStringLiteral(RECORDER_DIR);
const QString kPartialFile = QStringLiteral(PARTIAL_FILE);
const QString kPartialDir = QStringLiteral(PARTIAL_DIR);

// Calls one operation with harmless arguments.
std::int16_t callOperation(Module1& module, GbpCall call) {
    std::vector<std::uint8_t> buffer(16);
    switch (call) {
        case GbpCall::InitGBPMode:
            return module.InitGBPMode(1);
        case GbpCall::EndGBPMode:
            return module.EndGBPMode();
        case GbpCall::ClearNVMFile:
            return module.ClearNVMFile(18, 9);
        case GbpCall::WriteNVMFile:
            return module.WriteNVMFile(18, 9, buffer.data(), 0);
        case GbpCall::GetNVMFileSize:
            return module.GetNVMFileSize(18, 9);
        case GbpCall::ReadNVMFile:
            return module.ReadNVMFile(18, 9, buffer.data(), 0);
    }
    qFatal("unknown operation");
}

void addOperationRows() {
    QTest::addColumn<GbpCall>("operation");
    for (std::size_t i = 0; i < hideaway::kGbpCallCount; ++i) {
        QTest::newRow(hideaway::kGbpCallNames[i]) << static_cast<GbpCall>(i);
    }
}

// The error a call raised, or nothing when it raised none.
std::optional<AppError> raisedBy(const std::function<void()>& call) {
    try {
        call();
    } catch (const AppError& error) {
        return error;
    }
    return std::nullopt;
}

#ifdef Q_OS_LINUX
bool mappedIntoProcess(const QString& path) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) {
        return false;
    }
    return QString::fromLocal8Bit(maps.readAll()).contains(path);
}
#endif

}  // namespace

class TestModule1 : public QObject {
    Q_OBJECT

private:
    RecorderState* m_recorder = nullptr;

private slots:
    // Runs first, and only it uses the incomplete library before the others do: a library stays
    // in the process once loaded. That the call fails for the operation the library lacks shows
    // that the file was loaded then, and not before.
    void nothingLoadedBeforeTheFirstCall() {
        const QString mapped = QFileInfo(kPartialFile).canonicalFilePath();
        Module1 module({kPartialFile});
        QVERIFY(!module.isLoaded());
        QVERIFY(module.loadedFrom().isEmpty());
#ifdef Q_OS_LINUX
        QVERIFY(!mappedIntoProcess(mapped));
#endif
        QVERIFY_THROWS_EXCEPTION(AppError, module.ClearNVMFile(18, 9));
        QVERIFY(!module.isLoaded());
    }

    void init() {
        QLibrary probe(kRecorderFile);
        auto stateOf = reinterpret_cast<RecorderStateFn>(probe.resolve("RecorderStateOf"));
        QVERIFY2(stateOf != nullptr, qPrintable(probe.errorString()));
        m_recorder = stateOf();
        *m_recorder = RecorderState{};
    }

    void defaultPlacesAreTheProgramFolderThenTheSystemPath() {
        const QStringList expected{
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("GBP")),
            QStringLiteral("GBP")};
        QCOMPARE(Module1::defaultCandidates(), expected);
    }

    void switchNamesTheOneLibraryToLoad() {
        qputenv("HIDEAWAY_GBP_LIBRARY", QFile::encodeName(kRecorderFile));
        const auto restore = qScopeGuard([] { qunsetenv("HIDEAWAY_GBP_LIBRARY"); });
        QCOMPARE(Module1::defaultCandidates(), QStringList{kRecorderFile});
        Module1 module;
        QCOMPARE(int(module.EndGBPMode()), 0);
        QCOMPARE(m_recorder->calls[kRecorderEnd], 1);
        // Only a bridge names a DLL that it hosts.
        QCOMPARE(module.hostedLibrary(), QString());
    }

    // The window takes its library from here too: once the user's settings name a DLL, the
    // bridge beside the program is the only place, so a broken bridge never shows the simulated
    // phone's slots.
    void settingsThatNameADllChooseTheBridgeAlone() {
        if (QSysInfo::productType() == QLatin1String("windows")) {
            QSKIP("the Wine bridge serves the Linux programs only");
        }
        QTemporaryDir config;
        QVERIFY(QDir(config.path()).mkpath(QStringLiteral("hideaway100k")));
        QFile settings(config.filePath(QStringLiteral("hideaway100k/wine-bridge.conf")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("dll = /nowhere/GBP.dll\n");
        settings.close();
        const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const auto restore = qScopeGuard([&previous] { qputenv("XDG_CONFIG_HOME", previous); });

        QCOMPARE(Module1::defaultCandidates(),
                 QStringList{QDir(QCoreApplication::applicationDirPath())
                                 .filePath(QStringLiteral("wine-bridge/libGBP.so"))});
    }

    void folderAndBareNameFindThePlatformFile() {
        Module1 module({QDir(kRecorderDir).filePath(QStringLiteral("GBP"))});
        QCOMPARE(int(module.EndGBPMode()), 0);
        QCOMPARE(m_recorder->calls[kRecorderEnd], 1);
    }

    void firstPlaceThatHoldsTheLibraryWins() {
        const QTemporaryDir empty;
        QVERIFY(empty.isValid());
        Module1 fallsThrough({QDir(empty.path()).filePath(QStringLiteral("GBP")),
                              QDir(kRecorderDir).filePath(QStringLiteral("GBP"))});
        fallsThrough.InitGBPMode(3);
        QCOMPARE(m_recorder->port, 3);
        QVERIFY(fallsThrough.loadedFrom().startsWith(kRecorderDir));

        // An incomplete library found first is named, not passed over for the next one.
        Module1 takesFirst({QDir(kPartialDir).filePath(QStringLiteral("GBP")),
                            QDir(kRecorderDir).filePath(QStringLiteral("GBP"))});
        const auto error = raisedBy([&] { takesFirst.InitGBPMode(4); });
        QVERIFY2(error, "the incomplete library was passed over");
        QCOMPARE(error->code(), ErrorCode::EntryPointMissing);
        QVERIFY2(error->description().contains(QDir::toNativeSeparators(kPartialDir)),
                 qPrintable(error->description()));
        QCOMPARE(m_recorder->calls[kRecorderInit], 1);
    }

    void missingLibraryRaisesErrorNamingIt_data() {
        addOperationRows();
    }
    void missingLibraryRaisesErrorNamingIt() {
        QFETCH(GbpCall, operation);
        const QTemporaryDir first;
        const QTemporaryDir second;
        QVERIFY(first.isValid() && second.isValid());
        const QStringList places{QDir(first.path()).filePath(QStringLiteral("GBP")),
                                 QDir(second.path()).filePath(QStringLiteral("GBP"))};
        Module1 module(places);
        // The second call looks again, so a library put in place later is still found.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const auto error = raisedBy([&] { callOperation(module, operation); });
            QVERIFY2(error, "no error raised");
            const QString description = error->description();
            QCOMPARE(error->code(), ErrorCode::LibraryNotLoaded);
            QCOMPARE(error->number(), 48);
            QVERIFY2(description.startsWith(QStringLiteral("Error in loading DLL: GBP (for %1): ")
                                                .arg(QLatin1String(gbpCallName(operation)))),
                     qPrintable(description));
            // Every file looked for is named as the user would find it, not just the last.
            for (const QString& place : places) {
#ifdef Q_OS_WIN
                const QString file = place + QStringLiteral(".dll");
#else
                const QString file = QFileInfo(place).path() + QStringLiteral("/libGBP.so");
#endif
                QVERIFY2(description.contains(QDir::toNativeSeparators(file) +
                                              QStringLiteral(": not found")),
                         qPrintable(description));
            }
        }
        QVERIFY(!module.isLoaded());
    }

    void libraryOfAnotherKindRaisesErrorNamingItsFault_data() {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("fault");
        QFile recorder(kRecorderFile);
        QVERIFY(recorder.open(QIODevice::ReadOnly));
        const QByteArray library = recorder.readAll();
        // A copy of a working library, marked as built for another processor: what a user meets
        // with a vendor's library of the wrong architecture.
        QByteArray otherMachine = library;
        const QByteArray text = "this is not a library\n";
#ifdef Q_OS_WIN
        QVERIFY(library.startsWith("MZ"));
        const auto header = qFromLittleEndian<quint32>(library.constData() + 0x3C);
        otherMachine[header + 4] = char(0x64);  // Machine: x86-64
        otherMachine[header + 5] = char(0x86);
        const QString notWindows = QStringLiteral(
            "not a 32-bit Windows DLL (it may be a 64-bit one, or not a DLL at all)");
        QTest::newRow("64-bit DLL") << otherMachine << notWindows;
        QTest::newRow("text file") << text << notWindows;
#else
        QVERIFY(
            library.startsWith("\x7f"
                               "ELF"));
        otherMachine[18] = char(0xB7);  // e_machine: ARM64
        otherMachine[19] = 0;
        QTest::newRow("64-bit ARM library")
            << otherMachine << QStringLiteral("a library for 64-bit ARM, where this program needs");
        // The header of a 32-bit x86 shared object is all the loader reads before refusing it.
        QByteArray elf32(52, '\0');
        elf32.replace(0, 7,
                      QByteArray("\x7f"
                                 "ELF\x01\x01\x01"));
        elf32[16] = 3;  // e_type: shared object
        elf32[18] = 3;  // e_machine: x86
        elf32[20] = 1;  // e_version
        QTest::newRow("32-bit x86 library")
            << elf32 << QStringLiteral("a library for 32-bit x86, where this program needs");
        QTest::newRow("text file")
            << text << QStringLiteral("not a shared library (not an ELF file)");
#endif
    }
    void libraryOfAnotherKindRaisesErrorNamingItsFault() {
        QFETCH(QByteArray, image);
        QFETCH(QString, fault);
        const QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString copy = dir.filePath(QFileInfo(kRecorderFile).fileName());
        QFile file(copy);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
        file.close();

        Module1 module({dir.filePath(QStringLiteral("GBP"))});
        const auto error = raisedBy([&] { module.InitGBPMode(1); });
        QVERIFY2(error, "a library of another kind was loaded");
        QCOMPARE(error->code(), ErrorCode::LibraryNotLoaded);
        QVERIFY2(error->description().contains(QDir::toNativeSeparators(copy) +
                                               QStringLiteral(": ") + fault),
                 qPrintable(error->description()));
        QVERIFY(!module.isLoaded());
    }

    void noPlaceToLookRaisesTheSameError() {
        Module1 module(QStringList{});
        QVERIFY_THROWS_EXCEPTION(AppError, module.InitGBPMode(1));
    }

    void missingOperationStopsTheFirstCall_data() {
        addOperationRows();
    }
    void missingOperationStopsTheFirstCall() {
        QFETCH(GbpCall, operation);
        QLibrary probe(kPartialFile);
        const auto callsOf = reinterpret_cast<int (*)()>(probe.resolve("PartialCalls"));
        QVERIFY2(callsOf != nullptr, qPrintable(probe.errorString()));
        const int before = callsOf();
        Module1 module({QDir(kPartialDir).filePath(QStringLiteral("GBP"))});
        // Whichever operation comes first, none reaches a library that cannot finish them all;
        // the second call looks again, so a complete library put in place later is found.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const auto error = raisedBy([&] { callOperation(module, operation); });
            QVERIFY2(error, "no error raised");
            QCOMPARE(error->code(), ErrorCode::EntryPointMissing);
            QCOMPARE(error->number(), 453);
            QCOMPARE(error->description(),
                     QStringLiteral("Can't find DLL entry point: ReadNVMFile in ") +
                         QDir::toNativeSeparators(kPartialFile));
        }
        QCOMPARE(callsOf(), before);
    }

    void resultsComeBackAsSigned16Bit_data() {
        QTest::addColumn<int>("result");
        QTest::newRow("result 0") << 0;
        QTest::newRow("result 5") << 5;
        QTest::newRow("result -1") << -1;
        QTest::newRow("result 32767") << 32767;
        QTest::newRow("result -32768") << -32768;
        QTest::newRow("result -256") << -256;
    }
    void resultsComeBackAsSigned16Bit() {
        QFETCH(int, result);
        m_recorder->result = static_cast<std::int16_t>(result);
        Module1 module({kRecorderFile});
        for (std::size_t i = 0; i < hideaway::kGbpCallCount; ++i) {
            QCOMPARE(int(callOperation(module, static_cast<GbpCall>(i))), result);
            // Each call reaches the library exactly once.
            QCOMPARE(m_recorder->calls[i], 1);
        }
    }

    void selectorsAndPortCrossIntact_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("fileGroup");
        QTest::addColumn<int>("fileNumber");
        QTest::newRow("port 1, slot 1") << 1 << 18 << 9;
        QTest::newRow("port 5, slot 5") << 5 << 18 << 13;
        QTest::newRow("full 8-bit range") << 255 << 255 << 0;
    }
    void selectorsAndPortCrossIntact() {
        QFETCH(int, port);
        QFETCH(int, fileGroup);
        QFETCH(int, fileNumber);
        const auto group = static_cast<std::uint8_t>(fileGroup);
        const auto number = static_cast<std::uint8_t>(fileNumber);
        Module1 module({kRecorderFile});
        std::vector<std::uint8_t> buffer(8);

        module.InitGBPMode(static_cast<std::uint8_t>(port));
        QCOMPARE(m_recorder->port, port);
        const auto check = [&] {
            QCOMPARE(m_recorder->fileGroup, fileGroup);
            QCOMPARE(m_recorder->fileNumber, fileNumber);
            *m_recorder = RecorderState{};
        };
        module.ClearNVMFile(group, number);
        check();
        module.WriteNVMFile(group, number, buffer.data(), 0);
        check();
        module.GetNVMFileSize(group, number);
        check();
        module.ReadNVMFile(group, number, buffer.data(), 0);
        check();
    }

    void writeHandsOverTheWholeBuffer_data() {
        QTest::addColumn<int>("length");
        QTest::newRow("empty file") << 0;
        QTest::newRow("one byte") << 1;
        QTest::newRow("largest upload") << 20990;
        // Beyond 16 bits: the length is a 32-bit value all the way.
        QTest::newRow("70000 bytes") << 70000;
    }
    void writeHandsOverTheWholeBuffer() {
        QFETCH(int, length);
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(length) + 1);
        std::uint32_t hash = 2166136261U;
        for (int i = 0; i < length; ++i) {
            buffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((i * 13 + 5) & 0xFF);
            hash = (hash ^ buffer[static_cast<std::size_t>(i)]) * 16777619U;
        }
        Module1 module({kRecorderFile});
        module.WriteNVMFile(18, 11, buffer.data(), length);
        QCOMPARE(m_recorder->length, length);
        QCOMPARE(m_recorder->writtenHash, hash);
    }

    void readFillsTheCallersBuffer() {
        constexpr int kBufferSize = 21002;
        constexpr int kMaximum = 21000;
        std::vector<std::uint8_t> buffer(kBufferSize, 0xEE);
        m_recorder->readCount = kBufferSize;
        m_recorder->result = kMaximum;
        Module1 module({kRecorderFile});
        QCOMPARE(int(module.ReadNVMFile(18, 12, buffer.data(), kMaximum)), kMaximum);
        QCOMPARE(m_recorder->length, kMaximum);
        for (int i = 0; i < kMaximum; ++i) {
            if (buffer[static_cast<std::size_t>(i)] != ((i * 31 + 7) & 0xFF)) {
                QFAIL(qPrintable(QStringLiteral("byte %1 differs").arg(i)));
            }
        }
        QCOMPARE(int(buffer[kMaximum]), 0xEE);
        QCOMPARE(int(buffer[kMaximum + 1]), 0xEE);
    }

    // The linkers' export lists are written by hand: a call added to the table but not to a list
    // would be missing from that library, and found missing only on a user's machine.
    void exportListsFollowTheCallTable_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("simulated phone, ELF") << QStringLiteral("sim/GBP.map");
        QTest::newRow("simulated phone, DLL") << QStringLiteral("sim/GBP.def");
        QTest::newRow("Wine bridge") << QStringLiteral("bridge/lib/libGBP.map");
    }
    void exportListsFollowTheCallTable() {
#ifndef HIDEAWAY_SOURCE_DIR
        QSKIP("the export lists are checked by the native build's suite");
#else
        QFETCH(QString, file);
        QFile list(QStringLiteral(HIDEAWAY_SOURCE_DIR "/") + file);
        QVERIFY2(list.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(list.fileName()));
        // Every line that is one name (with the version script's semicolon) exports it; the
        // bridge adds calls of its own, which are not the phone's.
        static const QRegularExpression exported(QStringLiteral("^\\s*([A-Za-z]\\w*);?\\s*$"));
        QStringList calls;
        while (!list.atEnd()) {
            const auto match = exported.match(QString::fromUtf8(list.readLine()));
            if (match.hasMatch() && match.captured(1) != QLatin1String("EXPORTS") &&
                !match.captured(1).startsWith(QLatin1String("GbpBridge"))) {
                calls << match.captured(1);
            }
        }
        QStringList table;
        for (const char* name : hideaway::kGbpCallNames) {
            table << QLatin1String(name);
        }
        QCOMPARE(calls, table);
#endif
    }
};

QTEST_GUILESS_MAIN(TestModule1)
#include "tst_module1.moc"
