#pragma once

#include <QString>

namespace hideaway {

/// The main window's one common file dialog, shared by upload and download. The file name last
/// chosen carries over to the next use.
class FileDialog {
public:
    virtual ~FileDialog() = default;

    /// When true, a cancelled dialog throws AppError 32755 (ErrorCode::DialogCancelled).
    virtual void setCancelError(bool raise) = 0;
    /// "Description|pattern" pairs, separated by '|', as in "Bin Files *.bin|*.bin".
    virtual void setFilter(const QString& filter) = 0;
    /// Shows a modal open dialog; on a choice fileName() is the file's full path.
    virtual void ShowOpen() = 0;
    /// Shows a modal save dialog; on a choice fileName() is the file's full path.
    virtual void ShowSave() = 0;
    virtual QString fileName() const = 0;
};

}  // namespace hideaway
