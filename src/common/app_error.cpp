#include "app_error.h"

namespace hideaway {

QString errorText(ErrorCode code) {
    switch (code) {
        case ErrorCode::SubscriptOutOfRange:
            return QStringLiteral("Subscript out of range");
        case ErrorCode::BadFileName:
            return QStringLiteral("Bad file name or number");
        case ErrorCode::FileNotFound:
            return QStringLiteral("File not found");
        case ErrorCode::FileAlreadyOpen:
            return QStringLiteral("File already open");
        case ErrorCode::DeviceIo:
            return QStringLiteral("Device I/O error");
        case ErrorCode::DiskFull:
            return QStringLiteral("Disk full");
        case ErrorCode::InputPastEnd:
            return QStringLiteral("Input past end of file");
        case ErrorCode::PermissionDenied:
            return QStringLiteral("Permission denied");
        case ErrorCode::PathFileAccess:
            return QStringLiteral("Path/File access error");
        case ErrorCode::PathNotFound:
            return QStringLiteral("Path not found");
        case ErrorCode::LibraryNotLoaded:
            return QStringLiteral("Error in loading DLL");
        case ErrorCode::EntryPointMissing:
            return QStringLiteral("Can't find DLL entry point");
        case ErrorCode::DialogCancelled:
            return QStringLiteral("Cancel was selected.");
    }
    return {};
}

AppError::AppError(ErrorCode code, const QString& detail)
    : m_number(static_cast<int>(code)),
      m_description(detail.isEmpty() ? errorText(code)
                                     : errorText(code) + QStringLiteral(": ") + detail),
      m_what(m_description.toUtf8()) {}

}  // namespace hideaway
