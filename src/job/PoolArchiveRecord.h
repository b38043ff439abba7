#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// What the send stage is about to do at the lab with one archive: written before the rename, so
// a run that was killed between the rename and the local delete can tell at its next send that
// the lab already took the archive.
struct RenameIntent {
    QString temporaryName; // "upload_" + the final name
    QString finalName;
    QString server;  // host (with port) and remote folder of the profile the rename went to
    qint64 size = 0; // the archive's bytes and hash when the rename was asked for
    QString sha256;
    QDateTime written;
    bool confirmed = false; // the job saw the rename done at the lab

    bool operator==(const RenameIntent&) const = default;
};

// An upload begun at the lab under a temporary name: what a later send (a retry, the next pool
// send, after a restart too) must match before it continues that file instead of starting again.
struct UploadIntent {
    QString temporaryName;
    QString server;
    qint64 size = 0; // the archive's size, modification time and hash when the upload began
    QDateTime modified;
    QString sha256;

    bool operator==(const UploadIntent&) const = default;
};

// The small record kept beside each pooled archive, as the hidden file "." + archive name +
// ".json" in the same folder (private to the user, replaced atomically, removed with the
// archive): the archive's name, size, modification time and SHA-256 from packing, and the rename
// intent, and the upload begun at the lab. Keys this version does not know are kept when the
// record is written again.
class PoolArchiveRecord {
public:
    qint64 size = 0;
    QDateTime modified;
    QString sha256;     // lower-case hex
    QString hashSource; // kHashPacked or kHashBeforeSend
    std::optional<RenameIntent> rename;
    std::optional<UploadIntent> upload;

    static inline const char* kHashPacked = "packed";
    // An archive pooled by an older version: hashed once before its first send.
    static inline const char* kHashBeforeSend = "beforeSend";

    static QString recordPathFor(const QString& archivePath);
    static bool isRecordFileName(const QString& fileName);
    // None when there is no record or it cannot be read as one.
    static std::optional<PoolArchiveRecord> read(const QString& archivePath);
    // Replaces the record beside the archive in one step (mode 0600); false when it failed.
    bool write(const QString& archivePath) const;
    // True when no record is left.
    static bool remove(const QString& archivePath);
    // The archive paths in folder whose record is left while the archive is gone.
    static QStringList orphanArchivePaths(const QString& folder);
    // Removes the records in folder whose archive is gone, and temporary files of records a crash
    // left half-written; the names removed.
    static QStringList removeOrphans(const QString& folder);

    // A record of the archive as it is now, hashed; none when it cannot be read or shouldStop
    // said so while hashing.
    static std::optional<PoolArchiveRecord> forArchive(const QString& archivePath,
                                                       const QString& hashSource,
                                                       const std::function<bool()>& shouldStop);
    // SHA-256 of a file, read in pieces (archives reach 4 GB); none when it cannot be read or
    // shouldStop (polled between pieces) said so.
    static std::optional<QString> sha256OfFile(const QString& path,
                                               const std::function<bool()>& shouldStop = {});

    QJsonObject toJson() const;
    static std::optional<PoolArchiveRecord> fromJson(const QJsonObject& object);

private:
    QJsonObject _other; // keys of later versions, written back unchanged
};
