#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace hideaway::cli {

/// One slot of a backup: FOLDER/slotN.bin holds its bytes.
struct BackupEntry {
    int slot = 0;
    qint64 bytes = 0;
    /// SHA-256 of the file, lower-case hexadecimal.
    QByteArray sha256;
};

inline const QString kManifestName = QStringLiteral("manifest.json");

/// "slot3.bin" for slot 3.
QString slotFileName(int slot);

/// SHA-256 of data, lower-case hexadecimal.
QByteArray sha256Hex(const QByteArray& data);

/// The manifest for entries, in the order given.
QByteArray manifestJson(const QList<BackupEntry>& entries);

/// The SHA256SUMS text for entries and the manifest, as sha256sum writes it (two blanks between
/// the sum and the name), so that `sha256sum -c SHA256SUMS` checks the backup without this tool.
QByteArray sumsText(const QList<BackupEntry>& entries, const QByteArray& manifest);

/// Reads up to limit + 1 bytes of the regular file at path, so that a file beyond limit shows as
/// too long without being read whole. Nothing when it is not a regular file or cannot be read.
std::optional<QByteArray> readSmallFile(const QString& path, qint64 limit);

/// A backup's manifest, checked completely against the folder: well-formed, slots 1 to 5 each
/// at most once, and each listed file present, of the listed size (at most what a slot holds)
/// and with the listed SHA-256. The entries come in slot order. On any fault there are no entries
/// and error says what is wrong.
struct CheckedManifest {
    QList<BackupEntry> entries;
    QString error;
};
CheckedManifest readManifest(const QString& folder);

}  // namespace hideaway::cli
