#include "module1.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

#include "app_error.h"
#include "library_choice.h"
#include "library_fault.h"

namespace hideaway {

namespace {
const QString kLibraryName = QStringLiteral("GBP");
}

Module1::Module1(QStringList candidates) : m_candidates(std::move(candidates)) {}

QStringList Module1::defaultCandidates() {
    return chooseLibrary().candidates;
}

void Module1::loadAll() {
    if (m_calls.InitGBPMode == nullptr) {
        load("a check of the set-up");
    }
}

void Module1::load(const char* operation) {
    QStringList reasons;
    for (const QString& candidate : m_candidates) {
        m_library.setFileName(candidate);
        if (m_library.load()) {
            resolveAll();
            return;
        }
        reasons << libraryLoadFault(candidate, m_library.errorString());
    }
    throw AppError(ErrorCode::LibraryNotLoaded,
                   QStringLiteral("%1 (for %2): %3")
                       .arg(kLibraryName, QLatin1String(operation),
                            reasons.isEmpty() ? QStringLiteral("no place to look for it")
                                              : reasons.join(QStringLiteral("; "))));
}

QString Module1::loadedFrom() {
    if (!isLoaded()) {
        return {};
    }
    return loadedLibraryFile(m_library);
}

QString Module1::hostedLibrary() {
    if (!isLoaded()) {
        return {};
    }
    using HostedFn = const char* (*)();
    const auto hosted = reinterpret_cast<HostedFn>(m_library.resolve("GbpBridgeHostedLibrary"));
    return hosted != nullptr ? QString::fromUtf8(hosted()) : QString();
}

// All six at once: an operation that stops half-way (a slot emptied, and then no call to read it
// back) costs the user's data, so a library that cannot finish every operation starts none.
void Module1::resolveAll() {
    const std::string missing =
        findGbpCalls(m_calls, [this](const char* name) { return m_library.resolve(name); });
    if (missing.empty()) {
        return;
    }
    // The full path: a user who put a vendor's library in place can tell which file lacks the
    // call. Given back, so that a mended library is loaded afresh at the next call.
    const QString file = QDir::toNativeSeparators(loadedFrom());
    m_calls = {};
    m_library.unload();
    throw AppError(ErrorCode::EntryPointMissing,
                   QStringLiteral("%1 in %2").arg(QString::fromStdString(missing), file));
}

template <typename Fn>
Fn Module1::entry(Fn GbpCalls::*call, GbpCall which) {
    if (m_calls.*call == nullptr) {
        load(gbpCallName(which));
    }
    return m_calls.*call;
}

#define HIDEAWAY_FORWARD(name, parameters, arguments)           \
    std::int16_t Module1::name parameters {                     \
        return entry(&GbpCalls::name, GbpCall::name) arguments; \
    }
GBP_FOR_EACH_CALL(HIDEAWAY_FORWARD)
#undef HIDEAWAY_FORWARD

}  // namespace hideaway
