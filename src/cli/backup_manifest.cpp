#include "backup_manifest.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

#include "slot_table.h"

namespace hideaway::cli {

namespace {

const QString kFormat = QStringLiteral("hideaway100k backup");
constexpr int kFormatVersion = 1;
/// A manifest of five slots takes a few hundred bytes; anything far larger is not one.
constexpr qint64 kManifestLimit = 64 * 1024;

CheckedManifest refused(const QString& error) {
    return {{}, kManifestName + QLatin1String(": ") + error};
}

bool isSha256Hex(const QString& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                      (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
           });
}

}  // namespace

QString slotFileName(int slot) {
    return QStringLiteral("slot%1.bin").arg(slot);
}

QByteArray sha256Hex(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

QByteArray manifestJson(const QList<BackupEntry>& entries) {
    QJsonArray slotArray;
    for (const BackupEntry& entry : entries) {
        slotArray.append(
            QJsonObject{{QStringLiteral("slot"), entry.slot},
                        {QStringLiteral("bytes"), entry.bytes},
                        {QStringLiteral("sha256"), QString::fromLatin1(entry.sha256)}});
    }
    const QJsonObject root{{QStringLiteral("format"), kFormat},
                           {QStringLiteral("version"), kFormatVersion},
                           {QStringLiteral("slots"), slotArray}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray sumsText(const QList<BackupEntry>& entries, const QByteArray& manifest) {
    QByteArray text;
    for (const BackupEntry& entry : entries) {
        text += entry.sha256 + "  " + slotFileName(entry.slot).toLatin1() + '\n';
    }
    text += sha256Hex(manifest) + "  " + kManifestName.toLatin1() + '\n';
    return text;
}

std::optional<QByteArray> readSmallFile(const QString& path, qint64 limit) {
    if (!QFileInfo(path).isFile()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray data = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return data;
}

CheckedManifest readManifest(const QString& folder) {
    const QDir dir(folder);
    const std::optional<QByteArray> text =
        readSmallFile(dir.filePath(kManifestName), kManifestLimit);
    if (!text) {
        return refused(
            QStringLiteral("missing or unreadable in %1").arg(QDir::toNativeSeparators(folder)));
    }
    if (text->size() > kManifestLimit) {
        return refused(QStringLiteral("too large to be a manifest"));
    }

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(*text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return refused(QStringLiteral("not well-formed JSON (%1 at byte %2)")
                           .arg(parseError.errorString())
                           .arg(parseError.offset));
    }
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value(QStringLiteral("format")).toString() != kFormat ||
        root.value(QStringLiteral("version")).toInteger(-1) != kFormatVersion ||
        !root.value(QStringLiteral("slots")).isArray()) {
        return refused(
            QStringLiteral("not a version %1 backup manifest of this tool").arg(kFormatVersion));
    }

    QList<BackupEntry> entries;
    QSet<int> seen;
    for (const QJsonValue& value : root.value(QStringLiteral("slots")).toArray()) {
        const QJsonObject object = value.toObject();
        const qint64 slot = object.value(QStringLiteral("slot")).toInteger(-1);
        if (!value.isObject() || slot < 1 || slot > kSlotCount) {
            return refused(QStringLiteral("every entry needs a slot from 1 to 5"));
        }
        const QString where = QStringLiteral("slot %1: ").arg(slot);
        if (seen.contains(static_cast<int>(slot))) {
            return refused(where + QStringLiteral("listed more than once"));
        }
        seen.insert(static_cast<int>(slot));
        const qint64 bytes = object.value(QStringLiteral("bytes")).toInteger(-1);
        if (bytes < 0) {
            return refused(where + QStringLiteral("no byte count"));
        }
        // A slot may hold up to 10 bytes more than an upload takes; restore puts back the others.
        if (bytes > SlotCapacity) {
            return refused(where + QStringLiteral("%1 bytes, more than a slot holds (%2)")
                                       .arg(bytes)
                                       .arg(SlotCapacity));
        }
        const QString sha = object.value(QStringLiteral("sha256")).toString();
        if (!isSha256Hex(sha)) {
            return refused(where + QStringLiteral("no SHA-256 (64 lower-case hex digits)"));
        }
        entries.append({static_cast<int>(slot), bytes, sha.toLatin1()});
    }

    std::sort(entries.begin(), entries.end(),
              [](const BackupEntry& a, const BackupEntry& b) { return a.slot < b.slot; });
    for (const BackupEntry& entry : entries) {
        const QString name = slotFileName(entry.slot);
        const QString where = QStringLiteral("slot %1: ").arg(entry.slot);
        const std::optional<QByteArray> data = readSmallFile(dir.filePath(name), SlotCapacity);
        if (!data) {
            return refused(where + name + QStringLiteral(" is missing or unreadable"));
        }
        if (data->size() != entry.bytes) {
            return refused(where + name +
                           QStringLiteral(" does not hold the %1 bytes listed").arg(entry.bytes));
        }
        if (sha256Hex(*data) != entry.sha256) {
            return refused(where + name + QStringLiteral(" does not match its SHA-256"));
        }
    }
    return {entries, {}};
}

}  // namespace hideaway::cli
