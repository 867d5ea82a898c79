// The real window on the real loader, with the Wine bridge as its library: a check through it,
// and a check whose host dies, which must not pass for five empty slots.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>

#include "form_main.h"
#include "host_processes.h"
#include "module1.h"
#include "test_files.h"
#include "worker_library.h"

using namespace hideaway;
using namespace hideaway::test;

class TestWindowThroughBridge : public QObject {
    Q_OBJECT

private slots:
    void checkWhoseHostDiedShowsAnError();
};

void TestWindowThroughBridge::checkWhoseHostDiedShowsAnError() {
    QTemporaryDir phone;
    QVERIFY(phone.isValid());
    qputenv("HIDEAWAY_PHONE_DIR", QFile::encodeName(phone.path()));
    QVERIFY(writeFile(phone.filePath(QStringLiteral("nvm-18-10.bin")), QByteArray(700, 'x')));
    Module1 module;
    WorkerLibrary worker(module);
    FormMain form(worker);
    worker.setLinkObserver([&form](bool open) { form.setLinkOpen(open); });
    QStringList messages;
    form.setMessagePresenter([&messages](const QString& text) { messages << text; });
    form.show();
    auto* check = form.findChild<QPushButton*>(QStringLiteral("CheckButton"));
    auto* status = form.findChild<QLineEdit*>(QStringLiteral("Status"));
    QVERIFY(check != nullptr && status != nullptr);

    check->click();
    QCOMPARE(messages, QStringList());
    QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("Slot2Bytes"))->text(),
             QStringLiteral("700"));

    // At 50 baud each call takes 1.6 seconds, so the host dies while the slots are measured.
    QVERIFY(writeFile(phone.filePath(QStringLiteral("phone.conf")), "baud = 50\n"));
    const qint64 self = QCoreApplication::applicationPid();
    const QList<qint64> running = hostsOf(self);
    QCOMPARE(running.size(), 1);
    QTimer::singleShot(2500, [&running] { ::kill(static_cast<pid_t>(running.first()), SIGKILL); });
    check->click();
    QCOMPARE(status->text(), QStringLiteral("ERROR"));
    QCOMPARE(messages, QStringList{QStringLiteral("Not every slot could be measured: a slot shown "
                                                  "as empty may still hold a file. Press Check "
                                                  "again.")});
    QVERIFY(hostsOf(self).isEmpty());

    // The next check starts a new host.
    QVERIFY(QFile::remove(phone.filePath(QStringLiteral("phone.conf"))));
    messages.clear();
    check->click();
    QCOMPARE(messages, QStringList());
    QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("Slot2Bytes"))->text(),
             QStringLiteral("700"));
    QCOMPARE(hostsOf(self).size(), 1);
}

QTEST_MAIN(TestWindowThroughBridge)
#include "tst_window_through_bridge.moc"
