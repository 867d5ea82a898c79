// The simulated phone's settings and serial line, reached directly: what the library only shows
// through a result number (why a line is malformed, how long a line delay is) is checked here.
#include <QTest>

#include "phone_settings.h"
#include "serial_line.h"

using hideaway::sim::applySettings;
using hideaway::sim::lineDelay;
using hideaway::sim::Operation;
using hideaway::sim::Settings;

class PhoneSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void lineDelayAtTenBitsPerByte_data();
    void lineDelayAtTenBitsPerByte();
    void everySettingApplied();
    void malformedLineNamed_data();
    void malformedLineNamed();
};

void PhoneSettingsTest::lineDelayAtTenBitsPerByte_data() {
    QTest::addColumn<qint64>("baud");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<qint64>("microseconds");
    QTest::addRow("9600 baud, 96 bytes take 0.1 s") << qint64(9600) << qint64(96) << qint64(100000);
    QTest::addRow("9600 baud, 10 bytes round up") << qint64(9600) << qint64(10) << qint64(10417);
    QTest::addRow("115200 baud, a full slot and frame")
        << qint64(115200) << qint64(21008) << qint64(1823612);
    QTest::addRow("baud 0 plays no line") << qint64(0) << qint64(21000) << qint64(0);
    QTest::addRow("no bytes, no delay") << qint64(9600) << qint64(0) << qint64(0);
}

void PhoneSettingsTest::lineDelayAtTenBitsPerByte() {
    QFETCH(qint64, baud);
    QFETCH(qint64, bytes);
    QFETCH(qint64, microseconds);
    QCOMPARE(qint64(lineDelay(baud, bytes).count()), microseconds);
}

void PhoneSettingsTest::everySettingApplied() {
    Settings settings;
    const auto malformed = applySettings(
        "# a comment line\n"
        "\n"
        "  port = 3   # trailing comment\r\n"
        "write.short = 12\n"
        "write.corrupt = 0\n"
        "baud = 9600\n"
        "force.ReadNVMFile.13 = -32768 next 2\n"
        "force.InitGBPMode = 32767\n"
        "force.EndGBPMode = 7 after 1 next 1\n",
        '\n', "phone.conf", settings);
    QCOMPARE(malformed, std::nullopt);
    QCOMPARE(settings.port, 3);
    QCOMPARE(settings.writeShortBy, 12);
    QCOMPARE(settings.corruptAt, std::optional<std::int32_t>(0));
    QCOMPARE(settings.baud, 9600);
    QCOMPARE(settings.takeForced(Operation::InitGBPMode), std::optional<std::int16_t>(32767));
    QCOMPARE(settings.takeForced(Operation::ReadNVMFile, 12), std::nullopt);
    QCOMPARE(settings.takeForced(Operation::ReadNVMFile, 13), std::optional<std::int16_t>(-32768));
    QCOMPARE(settings.takeForced(Operation::ReadNVMFile, 13), std::optional<std::int16_t>(-32768));
    QCOMPARE(settings.takeForced(Operation::ReadNVMFile, 13), std::nullopt);
    // The first call passes, the second is forced, then the phone answers again.
    QCOMPARE(settings.takeForced(Operation::EndGBPMode), std::nullopt);
    QCOMPARE(settings.takeForced(Operation::EndGBPMode), std::optional<std::int16_t>(7));
    QCOMPARE(settings.takeForced(Operation::EndGBPMode), std::nullopt);
}

void PhoneSettingsTest::malformedLineNamed_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<char>("separator");
    QTest::addColumn<QString>("message");
    const char nl = '\n';
    QTest::addRow("no equals sign")
        << QByteArray("port 2") << nl << "phone.conf line 1: port 2: expected 'key = value'";
    QTest::addRow("empty value") << QByteArray("\n\nbaud =") << nl
                                 << "phone.conf line 3: baud =: expected 'key = value'";
    QTest::addRow("unknown key") << QByteArray("# x\nspeed = 3") << nl
                                 << "phone.conf line 2: speed = 3: unknown setting 'speed'";
    QTest::addRow("port 0") << QByteArray("port = 0") << nl
                            << "phone.conf line 1: port = 0: the port must be a whole number "
                               "from 1 to 5";
    QTest::addRow("port with a letter") << QByteArray("port = 2a") << nl
                                        << "phone.conf line 1: port = 2a: the port must be a "
                                           "whole number from 1 to 5";
    QTest::addRow("negative short write")
        << QByteArray("write.short = -1") << nl
        << "phone.conf line 1: write.short = -1: write.short must be a whole number of bytes, 0 "
           "or more";
    QTest::addRow("negative corrupt index")
        << QByteArray("write.corrupt = -2") << nl
        << "phone.conf line 1: write.corrupt = -2: write.corrupt must be a byte index, 0 or more";
    QTest::addRow("baud not a number")
        << QByteArray("baud = fast") << nl
        << "phone.conf line 1: baud = fast: baud must be a whole number of bits per second (0: "
           "no delay)";
    QTest::addRow("unknown operation")
        << QByteArray("force.Format = 1") << nl
        << "phone.conf line 1: force.Format = 1: unknown operation 'Format'";
    QTest::addRow("init with a file number")
        << QByteArray("force.InitGBPMode.9 = 1") << nl
        << "phone.conf line 1: force.InitGBPMode.9 = 1: InitGBPMode has no NVM file number";
    QTest::addRow("file number 256")
        << QByteArray("force.ReadNVMFile.256 = 1") << nl
        << "phone.conf line 1: force.ReadNVMFile.256 = 1: the NVM file number must be a whole "
           "number from 0 to 255";
    QTest::addRow("result beyond 16 bits")
        << QByteArray("force.ReadNVMFile = 32768") << nl
        << "phone.conf line 1: force.ReadNVMFile = 32768: the result must be a whole number from "
           "-32768 to 32767";
    QTest::addRow("word other than next")
        << QByteArray("force.ReadNVMFile = 1 then 2") << nl
        << "phone.conf line 1: force.ReadNVMFile = 1 then 2: only 'next <N>' and 'after <M>' may "
           "follow the result";
    QTest::addRow("next 0") << QByteArray("force.ReadNVMFile = 1 next 0") << nl
                            << "phone.conf line 1: force.ReadNVMFile = 1 next 0: 'next' needs a "
                               "whole number of calls, 1 or more";
    QTest::addRow("environment item 2")
        << QByteArray("port = 1;port = 9") << ';'
        << "HIDEAWAY_PHONE_SETTINGS line 2: port = 9: the port must be a whole number from 1 to 5";
}

void PhoneSettingsTest::malformedLineNamed() {
    QFETCH(QByteArray, text);
    QFETCH(char, separator);
    QFETCH(QString, message);
    Settings settings;
    const char* source = separator == ';' ? "HIDEAWAY_PHONE_SETTINGS" : "phone.conf";
    const auto malformed = applySettings(text.toStdString(), separator, source, settings);
    QVERIFY(malformed.has_value());
    QCOMPARE(QString::fromStdString(*malformed), message);
}

QTEST_GUILESS_MAIN(PhoneSettingsTest)
#include "tst_phone_settings.moc"
