#include "doctor.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include "app_error.h"
#include "commands.h"
#include "gbp_abi.h"
#include "library_choice.h"
#include "module1.h"
#include "terminal.h"

namespace hideaway::cli {

void DoctorReport::passed(const QString& check, const QString& finding) {
    m_terminal.result(QStringLiteral("ok       %1: %2").arg(check, finding));
}

void DoctorReport::failed(const QString& check, const QString& finding, const QString& todo) {
    m_failed = true;
    m_terminal.result(QStringLiteral("PROBLEM  %1: %2; to do: %3").arg(check, finding, todo));
}

void DoctorReport::noted(const QString& check, const QString& finding) {
    m_terminal.result(QStringLiteral("note     %1: %2").arg(check, finding));
}

QString sixCalls() {
    QStringList names;
    for (const char* name : kGbpCallNames) {
        names << QLatin1String(name);
    }
    return names.join(QStringLiteral(", "));
}

bool isSimulatedPhone(const QString& file) {
    QFile library(file);
    return library.open(QIODevice::ReadOnly) &&
           library.readAll().contains("HIDEAWAY_PHONE_SETTINGS");
}

int runDoctor(const LibraryChoice& choice, Terminal& terminal) {
    DoctorReport report(terminal);
    Module1 module(choice.candidates);
    try {
        module.loadAll();
    } catch (const AppError& error) {
        const QString todo = error.code() == ErrorCode::EntryPointMissing
                                 ? QStringLiteral("use a complete phone-link library")
                             : choice.bridge
                                 ? QStringLiteral(
                                       "install the Wine bridge beside the program (the Debian "
                                       "package has it; a build makes it where MinGW is installed)")
                                 : QStringLiteral(
                                       "put a phone-link library of the right kind where it is "
                                       "looked for");
        report.failed(QStringLiteral("library"),
                      QStringLiteral("%1, %2").arg(error.description(), choice.reason), todo);
        return kExitFailed;
    }
    report.passed(
        QStringLiteral("library"),
        QStringLiteral("%1, %2").arg(QDir::toNativeSeparators(module.loadedFrom()), choice.reason));
    checkPlatform(module, report);
    return report.anyFailed() ? kExitFailed : kExitDone;
}

}  // namespace hideaway::cli
