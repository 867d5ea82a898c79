#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <aclapi.h>

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <memory>
#include <vector>

#include "backup_folder.h"
#include "backup_privacy.h"

namespace hideaway::cli {

namespace {

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

// The current user's SID, kept in the token information it points into.
std::vector<char> currentUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> user(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) {
        user.clear();
    }
    CloseHandle(token);
    return user;
}

QString systemWords(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const QString words =
        length != 0 ? QString::fromWCharArray(text, int(length)).trimmed() : QString();
    LocalFree(text);
    return words.isEmpty() ? QStringLiteral("Windows error %1").arg(error) : words;
}

// One entry, full control for the user; protected, so nothing is inherited from above. Set
// through the file's security descriptor: Wine maps that one onto the file's Unix mode.
QString protect(const QString& path, PSID user, bool handedDown) {
    const QString shown = QDir::toNativeSeparators(path);
    EXPLICIT_ACCESS_W access{};
    access.grfAccessPermissions = GENERIC_ALL;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = handedDown ? SUB_CONTAINERS_AND_OBJECTS_INHERIT : NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = static_cast<LPWSTR>(user);
    PACL list = nullptr;
    if (const DWORD error = SetEntriesInAclW(1, &access, nullptr, &list); error != ERROR_SUCCESS) {
        return QStringLiteral("cannot make %1 private: %2").arg(shown, systemWords(error));
    }
    const std::unique_ptr<ACL, LocalFreer> owned(list);
    SECURITY_DESCRIPTOR descriptor{};
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED) ||
        !SetFileSecurityW(reinterpret_cast<const wchar_t*>(shown.utf16()),
                          DACL_SECURITY_INFORMATION, &descriptor)) {
        return QStringLiteral("cannot make %1 private: %2").arg(shown, systemWords(GetLastError()));
    }
    return {};
}

}  // namespace

QString protectBackup(const QString& folder) {
    std::vector<char> user = currentUser();
    if (user.empty()) {
        return QStringLiteral("cannot make %1 private: the current user is not known")
            .arg(QDir::toNativeSeparators(folder));
    }
    const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    if (QString failed = protect(folder, sid, true); !failed.isEmpty()) {
        return failed;
    }
    const QDir dir(folder);
    for (const QString& name : backupFileNames()) {
        const QString path = dir.filePath(name);
        if (!QFileInfo::exists(path)) {
            continue;
        }
        if (QString failed = protect(path, sid, false); !failed.isEmpty()) {
            return failed;
        }
    }
    return {};
}

void keepNewFilesPrivate() {
    // Every file of a backup gets its access list from protectBackup.
}

}  // namespace hideaway::cli
