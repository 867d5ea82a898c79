#include "file_transfer.h"

#include <algorithm>
#include <limits>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "app_error.h"
#include "open_in_place.h"

namespace hideaway {

namespace {

QString withReason(const QString& path, const QString& reason) {
    return reason.isEmpty() ? path : path + QStringLiteral(" (") + reason + QLatin1Char(')');
}

/// Why a file could not be opened for reading, told from what stands at the path now.
AppError openForReadingError(const QString& path, const QString& reason) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return AppError(ErrorCode::FileNotFound, path);
    }
    if (info.isDir()) {
        return AppError(ErrorCode::PathFileAccess, withReason(path, QStringLiteral("a folder")));
    }
    if (!info.isReadable()) {
        return AppError(ErrorCode::PermissionDenied, path);
    }
    return AppError(ErrorCode::PathFileAccess, withReason(path, reason));
}

/// Why a file could not be opened or created for writing.
AppError openForWritingError(const QString& path, const QString& reason) {
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists() || !folder.isDir()) {
        return AppError(ErrorCode::PathNotFound, path);
    }
    if (info.isDir()) {
        return AppError(ErrorCode::PathFileAccess, withReason(path, QStringLiteral("a folder")));
    }
    if ((info.exists() && !info.isWritable()) || !folder.isWritable()) {
        return AppError(ErrorCode::PermissionDenied, path);
    }
    return AppError(ErrorCode::PathFileAccess, withReason(path, reason));
}

/// Qt reports a write that ran out of room (ENOSPC) as a resource error; any other failure
/// keeps the system's own reason (EFBIG: "File too large").
AppError writeError(const QFileDevice& file, const QString& path) {
    if (file.error() == QFileDevice::ResourceError) {
        return AppError(ErrorCode::DiskFull, withReason(path, file.errorString()));
    }
    if (file.error() == QFileDevice::NoError) {
        return AppError(ErrorCode::DeviceIo, withReason(path, QStringLiteral("nothing written")));
    }
    return AppError(ErrorCode::DeviceIo, withReason(path, file.errorString()));
}

/// Writes all count bytes to a file opened unbuffered, so that every failure shows here.
void writeAll(QFileDevice& file, const QString& path, const char* data, qint64 count) {
    qint64 done = 0;
    while (done < count) {
        // A write that stops part-way (a disk that fills, a size limit) reports no error; the
        // next one then fails at its first byte, which is when Qt keeps the system's reason.
        const qint64 written = file.write(data + done, count - done);
        if (written <= 0) {
            throw writeError(file, path);
        }
        done += written;
    }
}

/// Writes into a target that is not a regular file (a device, a pipe). Such a target cannot be
/// replaced by renaming a temporary file over it without destroying the node itself.
void writeInPlace(const QString& path, const char* data, qint64 count) {
    QFile file;
    QString reason;
    if (!openWithoutWaiting(file, path, reason)) {
        throw openForWritingError(path, reason);
    }
    writeAll(file, path, data, count);
    file.close();
    if (file.error() != QFileDevice::NoError) {
        throw writeError(file, path);
    }
}

/// Replaces a regular file, or creates a new one, through a temporary file in the same folder
/// that is renamed over the target only once every byte is on disk.
void replaceAtomically(const QString& path, const char* data, qint64 count) {
    QSaveFile file(path);
    // Writing in place when no temporary file can be made would lose atomicity.
    file.setDirectWriteFallback(false);
    // Unbuffered, so that every byte reaches the temporary file within write(): bytes left in
    // Qt's buffer are written by commit(), which renames the file over the target even when that
    // last write failed, and reports success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        throw openForWritingError(path, file.errorString());
    }
    try {
        writeAll(file, path, data, count);
    } catch (const AppError&) {
        file.cancelWriting();
        throw;
    }
    // A failed commit (the rename) removes the temporary file itself and leaves the target as it
    // was.
    if (!file.commit()) {
        throw AppError(ErrorCode::PathFileAccess, withReason(path, file.errorString()));
    }
}

}  // namespace

std::int32_t fileLength(const QString& path) {
    if (path.isEmpty()) {
        throw AppError(ErrorCode::BadFileName, QStringLiteral("no file name"));
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        throw AppError(ErrorCode::FileNotFound, path);
    }
    if (!info.isFile()) {
        // Folders, devices and pipes have no length to upload.
        throw AppError(ErrorCode::PathFileAccess,
                       withReason(path, info.isDir() ? QStringLiteral("a folder")
                                                     : QStringLiteral("not a regular file")));
    }
    // A file beyond the 32-bit range is still reported as too long, never as a wrapped length.
    return static_cast<std::int32_t>(
        std::min<qint64>(info.size(), std::numeric_limits<std::int32_t>::max()));
}

void LoadFileBytes(const QString& path, ByteBuffer& buffer, std::int16_t count) {
    if (count < 0) {
        throw AppError(
            ErrorCode::SubscriptOutOfRange,
            QStringLiteral("%1 bytes to load from %2").arg(QString::number(count), path));
    }
    buffer.assign(static_cast<std::size_t>(count) + 1, 0);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw openForReadingError(path, file.errorString());
    }
    // Exactly count bytes go to the buffer, in order, so element count stays the spare 0.
    auto* data = reinterpret_cast<char*>(buffer.data());
    qint64 got = 0;
    while (got < count) {
        const qint64 read = file.read(data + got, count - got);
        if (read < 0) {
            throw AppError(ErrorCode::DeviceIo, withReason(path, file.errorString()));
        }
        if (read == 0) {
            break;
        }
        got += read;
    }
    // The file was measured before it was opened; a file that shrank or grew since then is not
    // the file the caller measured, and uploading part of it would pass for the whole.
    char extra = 0;
    const qint64 beyond = got < count ? 0 : file.read(&extra, 1);
    if (beyond < 0) {
        throw AppError(ErrorCode::DeviceIo, withReason(path, file.errorString()));
    }
    if (got < count || beyond > 0) {
        throw AppError(
            ErrorCode::InputPastEnd,
            QStringLiteral("%1 no longer holds %2 bytes").arg(path, QString::number(count)));
    }
}

bool SaveBytesToFile(const QString& path, const ByteBuffer& buffer, std::int32_t count,
                     const std::function<void(const QString&)>& reportFailure) {
    try {
        if (count < 0 || static_cast<std::size_t>(count) > buffer.size() ||
            count > std::numeric_limits<std::int16_t>::max()) {
            throw AppError(ErrorCode::SubscriptOutOfRange,
                           QStringLiteral("%1 bytes to save from a buffer of %2")
                               .arg(count)
                               .arg(buffer.size()));
        }
        if (path.isEmpty()) {
            throw AppError(ErrorCode::BadFileName, QStringLiteral("no file name"));
        }
        const auto* data = reinterpret_cast<const char*>(buffer.data());
        const QFileInfo target(path);
        if (target.isDir()) {
            throw AppError(ErrorCode::PathFileAccess, withReason(path, QStringLiteral("a folder")));
        }
        if (isDeviceOrPipe(path)) {
            writeInPlace(path, data, count);
        } else {
            replaceAtomically(path, data, count);
        }
        return true;
    } catch (const AppError& error) {
        reportFailure(error.description());
        return false;
    }
}

}  // namespace hideaway
