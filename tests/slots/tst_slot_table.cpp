#include <QRegularExpression>
#include <QTest>

#include "slot_table.h"

using hideaway::kSlotTable;
using hideaway::SlotRow;
using hideaway::slotRow;

class TestSlotTable : public QObject {
    Q_OBJECT

private slots:
    void rowOfEachSlot_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("reportsFailedVerification");
        QTest::addColumn<bool>("readsBeforeSaveDialog");
        // Labels keep the names the form gave them, so slots 3 to 5 skip Label3 and Label4.
        QTest::newRow("slot 1") << 1 << "Label1" << true << false;
        QTest::newRow("slot 2") << 2 << "Label2" << false << true;
        QTest::newRow("slot 3") << 3 << "Label5" << false << false;
        QTest::newRow("slot 4") << 4 << "Label6" << false << false;
        QTest::newRow("slot 5") << 5 << "Label7" << false << false;
    }
    void rowOfEachSlot() {
        QFETCH(int, slot);
        QFETCH(QString, label);
        QFETCH(bool, reportsFailedVerification);
        QFETCH(bool, readsBeforeSaveDialog);
        const SlotRow& row = slotRow(slot);
        const auto text = [](const char* s) { return QString::fromLatin1(s); };

        QCOMPARE(row.number, slot);
        QCOMPARE(int(row.fileGroup), 18);
        QCOMPARE(int(row.fileNumber), 8 + slot);

        QCOMPARE(text(row.labelName), label);
        QCOMPARE(text(row.labelCaption), QStringLiteral("SLOT #%1").arg(slot));
        QCOMPARE(text(row.nameBox), QStringLiteral("TextSlot%1").arg(slot));
        QCOMPARE(text(row.bytesBox), QStringLiteral("Slot%1Bytes").arg(slot));
        QCOMPARE(text(row.progressBar), QStringLiteral("ProgressBar%1").arg(slot));
        QCOMPARE(text(row.buttonDown), QStringLiteral("ButtonDown%1").arg(slot));
        QCOMPARE(text(row.buttonUp), QStringLiteral("ButtonUp%1").arg(slot));
        QCOMPARE(text(row.buttonClear), QStringLiteral("ButtonClear%1").arg(slot));

        QCOMPARE(text(row.clearStartText), QStringLiteral("CLEARING SLOT%1...").arg(slot));
        QCOMPARE(text(row.clearDoneText), QStringLiteral("S%1 CLEAR").arg(slot));
        QCOMPARE(text(row.clearedText), QStringLiteral("<SLOT%1 CLEAR>").arg(slot));
        QCOMPARE(text(row.downloadStartText), QStringLiteral("DOWNLOADING SLOT%1...").arg(slot));
        QCOMPARE(text(row.downloadFailedText),
                 QStringLiteral("Cannot Download SLOT%1!!! Please retry...").arg(slot));
        QCOMPARE(text(row.presentText), QStringLiteral("File PRESENT in Slot%1!").arg(slot));

        QCOMPARE(row.reportsFailedVerification, reportsFailedVerification);
        QCOMPARE(row.readsBeforeSaveDialog, readsBeforeSaveDialog);
    }

    // Every NVM call takes its selector from here, so this bounds what ever reaches the phone.
    void selectorsStayInsideTheSlotFiles() {
        QSet<int> numbers;
        for (const SlotRow& row : kSlotTable) {
            QCOMPARE(int(row.fileGroup), 18);
            QVERIFY(row.fileNumber >= 9 && row.fileNumber <= 13);
            numbers.insert(row.fileNumber);
            QCOMPARE(&slotRow(row.number), &row);
        }
        QCOMPARE(numbers.size(), 5);
    }
};

QTEST_GUILESS_MAIN(TestSlotTable)
#include "tst_slot_table.moc"
