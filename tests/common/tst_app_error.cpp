#include <QSet>
#include <QTest>

#include "app_error.h"

using hideaway::AppError;
using hideaway::ErrorCode;
using hideaway::errorText;
using hideaway::kAllErrorCodes;

Q_DECLARE_METATYPE(hideaway::ErrorCode)

class TestAppError : public QObject {
    Q_OBJECT

private slots:
    void everyCodeHasItsOwnNumberAndText() {
        QSet<int> numbers;
        QSet<QString> texts;
        for (ErrorCode code : kAllErrorCodes) {
            const int number = static_cast<int>(code);
            const QString text = errorText(code);
            QVERIFY2(!text.trimmed().isEmpty(), qPrintable(QString::number(number)));
            QVERIFY2(!numbers.contains(number), qPrintable(QString::number(number)));
            QVERIFY2(!texts.contains(text), qPrintable(text));
            numbers.insert(number);
            texts.insert(text);
        }
    }

    // The numbers a user may know from elsewhere and the texts the user reads, written out here
    // so that a changed number or a typo in a text fails.
    void numberAndText_data() {
        QTest::addColumn<ErrorCode>("code");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("subscript")
            << ErrorCode::SubscriptOutOfRange << 9 << QStringLiteral("Subscript out of range");
        QTest::newRow("bad file name")
            << ErrorCode::BadFileName << 52 << QStringLiteral("Bad file name or number");
        QTest::newRow("file not found")
            << ErrorCode::FileNotFound << 53 << QStringLiteral("File not found");
        QTest::newRow("file already open")
            << ErrorCode::FileAlreadyOpen << 55 << QStringLiteral("File already open");
        QTest::newRow("device I/O")
            << ErrorCode::DeviceIo << 57 << QStringLiteral("Device I/O error");
        QTest::newRow("disk full") << ErrorCode::DiskFull << 61 << QStringLiteral("Disk full");
        QTest::newRow("input past end")
            << ErrorCode::InputPastEnd << 62 << QStringLiteral("Input past end of file");
        QTest::newRow("permission denied")
            << ErrorCode::PermissionDenied << 70 << QStringLiteral("Permission denied");
        QTest::newRow("path/file access")
            << ErrorCode::PathFileAccess << 75 << QStringLiteral("Path/File access error");
        QTest::newRow("path not found")
            << ErrorCode::PathNotFound << 76 << QStringLiteral("Path not found");
        QTest::newRow("library not loaded")
            << ErrorCode::LibraryNotLoaded << 48 << QStringLiteral("Error in loading DLL");
        QTest::newRow("entry point missing")
            << ErrorCode::EntryPointMissing << 453 << QStringLiteral("Can't find DLL entry point");
        QTest::newRow("dialog cancelled")
            << ErrorCode::DialogCancelled << 32755 << QStringLiteral("Cancel was selected.");
    }
    void numberAndText() {
        QFETCH(ErrorCode, code);
        QFETCH(int, number);
        QFETCH(QString, text);
        const AppError error(code);
        QCOMPARE(error.number(), number);
        QCOMPARE(error.code(), code);
        QCOMPARE(error.description(), text);
        QCOMPARE(QString::fromUtf8(error.what()), text);
    }
    void descriptionHoldsTextAndDetail_data() {
        QTest::addColumn<ErrorCode>("code");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("description");
        QTest::newRow("operation named")
            << ErrorCode::EntryPointMissing << QStringLiteral("EndGBPMode in GBP")
            << QStringLiteral("Can't find DLL entry point: EndGBPMode in GBP");
        QTest::newRow("non-ASCII path")
            << ErrorCode::FileNotFound << QStringLiteral("/tmp/f\u00fcr \u00e9t\u00e9.bin")
            << QStringLiteral("File not found: /tmp/f\u00fcr \u00e9t\u00e9.bin");
    }
    void descriptionHoldsTextAndDetail() {
        QFETCH(ErrorCode, code);
        QFETCH(QString, detail);
        QFETCH(QString, description);
        const AppError error(code, detail);
        QCOMPARE(error.description(), description);
        QCOMPARE(QString::fromUtf8(error.what()), description);
    }
};

QTEST_GUILESS_MAIN(TestAppError)
#include "tst_app_error.moc"
