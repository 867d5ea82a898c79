#include <QApplication>
#include <QFontDatabase>
#include <QTest>

#include "wine_fonts.h"

using hideaway::ApplicationArguments;

class ApplicationArgumentsTest : public QObject {
    Q_OBJECT

private slots:
    void fontEngineAskedForUnderWineOnly_data() {
        QTest::addColumn<QByteArrayList>("given");
        QTest::addColumn<bool>("underWine");
        QTest::addColumn<QByteArray>("platformVariable");
        QTest::addColumn<QByteArrayList>("expected");
        const QByteArray freetype = "windows:fontengine=freetype";
        QTest::newRow("under Wine") << QByteArrayList{"hideaway100k.exe"} << true << QByteArray()
                                    << QByteArrayList{"hideaway100k.exe", "-platform", freetype};
        QTest::newRow("under Wine, with arguments")
            << QByteArrayList{"hideaway100k.exe", "-style", "fusion"} << true << QByteArray()
            << QByteArrayList{"hideaway100k.exe", "-platform", freetype, "-style", "fusion"};
        QTest::newRow("under Wine, the user's platform")
            << QByteArrayList{"hideaway100k.exe", "-platform", "offscreen"} << true << QByteArray()
            << QByteArrayList{"hideaway100k.exe", "-platform", "offscreen"};
        QTest::newRow("under Wine, QT_QPA_PLATFORM")
            << QByteArrayList{"hideaway100k.exe"} << true << QByteArray("windows")
            << QByteArrayList{"hideaway100k.exe"};
        QTest::newRow("elsewhere") << QByteArrayList{"hideaway100k"} << false << QByteArray()
                                   << QByteArrayList{"hideaway100k"};
    }
    void fontEngineAskedForUnderWineOnly() {
        QFETCH(QByteArrayList, given);
        QFETCH(bool, underWine);
        QFETCH(QByteArray, platformVariable);
        QFETCH(QByteArrayList, expected);
        const QByteArray saved = qgetenv("QT_QPA_PLATFORM");
        qputenv("QT_QPA_PLATFORM", platformVariable);
        std::vector<char*> argv;
        for (QByteArray& word : given) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);

        ApplicationArguments arguments(static_cast<int>(given.size()), argv.data(), underWine);
        qputenv("QT_QPA_PLATFORM", saved);

        QByteArrayList got;
        for (int i = 0; i < arguments.argc(); ++i) {
            got << QByteArray(arguments.argv()[i]);
        }
        QCOMPARE(got, expected);
        QCOMPARE(arguments.argv()[arguments.argc()], nullptr);
    }

    // Where the dialog face resolves to no installed face, as under Wine without Microsoft's
    // fonts, dialogs take the sans-serif stand-in at their own size; nowhere else.
    void dialogFaceStandInWhereTheFaceIsMissing() {
        if (!QFontDatabase::families().contains(QStringLiteral("Liberation Sans"))) {
            QSKIP("needs the Liberation fonts");
        }
        const QFont original = QApplication::font();
        QFont shell(QStringLiteral("MS Shell Dlg 2"));
        shell.setPointSizeF(8.25);
        QApplication::setFont(shell);
        QFont message(QStringLiteral("Tahoma"));
        message.setPointSizeF(9);
        QApplication::setFont(message, "QMessageBox");

        hideaway::useDialogFaceStandIn(false);
        QCOMPARE(QApplication::font().family(), QStringLiteral("MS Shell Dlg 2"));

        hideaway::useDialogFaceStandIn(true);
        const QFont general = QApplication::font();
        const QFont box = QApplication::font("QMessageBox");
        QApplication::setFont(original);
        QCOMPARE(general.family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(general.pointSizeF(), 8.25);
        QCOMPARE(box.family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(box.pointSizeF(), 9.0);
    }
};

QTEST_MAIN(ApplicationArgumentsTest)
#include "tst_application_arguments.moc"
