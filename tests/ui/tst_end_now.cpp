// Quitting while a library call never returns: the program, built as src/ui/main.cpp builds it,
// runs in a process of its own on the simulated phone at 1 baud, where opening the link alone
// takes 80 seconds. This test's own executable is that program when started with --program.
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <cstdio>
#include <cstring>

#include "form_main.h"
#include "module1.h"
#include "offscreen_notices.h"
#include "worker_library.h"

using namespace hideaway;

namespace {

/// The program: presses Check, asks to quit the way named, and answers the question with "End
/// now", after writing its text on standard output.
int runProgram(int argc, char** argv, const QString& how) {
    QApplication app(argc, argv);
    test::quietOffscreenNotices();
    Module1 module1;
    WorkerLibrary library(module1);
    FormMain form(library);
    library.setLinkObserver([&form](bool open) { form.setLinkOpen(open); });
    library.setCallObserver([&form](const LibraryCall* call) { form.setCallUnderWay(call); });
    form.show();

    QTimer::singleShot(0, &form, [&form] {
        form.findChild<QPushButton*>(QStringLiteral("CheckButton"))->click();
    });
    QTimer::singleShot(500, &form, [&form, how] {
        if (how == QLatin1String("close")) {
            form.windowHandle()->close();
        } else {
            QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command1")),
                              Qt::LeftButton);
        }
    });
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, &form, [&form] {
        auto* question = form.findChild<QMessageBox*>(QStringLiteral("EndNowQuestion"));
        if (question == nullptr || !question->isVisible()) {
            return;
        }
        std::fputs(question->text().toUtf8().constData(), stdout);
        std::fflush(stdout);
        for (QAbstractButton* button : question->buttons()) {
            if (button->text() == QLatin1String("End now")) {
                button->click();
            }
        }
    });
    answer.start(100);
    return app.exec();
}

}  // namespace

class TestEndNow : public QObject {
    Q_OBJECT

private slots:
    void quitDuringACallThatNeverReturnsEndsTheProgram_data();
    void quitDuringACallThatNeverReturnsEndsTheProgram();
};

void TestEndNow::quitDuringACallThatNeverReturnsEndsTheProgram_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("the window's close button") << QStringLiteral("close");
    QTest::newRow("Disconnect + Quit") << QStringLiteral("Command1");
}

void TestEndNow::quitDuringACallThatNeverReturnsEndsTheProgram() {
    QFETCH(QString, how);
    QTemporaryDir phone;
    QVERIFY(phone.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The simulated phone beside the program, which it loads first, as the real program does.
    environment.remove(QStringLiteral("HIDEAWAY_GBP_LIBRARY"));
    environment.insert(QStringLiteral("HIDEAWAY_PHONE_DIR"), phone.path());
    environment.insert(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"), QStringLiteral("baud = 1"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--program"), how, QStringLiteral("-platform"),
                   QStringLiteral("offscreen")});

    // Well before the link would have opened: the program did not wait for the call.
    const bool finished = program.waitForFinished(40000);
    // The Windows program writes its lines with CR LF.
    const QString asked = QString::fromUtf8(program.readAllStandardOutput())
                              .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QVERIFY2(finished && program.exitStatus() == QProcess::NormalExit,
             qPrintable(asked + QString::fromLocal8Bit(program.readAllStandardError())));
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(asked,
             QStringLiteral("The check is still waiting for the phone to answer.\n\nIf you end "
                            "the program now, nothing on the phone is changed.\n\nEnd the "
                            "program now, or wait for the phone?"));
}

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--program") == 0) {
        return runProgram(argc, argv, QString::fromLatin1(argv[2]));
    }
    QApplication app(argc, argv);
    TestEndNow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_end_now.moc"
