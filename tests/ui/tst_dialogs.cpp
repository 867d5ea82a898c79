#include <QAbstractButton>
#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "app_error.h"
#include "com_dlg.h"
#include "event_log.h"
#include "form_main.h"
#include "offscreen_notices.h"
#include "scripted_library.h"
#include "scripted_prompt.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

/// Runs once the next modal dialog is up, from inside its event loop.
void whenModalShows(std::function<void(QWidget*)> handle) {
    QTimer::singleShot(0, qApp,
                       [handle = std::move(handle)] { handle(QApplication::activeModalWidget()); });
}

/// What a modal message box showed.
struct SeenBox {
    bool found = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons;
    bool modal = false;
    QWidget* parent = nullptr;
};

void recordAndConfirm(QWidget* modal, SeenBox& seen) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
        return;
    }
    seen = {true,           box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
            box->isModal(), box->parentWidget()};
    box->button(QMessageBox::Ok)->click();
}

/// Cancels with the given CancelError; returns the error number raised, or 0.
int cancelledNumber(ComDlg& dialog, bool save) {
    try {
        save ? dialog.ShowSave() : dialog.ShowOpen();
    } catch (const AppError& error) {
        return error.number();
    }
    return 0;
}

}  // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { quietOffscreenNotices(); }
    void qtFilter_data();
    void qtFilter();
    void fileNameCarriesOverBetweenOpenAndSave();
    void cancel_data();
    void cancel();
    void realPromptIsModalToTheWindow_data();
    void realPromptIsModalToTheWindow();
    void realPromptStartsAtTheLastChoiceAndLeavesNoTrace();
    void windowUsesTheRealMessageBox();
};

void TestDialogs::qtFilter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");

    QTest::newRow("any file, names without a dot too")
        << QStringLiteral("Any Files *.*|*.*") << QStringLiteral("Any Files *.* (*)");
    QTest::newRow("bin files") << QStringLiteral("Bin Files *.bin|*.bin")
                               << QStringLiteral("Bin Files *.bin (*.bin)");
    QTest::newRow("two entries") << QStringLiteral("Text|*.txt|Everything|*.*")
                                 << QStringLiteral("Text (*.txt);;Everything (*)");
    QTest::newRow("several patterns")
        << QStringLiteral("Pictures|*.jpg;*.png") << QStringLiteral("Pictures (*.jpg *.png)");
    QTest::newRow("no filter") << QString() << QString();
    QTest::newRow("description without pattern") << QStringLiteral("Lonely") << QString();
    QTest::newRow("pattern without description")
        << QStringLiteral("|*.bin") << QStringLiteral("*.bin (*.bin)");
}

void TestDialogs::qtFilter() {
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(ComDlg::qtFilter(filter), expected);
}

void TestDialogs::fileNameCarriesOverBetweenOpenAndSave() {
    PromptScript script;
    script.answers = {QStringLiteral("/data/notes.txt"), QStringLiteral("/backup/slot.bin")};
    ComDlg dialog(nullptr);
    dialog.setPrompt(scriptedPrompt(script));
    QCOMPARE(dialog.fileName(), QString());

    dialog.setFilter(QStringLiteral("Any Files *.*|*.*"));
    dialog.ShowOpen();
    QCOMPARE(dialog.fileName(), QStringLiteral("/data/notes.txt"));
    dialog.setFilter(QStringLiteral("Bin Files *.bin|*.bin"));
    dialog.ShowSave();
    QCOMPARE(dialog.fileName(), QStringLiteral("/backup/slot.bin"));

    QCOMPARE(script.questions.size(), 2);
    QCOMPARE(script.questions.at(0).kind, QStringLiteral("open"));
    QCOMPARE(script.questions.at(0).start, QString());
    QCOMPARE(script.questions.at(0).filter, QStringLiteral("Any Files *.* (*)"));
    QCOMPARE(script.questions.at(1).kind, QStringLiteral("save"));
    QCOMPARE(script.questions.at(1).start, QStringLiteral("/data/notes.txt"));
    QCOMPARE(script.questions.at(1).filter, QStringLiteral("Bin Files *.bin (*.bin)"));
}

void TestDialogs::cancel_data() {
    QTest::addColumn<bool>("cancelError");
    QTest::addColumn<bool>("save");
    QTest::addColumn<int>("raised");
    QTest::newRow("open, CancelError on") << true << false << 32755;
    QTest::newRow("save, CancelError on") << true << true << 32755;
    QTest::newRow("open, CancelError off") << false << false << 0;
    QTest::newRow("save, CancelError off") << false << true << 0;
}

void TestDialogs::cancel() {
    QFETCH(bool, cancelError);
    QFETCH(bool, save);
    QFETCH(int, raised);
    PromptScript script;
    script.answers = {QStringLiteral("/data/first.bin"), QString()};
    ComDlg dialog(nullptr);
    dialog.setPrompt(scriptedPrompt(script));
    dialog.ShowOpen();

    dialog.setCancelError(cancelError);
    QCOMPARE(cancelledNumber(dialog, save), raised);
    QCOMPARE(dialog.fileName(), QStringLiteral("/data/first.bin"));
}

void TestDialogs::realPromptIsModalToTheWindow_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("choose");
    QTest::newRow("open, a file chosen") << false << true;
    QTest::newRow("open, cancelled") << false << false;
    QTest::newRow("save, a name given") << true << true;
    QTest::newRow("save, cancelled") << true << false;
}

void TestDialogs::realPromptIsModalToTheWindow() {
    QFETCH(bool, save);
    QFETCH(bool, choose);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Saving asks for a new name, so Qt's overwrite question stays out of the way.
    const QString path = dir.filePath(save ? QStringLiteral("new.bin") : QStringLiteral("old.bin"));
    if (!save) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ComDlg dialog(&window);
    dialog.setCancelError(true);
    dialog.setFilter(QStringLiteral("Bin Files *.bin|*.bin"));

    bool found = false;
    QWidget* parent = nullptr;
    bool modal = false;
    QStringList filters;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    bool qtsOwn = false;
    whenModalShows([&](QWidget* shown) {
        auto* fileDialog = qobject_cast<QFileDialog*>(shown);
        if (fileDialog == nullptr) {
            return;
        }
        found = true;
        parent = fileDialog->parentWidget();
        modal = fileDialog->isModal();
        filters = fileDialog->nameFilters();
        mode = fileDialog->acceptMode();
        qtsOwn = fileDialog->testOption(QFileDialog::DontUseNativeDialog);
        if (choose) {
            fileDialog->selectFile(path);
            static_cast<QDialog*>(fileDialog)->accept();  // public there
        } else {
            fileDialog->reject();
        }
    });
    const int raised = cancelledNumber(dialog, save);

    QVERIFY(found);
    QCOMPARE(parent, &window);
    QVERIFY(modal);
    QCOMPARE(filters, QStringList{QStringLiteral("Bin Files *.bin (*.bin)")});
    QCOMPARE(mode, save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A desktop's own dialog may list the chosen file among its recent files.
    QVERIFY(qtsOwn);
    QCOMPARE(raised, choose ? 0 : 32755);
    QCOMPARE(dialog.fileName(), choose ? QDir::toNativeSeparators(path) : QString());
}

void TestDialogs::realPromptStartsAtTheLastChoiceAndLeavesNoTrace() {
#if defined(_WIN32)
    // There Qt's dialog keeps its memory in the registry group every Qt program shares: what
    // another program left there must stay.
    const QString shared = QStringLiteral("FileDialog/viewMode");
    QSettings(QSettings::UserScope, QStringLiteral("QtProject"))
        .setValue(shared, QStringLiteral("Detail"));
#else
    const QString home = QDir::homePath();
    QVERIFY2(home == QStringLiteral(HIDEAWAY_TEST_HOME),
             "run through ctest, which gives the test a home of its own");
#endif
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("chosen.txt"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QWidget window;
    ComDlg dialog(&window);
    dialog.setFilter(QStringLiteral("Any Files *.*|*.*"));

    whenModalShows([&](QWidget* shown) {
        if (auto* fileDialog = qobject_cast<QFileDialog*>(shown)) {
            fileDialog->selectFile(path);
            static_cast<QDialog*>(fileDialog)->accept();  // public there
        }
    });
    dialog.ShowOpen();
    QCOMPARE(dialog.fileName(), QDir::toNativeSeparators(path));

    QString folder;
    QStringList selected;
    whenModalShows([&](QWidget* shown) {
        if (auto* fileDialog = qobject_cast<QFileDialog*>(shown)) {
            folder = fileDialog->directory().absolutePath();
            selected = fileDialog->selectedFiles();
            fileDialog->reject();
        }
    });
    dialog.ShowSave();
    QCOMPARE(folder, QDir(dir.path()).absolutePath());
    QCOMPARE(selected, QStringList{path});
    QCOMPARE(dialog.fileName(), QDir::toNativeSeparators(path));

    // The folder's name is random, so any setting or file that holds it records the choice.
    const QString folderName = QFileInfo(dir.path()).fileName();
    QStringList traces;
#if defined(_WIN32)
    const QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
    for (const QString& key : settings.allKeys()) {
        if (settings.value(key).toStringList().join(QLatin1Char('\n')).contains(folderName)) {
            traces << key;
        }
    }
    QCOMPARE(settings.value(shared).toString(), QStringLiteral("Detail"));
#else
    QDirIterator it(home, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString found = it.next();
        QFile file(found);
        if (found.contains(folderName) ||
            (file.open(QIODevice::ReadOnly) && file.readAll().contains(folderName.toUtf8()))) {
            traces << found;
        }
    }
#endif
    QCOMPARE(traces, QStringList());
}

void TestDialogs::windowUsesTheRealMessageBox() {
    EventLog log;
    ScriptedLibrary library(log);
    library.initResults = {5};
    FormMain form(library);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    SeenBox seen;
    whenModalShows([&seen](QWidget* modal) { recordAndConfirm(modal, seen); });
    auto* check = form.findChild<QPushButton*>(QStringLiteral("CheckButton"));
    QVERIFY(check != nullptr);
    QTest::mouseClick(check, Qt::LeftButton);

    QVERIFY(seen.found);
    QCOMPARE(seen.title, QStringLiteral("HideawayV2"));
    QCOMPARE(seen.text, QStringLiteral("Unable to initialize GBP Mode..."));
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(seen.modal);
    QCOMPARE(seen.parent, &form);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
