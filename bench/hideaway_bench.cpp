// Measures what the window adds: its start-up beside a bare Qt window with one line of text (the
// least any Qt window with text costs), each slot operation through the real FormMain beside the
// same library calls made directly, and the program's peak memory. Start-up runs on the platform
// the benchmark finds (an X display when DISPLAY is set, offscreen otherwise); the operations run
// offscreen against the simulated phone in a temporary folder. At a realistic serial line it also
// sets upload and download beside the time their bytes need on the wire, and measures how long
// the window's thread goes without handling events.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include "com_dlg.h"
#include "file_transfer.h"
#include "form_layout.h"
#include "form_main.h"
#include "module1.h"
#include "slot_table.h"
#include "worker_library.h"

using namespace hideaway;

namespace {

constexpr int kRounds = 25;
// Starts of each window, the program's and the bare one's taking turns.
constexpr int kStartRuns = 15;
// Each slow round takes seconds on the wire.
constexpr int kSlowRounds = 3;
constexpr int kSlowBaud = 115200;
// What the simulated phone plays: 10 bits a byte, and a frame of 8 bytes for every call.
constexpr double kBitsPerByte = 10.0;
constexpr int kFrameBytes = 8;
// The ticks that show the window's thread handling events during an operation.
constexpr int kTickMs = 5;
const char* const kFirstPaintFlag = "--first-paint";
const char* const kBareWindowFlag = "--bare-window";

// Answers every file dialog with one fixed path, as a user who always picks the same file would.
class FixedPrompt final : public FilePrompt {
public:
    explicit FixedPrompt(QString path) : m_path(std::move(path)) {}
    std::optional<QString> open(const QString&, const QString&) override { return m_path; }
    std::optional<QString> save(const QString&, const QString&) override { return m_path; }

private:
    QString m_path;
};

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double timeMs(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

long peakMemoryKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Child mode: once the window's first paint has been drawn and flushed, reports the CPU time the
// process used until then (every thread) and its peak memory, and ends.
void reportFirstPaint(QWidget& window) {
    struct PaintWatch : QObject {
        bool seen = false;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint && !seen) {
                seen = true;
                // The children paint and the frame is flushed before the loop turns again.
                QTimer::singleShot(0, [] {
                    std::printf("painted %.3f %ld\n", cpuMs(), peakMemoryKiB());
                    std::fflush(stdout);
                    std::_Exit(0);
                });
            }
            return false;
        }
    };
    window.installEventFilter(new PaintWatch);
}

// The program's start, as main.cpp makes it.
int firstPaintChild(int argc, char** argv) {
    QApplication app(argc, argv);
    Module1 module1;
    WorkerLibrary library(module1);
    FormMain form(library);
    library.setLinkObserver([&form](bool open) { form.setLinkOpen(open); });
    reportFirstPaint(form);
    form.show();
    return app.exec();
}

// The anchor: a window of the program's size with one label of text, nothing else.
int bareWindowChild(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(kFormMainSize);
    QLabel label(QStringLiteral("Hideaway100K V1.1 for Sony CMD-J7/70"), &window);
    label.move(16, 16);
    reportFirstPaint(window);
    window.show();
    return app.exec();
}

struct StartSample {
    double wallMs;
    double cpuMs;
    long peakKiB;
};

StartSample startOnce(const QString& program, const char* mode,
                      const QProcessEnvironment& environment) {
    QProcess child;
    child.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    child.start(program, {QString::fromLatin1(mode)});
    if (!child.waitForReadyRead(30000)) {
        qFatal("%s: the window never painted", mode);
    }
    const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const QList<QByteArray> fields = child.readAll().trimmed().split(' ');
    child.waitForFinished();
    if (fields.size() != 3 || fields[0] != "painted") {
        qFatal("%s: unexpected report", mode);
    }
    return {wall, fields[1].toDouble(), fields[2].toLong()};
}

struct StartResult {
    double wallMs;
    double cpuMs;
    double peakMiB;
};

StartResult medians(const std::vector<StartSample>& samples) {
    std::vector<double> wall;
    std::vector<double> cpu;
    std::vector<double> peak;
    for (const StartSample& s : samples) {
        wall.push_back(s.wallMs);
        cpu.push_back(s.cpuMs);
        peak.push_back(static_cast<double>(s.peakKiB) / 1024.0);
    }
    return {median(wall), median(cpu), median(peak)};
}

// The program's window and the bare one start in turns, so a machine that slows down meanwhile
// weighs on both alike.
std::pair<StartResult, StartResult> measureStarts(const QString& program,
                                                  const QProcessEnvironment& environment) {
    std::vector<StartSample> form;
    std::vector<StartSample> bare;
    for (int i = 0; i < kStartRuns; ++i) {
        form.push_back(startOnce(program, kFirstPaintFlag, environment));
        bare.push_back(startOnce(program, kBareWindowFlag, environment));
    }
    return {medians(form), medians(bare)};
}

struct Row {
    const char* name;
    double windowMs;
    double libraryMs;
};

template <typename T>
T* control(FormMain& form, const char* name) {
    T* widget = form.findChild<T*>(QString::fromLatin1(name));
    if (widget == nullptr) {
        qFatal("no control %s", name);
    }
    return widget;
}

// Times one operation through the window and its library calls alone; checks that the window
// really finished it, so a failure never passes for a fast run.
Row measure(const char* name, FormMain& form, QPushButton* button,
            const std::function<bool()>& succeeded, WorkerLibrary& worker,
            const std::function<void()>& libraryCalls) {
    std::vector<double> window;
    std::vector<double> library;
    for (int i = 0; i < kRounds; ++i) {
        form.setStatus(QString());
        window.push_back(timeMs([&] { button->click(); }));
        if (!succeeded()) {
            qFatal("%s did not succeed through the window", name);
        }
        library.push_back(timeMs([&] { worker.runOnWorker(libraryCalls); }));
    }
    return {name, median(window), median(library)};
}

double wireMs(int calls, std::int64_t payloadBytes) {
    const double bytes =
        static_cast<double>(calls) * kFrameBytes + static_cast<double>(payloadBytes);
    return bytes * kBitsPerByte * 1000.0 / kSlowBaud;
}

struct SlowRow {
    const char* name;
    double windowMs;
    double wireMs;
    double longestGapMs;
};

// Times one operation through the window at the slow line, with a tick every kTickMs on the
// window's thread; the longest gap between two ticks (or the click's ends) is how long the thread
// handled no events.
SlowRow measureSlow(const char* name, QPushButton* button, const std::function<bool()>& succeeded,
                    double wire) {
    std::vector<double> window;
    double longestGap = 0;
    for (int i = 0; i < kSlowRounds; ++i) {
        QElapsedTimer clock;
        qint64 lastTick = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longestGap = std::max(longestGap, static_cast<double>(now - lastTick) / 1e6);
            lastTick = now;
        });
        ticker.start(kTickMs);
        clock.start();
        button->click();
        const qint64 end = clock.nsecsElapsed();
        longestGap = std::max(longestGap, static_cast<double>(end - lastTick) / 1e6);
        window.push_back(static_cast<double>(end) / 1e6);
        if (!succeeded()) {
            qFatal("%s did not succeed through the window", name);
        }
    }
    return {name, median(window), wire, longestGap};
}

void printSlowRows(const std::vector<SlowRow>& rows) {
    std::printf("%-24s %14s %14s %8s %14s\n", "measure", "window ms", "wire ms", "ratio",
                "longest gap ms");
    for (const SlowRow& row : rows) {
        std::printf("%-24s %14.2f %14.2f %8.3f %14.1f\n", row.name, row.windowMs, row.wireMs,
                    row.windowMs / row.wireMs, row.longestGapMs);
    }
}

#if defined(HIDEAWAY_BRIDGE_LIBRARY)
constexpr int kBridgeStarts = 5;

// A command line's whole run through the Wine bridge, from its start to its end: the Wine start
// of the host is paid once per run. Wine's server outlives a run by three seconds; with
// coldServer every run waits until it has ended, as after a pause, and starts it anew.
double firstOperationMs(const QProcessEnvironment& environment, bool coldServer) {
    std::vector<double> samples;
    for (int i = 0; i <= kBridgeStarts; ++i) {
        if (coldServer) {
            QProcess server;
            server.setProcessEnvironment(environment);
            server.start(QStringLiteral("wineserver"), {QStringLiteral("-w")});
            server.waitForFinished(60000);
        }
        QProcess cli;
        cli.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        cli.start(QStringLiteral(HIDEAWAY_CLI_PATH),
                  {QStringLiteral("check"), QStringLiteral("--quiet")});
        if (!cli.waitForFinished(120000) || cli.exitStatus() != QProcess::NormalExit ||
            cli.exitCode() != 0) {
            qFatal("the check through the Wine bridge failed: %s",
                   cli.readAllStandardError().constData());
        }
        // The first run makes the prefix warm, as any earlier run of the user's has.
        if (i > 0) {
            samples.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
    }
    return median(samples);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], kFirstPaintFlag) == 0) {
        return firstPaintChild(argc, argv);
    }
    if (argc > 1 && qstrcmp(argv[1], kBareWindowFlag) == 0) {
        return bareWindowChild(argc, argv);
    }
#if defined(HIDEAWAY_SIMULATED_PHONE)
    // The native rows measure the simulated phone, also where the user's wine-bridge.conf makes
    // the programs choose the Wine bridge.
    if (qEnvironmentVariableIsEmpty("HIDEAWAY_GBP_LIBRARY")) {
        qputenv("HIDEAWAY_GBP_LIBRARY", HIDEAWAY_SIMULATED_PHONE);
    }
#endif
    // The starts run where a user's would: on the X display when there is one.
    QProcessEnvironment startEnvironment = QProcessEnvironment::systemEnvironment();
    if (!startEnvironment.contains(QStringLiteral("QT_QPA_PLATFORM"))) {
        startEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                                qEnvironmentVariableIsEmpty("DISPLAY") ? QStringLiteral("offscreen")
                                                                       : QStringLiteral("xcb"));
    }
    const QString startPlatform = startEnvironment.value(QStringLiteral("QT_QPA_PLATFORM"));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir phone;
    qputenv("HIDEAWAY_PHONE_DIR", QFile::encodeName(phone.path()));
    qunsetenv("HIDEAWAY_PHONE_SETTINGS");

    QApplication app(argc, argv);
    const auto [start, bare] =
        measureStarts(QCoreApplication::applicationFilePath(), startEnvironment);

    // As the program runs it: every call on the library's own worker thread. The library column
    // makes its calls there too, directly and in one go, so the window column shows what the
    // window and the hops between threads add.
    Module1 module1;
    WorkerLibrary worker(module1);
    GbpLibrary& library = module1;
    FormMain form(worker);
    worker.setLinkObserver([&form](bool open) { form.setLinkOpen(open); });
    form.setMessagePresenter(
        [](const QString& text) { qFatal("unexpected message: %s", qPrintable(text)); });
    const QString upload = QDir(phone.path()).filePath(QStringLiteral("upload.bin"));
    const QString download = QDir(phone.path()).filePath(QStringLiteral("download.bin"));
    form.show();
    // Paints count only once the window is on the (offscreen) screen.
    while (form.windowHandle() == nullptr || !form.windowHandle()->isExposed()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }

    ByteBuffer file(kUploadLimit);
    for (auto& byte : file) {
        byte = static_cast<std::uint8_t>(QRandomGenerator::global()->generate());
    }
    QFile out(upload);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(reinterpret_cast<const char*>(file.data()), kUploadLimit) != kUploadLimit) {
        qFatal("cannot write %s", qPrintable(upload));
    }
    out.close();

    const SlotRow& slot = slotRow(3);
    const auto g = slot.fileGroup;
    const auto n = slot.fileNumber;
    auto* status = control<QLineEdit>(form, "Status");
    auto statusIs = [status](const char* text) {
        return [status, text] { return status->text() == QLatin1String(text); };
    };
    ByteBuffer full(kDownloadBufferSize, 0x5A);
    const auto failedSave = [](const QString& text) { qFatal("%s", qPrintable(text)); };
    ByteBuffer readBack(kDownloadBufferSize);

    std::vector<Row> rows;
    rows.push_back(measure(
        "check", form, control<QPushButton>(form, "CheckButton"),
        [&form] {
            return form.findChild<QLabel*>(QStringLiteral("LCDStatus"))->text() ==
                   QLatin1String("CHECK");
        },
        worker,
        [&] {
            library.InitGBPMode(1);
            for (const SlotRow& row : kSlotTable) {
                library.GetNVMFileSize(row.fileGroup, row.fileNumber);
            }
            library.EndGBPMode();
        }));
    rows.push_back(measure("clear", form, control<QPushButton>(form, slot.buttonClear),
                           statusIs(slot.clearDoneText), worker, [&] {
                               library.InitGBPMode(1);
                               library.ClearNVMFile(g, n);
                               library.EndGBPMode();
                           }));

    form.comDlg().setPrompt(std::make_unique<FixedPrompt>(upload));
    rows.push_back(measure("upload 20990 bytes", form, control<QPushButton>(form, slot.buttonUp),
                           statusIs("OK"), worker, [&] {
                               ByteBuffer loaded;
                               LoadFileBytes(upload, loaded,
                                             static_cast<std::int16_t>(kUploadLimit));
                               library.InitGBPMode(1);
                               library.ClearNVMFile(g, n);
                               library.EndGBPMode();
                               library.InitGBPMode(1);
                               library.WriteNVMFile(g, n, file.data(), kUploadLimit);
                               library.GetNVMFileSize(g, n);
                               library.ReadNVMFile(g, n, readBack.data(), SlotCapacity);
                               library.EndGBPMode();
                           }));

    worker.InitGBPMode(1);
    worker.WriteNVMFile(g, n, full.data(), SlotCapacity);
    worker.EndGBPMode();
    form.comDlg().setPrompt(std::make_unique<FixedPrompt>(download));
    rows.push_back(measure(
        "download 21000 bytes", form, control<QPushButton>(form, slot.buttonDown), statusIs("OK"),
        worker, [&] {
            library.InitGBPMode(1);
            const std::int16_t count = library.ReadNVMFile(g, n, readBack.data(), SlotCapacity);
            // The window saves the bytes as durably before it ends the link.
            if (!SaveBytesToFile(download, readBack, count, failedSave)) {
                qFatal("cannot save %s", qPrintable(download));
            }
            library.EndGBPMode();
        }));

    // At a realistic serial line the wire dominates: the window should add next to nothing to it
    // and keep handling events all along.
    // An upload of a full file and a download of a full slot through the window, over the line
    // that the phone's settings name.
    const auto upAndDown = [&](const QByteArray& settings) {
        qputenv("HIDEAWAY_PHONE_SETTINGS", settings);
        std::vector<SlowRow> measured;
        form.comDlg().setPrompt(std::make_unique<FixedPrompt>(upload));
        // Eight calls; the write and the read-back each carry the file.
        measured.push_back(measureSlow("upload 20990 bytes",
                                       control<QPushButton>(form, slot.buttonUp), statusIs("OK"),
                                       wireMs(8, 2 * std::int64_t{kUploadLimit})));
        worker.InitGBPMode(1);
        worker.WriteNVMFile(g, n, full.data(), SlotCapacity);
        worker.EndGBPMode();
        form.comDlg().setPrompt(std::make_unique<FixedPrompt>(download));
        measured.push_back(measureSlow("download 21000 bytes",
                                       control<QPushButton>(form, slot.buttonDown), statusIs("OK"),
                                       wireMs(3, SlotCapacity)));
        qunsetenv("HIDEAWAY_PHONE_SETTINGS");
        return measured;
    };
    const std::vector<SlowRow> slowRows =
        upAndDown(QByteArray("baud = ") + QByteArray::number(kSlowBaud));

#if defined(HIDEAWAY_STAND_IN_PHONE)
    // The same over a real serial line: the simulated phone in serial mode, a pseudo-terminal,
    // and hideaway-phone at its far end, pacing the line at the same speed. The stand-in serves
    // the rows through Wine too, on COM1.
    QTemporaryDir farPhone;
    const QString serialLink = QDir(farPhone.path()).filePath(QStringLiteral("link"));
    QProcess standIn;
    standIn.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    standIn.start(QStringLiteral(HIDEAWAY_STAND_IN_PHONE),
                  {QStringLiteral("--link"), serialLink, QStringLiteral("--dir"), farPhone.path(),
                   QStringLiteral("--baud"), QString::number(kSlowBaud)});
    if (!standIn.waitForReadyRead(30000) || !standIn.readLine().startsWith("ready ")) {
        qFatal("the stand-in phone did not start");
    }
    const std::vector<SlowRow> serialRows =
        upAndDown(QByteArray("serial = ") + QFile::encodeName(serialLink) + QByteArray(";baud = ") +
                  QByteArray::number(kSlowBaud));
    // The bridge maps COM1 to the line when it starts its host, for the rows through Wine.
    qputenv("HIDEAWAY_GBP_COM1", QFile::encodeName(serialLink));
#endif

#if defined(HIDEAWAY_NATIVE_HOST)
    // Through the bridge with its host built natively in place of Wine, to the simulated phone:
    // what the pipes and the host's watch thread add to a call, apart from Wine. A copy of the
    // bridge, so that its host is not the one of the Wine rows below.
    const auto checkOnce = [](GbpLibrary& phone) {
        phone.InitGBPMode(1);
        for (const SlotRow& row : kSlotTable) {
            phone.GetNVMFileSize(row.fileGroup, row.fileNumber);
        }
        phone.EndGBPMode();
    };
    const QString hostedBridge = QDir(phone.path()).filePath(QStringLiteral("libGBP-native.so"));
    const QByteArray wineDll = qgetenv("HIDEAWAY_GBP_DLL");
    const QByteArray winePrefix = qgetenv("WINEPREFIX");
    // The bridge wants its gbp-host.exe beside it, which the stand-in for wine then passes over.
    if (!QFile::copy(QStringLiteral(HIDEAWAY_NATIVE_BRIDGE), hostedBridge) ||
        !QFile::copy(QFileInfo(QStringLiteral(HIDEAWAY_NATIVE_BRIDGE))
                         .dir()
                         .filePath(QStringLiteral("gbp-host.exe")),
                     QDir(phone.path()).filePath(QStringLiteral("gbp-host.exe")))) {
        qFatal("cannot copy the bridge to %s", qPrintable(phone.path()));
    }
    qputenv("HIDEAWAY_WINE", HIDEAWAY_FAKE_WINE);
    qputenv("HIDEAWAY_TEST_HOST", HIDEAWAY_NATIVE_HOST);
    // The bridge links the COM ports into a prefix: one of its own, not the user's.
    qputenv("WINEPREFIX", QFile::encodeName(QDir(phone.path()).filePath(QStringLiteral("wine"))));
    qputenv("HIDEAWAY_GBP_DLL", QFile::encodeName(QCoreApplication::applicationDirPath() +
                                                  QStringLiteral("/libGBP.so")));
    Module1 nativelyHosted({hostedBridge});
    // The host takes its settings as it starts, with the first call.
    if (nativelyHosted.InitGBPMode(1) != 0) {
        qFatal("the bridge through the native host did not start");
    }
    qunsetenv("HIDEAWAY_WINE");
    qunsetenv("HIDEAWAY_TEST_HOST");
    qputenv("HIDEAWAY_GBP_DLL", wineDll);
    qputenv("WINEPREFIX", winePrefix);
    std::vector<double> hostedChecks;
    std::vector<double> directChecks;
    for (int i = 0; i < kRounds; ++i) {
        hostedChecks.push_back(timeMs([&] { checkOnce(nativelyHosted); }));
        directChecks.push_back(timeMs([&] { checkOnce(library); }));
    }
#endif

    // Through the Wine bridge to the simulated phone built as a Windows DLL, where the build
    // made both; the second window is the real one, on the bridge as the program would load it.
#if defined(HIDEAWAY_BRIDGE_LIBRARY)
    if (qEnvironmentVariableIsEmpty("WINEPREFIX")) {
        qputenv("WINEPREFIX", HIDEAWAY_BRIDGE_PREFIX);
    }
    if (qEnvironmentVariableIsEmpty("HIDEAWAY_GBP_DLL")) {
        qputenv("HIDEAWAY_GBP_DLL", HIDEAWAY_BRIDGE_DLL);
    }
    QProcessEnvironment bridgeEnvironment = QProcessEnvironment::systemEnvironment();
    bridgeEnvironment.insert(QStringLiteral("HIDEAWAY_GBP_LIBRARY"),
                             QStringLiteral(HIDEAWAY_BRIDGE_LIBRARY));
    const double firstMs = firstOperationMs(bridgeEnvironment, false);
    const double coldServerMs = firstOperationMs(bridgeEnvironment, true);

    Module1 bridged({QStringLiteral(HIDEAWAY_BRIDGE_LIBRARY)});
    const auto checkCalls = [](GbpLibrary& phone) {
        phone.InitGBPMode(1);
        for (const SlotRow& row : kSlotTable) {
            phone.GetNVMFileSize(row.fileGroup, row.fileNumber);
        }
        phone.EndGBPMode();
    };
    checkCalls(bridged);
    std::vector<double> bridgedChecks;
    std::vector<double> nativeChecks;
    for (int i = 0; i < kRounds; ++i) {
        bridgedChecks.push_back(timeMs([&] { checkCalls(bridged); }));
        nativeChecks.push_back(timeMs([&] { checkCalls(library); }));
    }

    WorkerLibrary bridgedWorker(bridged);
    FormMain bridgedForm(bridgedWorker);
    bridgedWorker.setLinkObserver([&bridgedForm](bool open) { bridgedForm.setLinkOpen(open); });
    bridgedForm.setMessagePresenter(
        [](const QString& text) { qFatal("unexpected message: %s", qPrintable(text)); });
    bridgedForm.show();
    // The host took its settings at its start; the phone's own file sets the line's speed.
    QFile phoneConf(QDir(phone.path()).filePath(QStringLiteral("phone.conf")));
    if (!phoneConf.open(QIODevice::WriteOnly) ||
        phoneConf.write(QByteArray("baud = ") + QByteArray::number(kSlowBaud)) < 0) {
        qFatal("cannot write %s", qPrintable(phoneConf.fileName()));
    }
    phoneConf.close();
    auto* bridgedStatus = control<QLineEdit>(bridgedForm, "Status");
    const auto bridgedOk = [bridgedStatus] { return bridgedStatus->text() == QLatin1String("OK"); };
    std::vector<SlowRow> bridgedRows;
    bridgedForm.comDlg().setPrompt(std::make_unique<FixedPrompt>(upload));
    bridgedRows.push_back(measureSlow("upload 20990 bytes",
                                      control<QPushButton>(bridgedForm, slot.buttonUp), bridgedOk,
                                      wireMs(8, 2 * std::int64_t{kUploadLimit})));
    bridgedWorker.InitGBPMode(1);
    bridgedWorker.WriteNVMFile(g, n, full.data(), SlotCapacity);
    bridgedWorker.EndGBPMode();
    bridgedForm.comDlg().setPrompt(std::make_unique<FixedPrompt>(download));
    bridgedRows.push_back(measureSlow("download 21000 bytes",
                                      control<QPushButton>(bridgedForm, slot.buttonDown), bridgedOk,
                                      wireMs(3, SlotCapacity)));
#if defined(HIDEAWAY_STAND_IN_PHONE)
    // And GBP.dll in serial mode on COM1, to the stand-in phone at the far end of the line.
    std::vector<SlowRow> bridgedSerialRows;
    if (!phoneConf.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        phoneConf.write(QByteArray("serial = COM1\nbaud = ") + QByteArray::number(kSlowBaud)) < 0) {
        qFatal("cannot write %s", qPrintable(phoneConf.fileName()));
    }
    phoneConf.close();
    bridgedForm.comDlg().setPrompt(std::make_unique<FixedPrompt>(upload));
    bridgedSerialRows.push_back(measureSlow("upload 20990 bytes",
                                            control<QPushButton>(bridgedForm, slot.buttonUp),
                                            bridgedOk, wireMs(8, 2 * std::int64_t{kUploadLimit})));
    bridgedWorker.InitGBPMode(1);
    bridgedWorker.WriteNVMFile(g, n, full.data(), SlotCapacity);
    bridgedWorker.EndGBPMode();
    bridgedForm.comDlg().setPrompt(std::make_unique<FixedPrompt>(download));
    bridgedSerialRows.push_back(measureSlow("download 21000 bytes",
                                            control<QPushButton>(bridgedForm, slot.buttonDown),
                                            bridgedOk, wireMs(3, SlotCapacity)));
#endif
    phoneConf.remove();
#endif
#if defined(HIDEAWAY_STAND_IN_PHONE)
    standIn.terminate();
    standIn.waitForFinished(10000);
#endif

    std::printf("Hideaway100K benchmark\n\n");
    std::printf("Start to first paint on %s (median of %d starts each, taking turns)\n\n",
                qPrintable(startPlatform), kStartRuns);
    std::printf("%-24s %14s %14s %8s\n", "measure", "hideaway100k", "bare window", "ratio");
    const auto startRow = [](const char* name, double program, double anchor) {
        std::printf("%-24s %14.1f %14.1f %8.2f\n", name, program, anchor, program / anchor);
    };
    startRow("CPU ms", start.cpuMs, bare.cpuMs);
    startRow("wall ms", start.wallMs, bare.wallMs);
    startRow("peak memory (MiB)", start.peakMiB, bare.peakMiB);

    std::printf("\nOperations (offscreen, simulated phone, median of %d rounds)\n\n", kRounds);
    std::printf("%-24s %14s %14s %8s\n", "measure", "window ms", "library ms", "ratio");
    for (const Row& row : rows) {
        std::printf("%-24s %14.2f %14.2f %8.2f\n", row.name, row.windowMs, row.libraryMs,
                    row.windowMs / row.libraryMs);
    }

    std::printf("\nAt %d baud, 10 bits a byte (median of %d rounds; gap: the longest of all)\n\n",
                kSlowBaud, kSlowRounds);
    printSlowRows(slowRows);

#if defined(HIDEAWAY_STAND_IN_PHONE)
    std::printf(
        "\nOver a serial line at %d baud: the simulated phone in serial mode, a "
        "pseudo-terminal, hideaway-phone (median of %d rounds)\n\n",
        kSlowBaud, kSlowRounds);
    printSlowRows(serialRows);
#endif

#if defined(HIDEAWAY_NATIVE_HOST)
    std::printf("\nThrough the bridge and its host built natively, without Wine (median of %d)\n\n",
                kRounds);
    std::printf("%-24s %14s %14s %8s\n", "measure", "bridge ms", "native ms", "more ms");
    std::printf("%-24s %14.3f %14.3f %8.3f\n", "check (seven calls)", median(hostedChecks),
                median(directChecks), median(hostedChecks) - median(directChecks));
#endif
#if defined(HIDEAWAY_BRIDGE_LIBRARY)
    std::printf("\nThrough the Wine bridge to the simulated phone as GBP.dll (warm prefix)\n\n");
    std::printf("%-24s %14s %14s %8s\n", "measure", "bridge ms", "native ms", "more ms");
    std::printf("%-24s %14.1f %14s %8s\n", "first check of a run", firstMs, "-", "-");
    std::printf("%-24s %14.1f %14s %8s\n", "the same, server cold", coldServerMs, "-", "-");
    const double bridgedCheck = median(bridgedChecks);
    const double nativeCheck = median(nativeChecks);
    std::printf("%-24s %14.2f %14.2f %8.2f\n", "check after it", bridgedCheck, nativeCheck,
                bridgedCheck - nativeCheck);
    std::printf("\nThrough the Wine bridge at %d baud (median of %d rounds)\n\n", kSlowBaud,
                kSlowRounds);
    printSlowRows(bridgedRows);
#if defined(HIDEAWAY_STAND_IN_PHONE)
    std::printf(
        "\nThrough the Wine bridge over a serial line at %d baud: GBP.dll in serial mode "
        "on COM1, hideaway-phone (median of %d rounds)\n\n",
        kSlowBaud, kSlowRounds);
    printSlowRows(bridgedSerialRows);
#endif
#else
    std::printf(
        "\nThrough the Wine bridge: not measured, since this build has no bridge under Wine (it "
        "needs MinGW's i686 compiler, a Wine that runs 32-bit programs, and the tests on)\n");
#endif
    return 0;
}
