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
};

QTEST_GUILESS_MAIN(ApplicationArgumentsTest)
#include "tst_application_arguments.moc"
