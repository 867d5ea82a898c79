#pragma once

#include <QString>

#include <array>
#include <exception>

namespace hideaway {

/// Error numbers of everything the platform can raise in the tool. The numbering is the one
/// BASIC runtimes use, so a number shown to the user keeps its familiar meaning.
enum class ErrorCode : int {
    SubscriptOutOfRange = 9,  ///< a count that does not fit the buffer it describes
    BadFileName = 52,         ///< an empty or malformed path
    FileNotFound = 53,        ///< the file does not exist (or vanished)
    FileAlreadyOpen = 55,     ///< the file is locked by another program
    DeviceIo = 57,            ///< a read or write failed part-way
    DiskFull = 61,            ///< no room left on the device
    InputPastEnd = 62,        ///< the file no longer holds the bytes it was measured with
    PermissionDenied = 70,    ///< access to the file or folder is refused
    PathFileAccess = 75,      ///< the path names a folder or cannot be opened as a file
    PathNotFound = 76,        ///< a folder on the path does not exist
    LibraryNotLoaded = 48,    ///< the phone-link library cannot be loaded
    EntryPointMissing = 453,  ///< the phone-link library lacks an operation
    DialogCancelled = 32755,  ///< the user cancelled a file dialog that raises on cancel
};

/// One row per code: the fixed text that opens the description of its errors.
struct ErrorEntry {
    ErrorCode code;
    const char* text;

    constexpr int number() const { return static_cast<int>(code); }
};

inline constexpr std::array<ErrorEntry, 13> kErrorTable = {{
    {ErrorCode::SubscriptOutOfRange, "Subscript out of range"},
    {ErrorCode::BadFileName, "Bad file name or number"},
    {ErrorCode::FileNotFound, "File not found"},
    {ErrorCode::FileAlreadyOpen, "File already open"},
    {ErrorCode::DeviceIo, "Device I/O error"},
    {ErrorCode::DiskFull, "Disk full"},
    {ErrorCode::InputPastEnd, "Input past end of file"},
    {ErrorCode::PermissionDenied, "Permission denied"},
    {ErrorCode::PathFileAccess, "Path/File access error"},
    {ErrorCode::PathNotFound, "Path not found"},
    {ErrorCode::LibraryNotLoaded, "Error in loading DLL"},
    {ErrorCode::EntryPointMissing, "Can't find DLL entry point"},
    {ErrorCode::DialogCancelled, "Cancel was selected."},
}};

/// The fixed text that opens the description of an error with this code (its row's text).
QString errorText(ErrorCode code);

/// The one error type of the tool: a number and a description, created where the fault happens.
/// Operations that trap errors show the description; untrapped ones reach the window, which shows
/// both.
class AppError : public std::exception {
public:
    /// The description is the code's fixed text, followed by ": " and the detail when one is given
    /// (a path, a library or operation name, the system's own reason).
    explicit AppError(ErrorCode code, const QString& detail = {});

    int number() const noexcept { return m_number; }
    ErrorCode code() const noexcept { return static_cast<ErrorCode>(m_number); }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

}  // namespace hideaway
