#pragma once

#include <QLibrary>
#include <QStringList>

#include "gbp_abi.h"
#include "gbp_library.h"

namespace hideaway {

/// The phone-link library GBP, loaded at the first call of any operation, when all six operations
/// are looked up by their exported names and kept. A library that cannot be loaded raises
/// AppError 48, naming each file looked for and its fault; one that lacks an operation raises
/// AppError 453, naming the operation and the file, before any call reaches it, and is given back.
class Module1 final : public GbpLibrary {
public:
    /// The library is looked for under each candidate name in turn; QLibrary adds the platform's
    /// prefix and suffix (libGBP.so, GBP.dll).
    explicit Module1(QStringList candidates = defaultCandidates());

    /// The places chooseLibrary() gives (library_choice.h).
    static QStringList defaultCandidates();

    /// Loads the library and looks up all six calls, as the first call would, without making
    /// any; throws as that call would.
    void loadAll();

    /// Whether any call has loaded the library yet.
    bool isLoaded() const { return m_library.isLoaded(); }
    /// The full path of the file the library was loaded from, once loaded; empty before.
    QString loadedFrom();
    /// For a bridge to a Windows DLL (it exports GbpBridgeHostedLibrary), the full path of the
    /// DLL it hosts, once a call has reached it; empty for any other library.
    QString hostedLibrary();

    std::int16_t InitGBPMode(std::uint8_t port) override;
    std::int16_t EndGBPMode() override;
    std::int16_t ClearNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber) override;
    std::int16_t WriteNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber, std::uint8_t* buffer,
                              std::int32_t length) override;
    std::int16_t GetNVMFileSize(std::uint8_t fileGroup, std::uint8_t fileNumber) override;
    std::int16_t ReadNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber, std::uint8_t* buffer,
                             std::int32_t maxLength) override;

private:
    /// The looked-up call, loading the library first when no call has yet.
    template <typename Fn>
    Fn entry(Fn GbpCalls::*call, GbpCall which);
    void load(const char* operation);
    void resolveAll();

    QStringList m_candidates;
    QLibrary m_library;
    GbpCalls m_calls{};
};

}  // namespace hideaway
