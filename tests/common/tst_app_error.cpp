#include <QSet>
#include <QTest>

#include "app_error.h"

using hideaway::AppError;
using hideaway::ErrorCode;
using hideaway::errorText;
using hideaway::kErrorTable;

Q_DECLARE_METATYPE(hideaway::ErrorCode)

class TestAppError : public QObject {
    Q_OBJECT

private slots:
    void everyCodeHasItsOwnNumberAndText() {
        QSet<int> numbers;
        QSet<QString> texts;
        for (const hideaway::ErrorEntry& entry : kErrorTable) {
            const QString text = errorText(entry.code);
            QVERIFY2(!text.trimmed().isEmpty(), qPrintable(QString::number(entry.number())));
            QVERIFY2(!numbers.contains(entry.number()),
                     qPrintable(QString::number(entry.number())));
            QVERIFY2(!texts.contains(text), qPrintable(text));
            numbers.insert(entry.number());
            texts.insert(text);
        }
    }

    // The numbers users see and look up, written out so that a changed number fails; with texts
    // that no test of the code raising them reads, alone and followed by a detail.
    void numberAndDescription_data() {
        QTest::addColumn<ErrorCode>("code");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("description");
        QTest::newRow("library not loaded")
            << ErrorCode::LibraryNotLoaded << 48 << QString() << "Error in loading DLL";
        QTest::newRow("entry point missing")
            << ErrorCode::EntryPointMissing << 453 << QString() << "Can't find DLL entry point";
        QTest::newRow("dialog cancelled")
            << ErrorCode::DialogCancelled << 32755 << QString() << "Cancel was selected.";
        QTest::newRow("file already open (text only)")
            << ErrorCode::FileAlreadyOpen << 0 << QString() << "File already open";
        QTest::newRow("operation named")
            << ErrorCode::EntryPointMissing << 453 << "EndGBPMode in GBP"
            << "Can't find DLL entry point: EndGBPMode in GBP";
        QTest::newRow("non-ASCII path")
            << ErrorCode::FileNotFound << 53 << QStringLiteral("/tmp/f\u00fcr \u00e9t\u00e9.bin")
            << QStringLiteral("File not found: /tmp/f\u00fcr \u00e9t\u00e9.bin");
    }
    void numberAndDescription() {
        QFETCH(ErrorCode, code);
        QFETCH(int, number);
        QFETCH(QString, detail);
        QFETCH(QString, description);
        const AppError error(code, detail);
        if (number != 0) {
            QCOMPARE(error.number(), number);
        }
        QCOMPARE(error.code(), code);
        QCOMPARE(error.description(), description);
        QCOMPARE(QString::fromUtf8(error.what()), description);
    }
};

QTEST_GUILESS_MAIN(TestAppError)
#include "tst_app_error.moc"
