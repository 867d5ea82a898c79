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

    // Numbers a user or a caller may know from elsewhere.
    void wellKnownNumbers_data() {
        QTest::addColumn<ErrorCode>("code");
        QTest::addColumn<int>("number");
        QTest::newRow("library not loaded") << ErrorCode::LibraryNotLoaded << 48;
        QTest::newRow("entry point missing") << ErrorCode::EntryPointMissing << 453;
        QTest::newRow("dialog cancelled") << ErrorCode::DialogCancelled << 32755;
        QTest::newRow("file not found") << ErrorCode::FileNotFound << 53;
    }
    void wellKnownNumbers() {
        QFETCH(ErrorCode, code);
        QFETCH(int, number);
        const AppError error(code);
        QCOMPARE(error.number(), number);
        QCOMPARE(error.code(), code);
    }

    void descriptionHoldsTextAndDetail_data() {
        QTest::addColumn<ErrorCode>("code");
        QTest::addColumn<QString>("detail");
        for (ErrorCode code : kAllErrorCodes) {
            const QByteArray name = QByteArray::number(static_cast<int>(code));
            QTest::newRow(("code " + name + " with detail").constData())
                << code << QStringLiteral("EndGBPMode in GBP");
            QTest::newRow(("code " + name + " alone").constData()) << code << QString();
        }
        QTest::newRow("non-ASCII path")
            << ErrorCode::FileNotFound << QStringLiteral("/tmp/f\u00fcr \u00e9t\u00e9.bin");
    }
    void descriptionHoldsTextAndDetail() {
        QFETCH(ErrorCode, code);
        QFETCH(QString, detail);
        const AppError error(code, detail);
        QVERIFY(error.description().startsWith(errorText(code)));
        if (detail.isEmpty()) {
            QCOMPARE(error.description(), errorText(code));
        } else {
            QVERIFY2(error.description().endsWith(detail), qPrintable(error.description()));
        }
        QCOMPARE(QString::fromUtf8(error.what()), error.description());
    }
};

QTEST_GUILESS_MAIN(TestAppError)
#include "tst_app_error.moc"
