#include <QTest>

#include "app_error.h"
#include "file_transfer.h"
#include "scratch_folder.h"
#include "transfer_fixtures.h"

using namespace hideaway;
using namespace hideaway::test;

class FileTransferTest : public QObject, private ScratchFolder {
    Q_OBJECT

private slots:
    void init() { QVERIFY(renew()); }

    void loadFillsBufferWithSpareZero_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("empty file") << 0;
        QTest::newRow("one byte") << 1;
        QTest::newRow("one block of 4096") << 4096;
        QTest::newRow("upload limit") << 20990;
    }
    void loadFillsBufferWithSpareZero() {
        QFETCH(int, size);
        const QString source = path(QStringLiteral("Urlaub 2003 \u00e9t\u00e9 \u2603.bin"));
        const QByteArray bytes = randomBytes(size, 11);
        QVERIFY(writeFile(source, bytes));
        // Whatever the buffer held before is gone.
        ByteBuffer buffer(30000, 0xAA);
        const int descriptors = openDescriptors();

        LoadFileBytes(source, buffer, static_cast<std::int16_t>(fileLength(source)));

        QCOMPARE(buffer.size(), static_cast<std::size_t>(size) + 1);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer.data()), size), bytes);
        QCOMPARE(buffer.back(), std::uint8_t{0});
        QCOMPARE(openDescriptors(), descriptors);
    }

    void loadOfChangedFile_data() {
        QTest::addColumn<int>("actual");
        QTest::addColumn<int>("count");
        QTest::newRow("file grew after it was measured") << 20 << 10;
        QTest::newRow("file shrank after it was measured") << 10 << 20;
        QTest::newRow("file emptied after it was measured") << 0 << 5;
        QTest::newRow("empty file filled after it was measured") << 3 << 0;
    }
    void loadOfChangedFile() {
        QFETCH(int, actual);
        QFETCH(int, count);
        // Placeholders in the name must reach the description as they stand.
        const QString file = path(QStringLiteral("changed 100%2 %1.bin"));
        QVERIFY(writeFile(file, randomBytes(actual, 3)));
        ByteBuffer buffer;
        const int descriptors = openDescriptors();
        try {
            LoadFileBytes(file, buffer, static_cast<std::int16_t>(count));
            QFAIL("a changed file was loaded as if it were whole");
        } catch (const AppError& error) {
            QCOMPARE(error.code(), ErrorCode::InputPastEnd);
            QVERIFY2(error.description().contains(file), qPrintable(error.description()));
        }
        QCOMPARE(openDescriptors(), descriptors);
    }

    void saveWritesExactlyCount_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("former");  // bytes a file there held before; 0: no file
        QTest::newRow("nothing read") << 0 << 0;
        QTest::newRow("one byte") << 1 << 0;
        QTest::newRow("full slot") << 21000 << 0;
        QTest::newRow("whole buffer") << 21002 << 0;
        QTest::newRow("over a longer file") << 100 << 5000;
    }
    void saveWritesExactlyCount() {
        QFETCH(int, count);
        QFETCH(int, former);
        const QByteArray bytes = randomBytes(21002, 5);
        const QString target = path(QStringLiteral("copy of \u00e9t\u00e9.bin"));
        QVERIFY(former == 0 || writeFile(target, randomBytes(former, 1)));
        Reports reports;
        const int descriptors = openDescriptors();

        QVERIFY(SaveBytesToFile(target, toBuffer(bytes), count, reports.sink()));

        QCOMPARE(reports.texts, QStringList());
        QCOMPARE(readFile(target), bytes.left(count));
        QCOMPARE(QFileInfo(target).size(), qint64{count});
        QCOMPARE(folderEntries(path()), QStringList{QStringLiteral("copy of \u00e9t\u00e9.bin")});
        QCOMPARE(openDescriptors(), descriptors);
    }

    void saveCountOutOfRange_data() {
        QTest::addColumn<int>("bufferSize");
        QTest::addColumn<int>("count");
        QTest::newRow("negative count") << 21002 << -1;
        QTest::newRow("count beyond the buffer") << 21002 << 21003;
        QTest::newRow("count above 32767") << 40000 << 32768;
    }
    void saveCountOutOfRange() {
        QFETCH(int, bufferSize);
        QFETCH(int, count);
        const QString existing = path(QStringLiteral("existing.bin"));
        const QByteArray before = randomBytes(300, 9);
        QVERIFY(writeFile(existing, before));
        const ByteBuffer buffer(static_cast<std::size_t>(bufferSize), 0x11);

        for (const QString& target : {path(QStringLiteral("fresh.bin")), existing}) {
            Reports reports;
            QVERIFY(!SaveBytesToFile(target, buffer, count, reports.sink()));
            QCOMPARE(reports.texts.size(), 1);
            QVERIFY2(reports.texts.first().startsWith(QStringLiteral("Subscript out of range")),
                     qPrintable(reports.texts.first()));
        }
        QVERIFY(!QFile::exists(path(QStringLiteral("fresh.bin"))));
        QCOMPARE(readFile(existing), before);
        QCOMPARE(folderEntries(path()), QStringList{QStringLiteral("existing.bin")});
    }

    void saveIntoMissingFolder() {
        const QString target = path(QStringLiteral("missing/out.bin"));
        Reports reports;
        QVERIFY(!SaveBytesToFile(target, ByteBuffer(10, 1), 10, reports.sink()));
        QCOMPARE(reports.texts, QStringList{QStringLiteral("Path not found: ") + target});
        QCOMPARE(folderEntries(path()), QStringList());
    }

    void saveOntoFolder() {
        QVERIFY(QDir(path()).mkdir(QStringLiteral("folder")));
        Reports reports;
        QVERIFY(!SaveBytesToFile(path(QStringLiteral("folder")), ByteBuffer(10, 1), 10,
                                 reports.sink()));
        QCOMPARE(reports.texts.size(), 1);
        QVERIFY(reports.texts.first().startsWith(QStringLiteral("Path/File access error: ")));
        QVERIFY(QFileInfo(path(QStringLiteral("folder"))).isDir());
        QCOMPARE(folderEntries(path(QStringLiteral("folder"))), QStringList());
    }
};

QTEST_GUILESS_MAIN(FileTransferTest)
#include "tst_file_transfer.moc"
