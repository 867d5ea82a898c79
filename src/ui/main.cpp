#include <QApplication>
#include <QFileInfo>

#include <csignal>
#include <cstdio>

#include "display_check.h"
#include "form_main.h"
#include "module1.h"
#include "wine_fonts.h"
#include "worker_library.h"

namespace {

// The command the user started the program by, for the hint that shows how to start it again:
// the link in the path, not the file it leads to. Only a caller that gave no name gets the path.
QString typedCommand(const char* argv0) {
    if (argv0 != nullptr && *argv0 != '\0') {
        return QString::fromLocal8Bit(argv0);
    }
#if defined(Q_OS_LINUX)
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    if (self.exists()) {
        return self.canonicalFilePath();
    }
#endif
    return QStringLiteral("hideaway100k");
}

}  // namespace

int main(int argc, char** argv) {
#if defined(SIGXFSZ)
    // Past a file-size limit a download's save then fails with its ordinary error, instead of
    // the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    if (!hideaway::displayAvailable(argc, argv)) {
        std::fprintf(stderr, "%s\n", qPrintable(hideaway::noDisplayMessage(typedCommand(argv[0]))));
        return 1;
    }

    hideaway::ApplicationArguments arguments(argc, argv);
    QApplication app(arguments.argc(), arguments.argv());
    hideaway::useDialogFaceStandIn();
    hideaway::Module1 module1;
    // The library's calls run on a worker thread of their own, so the window stays alive while
    // the phone link works.
    hideaway::WorkerLibrary library(module1);
    hideaway::FormMain form(library);
    library.setLinkObserver([&form](bool open) { form.setLinkOpen(open); });
    library.setCallObserver(
        [&form](const hideaway::LibraryCall* call) { form.setCallUnderWay(call); });
    form.show();
    return app.exec();
}
