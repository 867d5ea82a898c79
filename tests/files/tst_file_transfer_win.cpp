// Saves and loads against what Windows does differently: files that another program holds open,
// and names that are devices or pipes rather than files.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <QTest>

#include "app_error.h"
#include "file_transfer.h"
#include "scratch_folder.h"
#include "transfer_fixtures.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

/// A handle on a file as another program holds it, sharing only what share allows.
class HeldOpen {
public:
    HeldOpen(const QString& path, DWORD access, DWORD share)
        : m_handle(
              CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                          access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldOpen() {
        if (ok()) {
            CloseHandle(m_handle);
        }
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;

    bool ok() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

}  // namespace

class WindowsFileTransferTest : public QObject, private ScratchFolder {
    Q_OBJECT

private slots:
    void init();

    void saveOverFileHeldOpen();
    void loadOfFileHeldExclusively();
    void saveOntoNullDevice();
    void saveOntoPipeWithoutServer();
};

void WindowsFileTransferTest::init() {
    QVERIFY(renew());
}

void WindowsFileTransferTest::saveOverFileHeldOpen() {
    // A program that reads the file and lets nobody replace it: the rename at the end of the save
    // is refused, and the save must say so and leave the old bytes and no temporary file.
    const QString target = path(QStringLiteral("held.bin"));
    const QByteArray before = randomBytes(300, 31);
    QVERIFY(writeFile(target, before));
    Reports reports;
    bool saved = true;
    {
        HeldOpen holder(target, GENERIC_READ, FILE_SHARE_READ);
        QVERIFY(holder.ok());
        saved = SaveBytesToFile(target, ByteBuffer(60, 0x42), 50, reports.sink());
    }
    QVERIFY(!saved);
    QCOMPARE(reports.texts.size(), 1);
    QVERIFY2(reports.texts.first().startsWith(QStringLiteral("Path/File access error: ") + target),
             qPrintable(reports.texts.first()));
    QCOMPARE(readFile(target), before);
    QCOMPARE(folderEntries(path()), QStringList{QStringLiteral("held.bin")});
}

void WindowsFileTransferTest::loadOfFileHeldExclusively() {
    const QString source = path(QStringLiteral("locked.bin"));
    QVERIFY(writeFile(source, randomBytes(100, 32)));
    HeldOpen holder(source, GENERIC_READ | GENERIC_WRITE, 0);
    QVERIFY(holder.ok());
    ByteBuffer buffer;
    try {
        LoadFileBytes(source, buffer, 100);
        QFAIL("a file that another program holds exclusively was loaded");
    } catch (const AppError& error) {
        QCOMPARE(error.number(), 75);
        QVERIFY2(
            error.description().startsWith(QStringLiteral("Path/File access error: ") + source),
            qPrintable(error.description()));
    }
}

void WindowsFileTransferTest::saveOntoNullDevice() {
    // A device is written in place: renaming a temporary file over it would fail or, worse, make a
    // file where the device was.
    Reports reports;
    const bool saved =
        SaveBytesToFile(QStringLiteral("NUL"), ByteBuffer(21002, 7), 21000, reports.sink());
    QCOMPARE(reports.texts.join(QLatin1Char('|')), QString());
    QVERIFY(saved);
}

void WindowsFileTransferTest::saveOntoPipeWithoutServer() {
    // No program serves this pipe: the save fails at once instead of waiting for one.
    const QString pipe =
        QStringLiteral("\\\\.\\pipe\\hideaway100k-test-nobody-%1").arg(GetCurrentProcessId());
    Reports reports;
    QVERIFY(!SaveBytesToFile(pipe, ByteBuffer(10, 1), 10, reports.sink()));
    QCOMPARE(reports.texts.size(), 1);
    QVERIFY2(reports.texts.first().contains(pipe), qPrintable(reports.texts.first()));
}

QTEST_GUILESS_MAIN(WindowsFileTransferTest)
#include "tst_file_transfer_win.moc"
