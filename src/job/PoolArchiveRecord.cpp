#include "job/PoolArchiveRecord.h"

#include "util/Sha256.h"
#include "util/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kArchive = QStringLiteral("archive");
const QString kSize = QStringLiteral("size");
const QString kModified = QStringLiteral("modified");
const QString kSha256 = QStringLiteral("sha256");
const QString kHashSource = QStringLiteral("hashSource");
const QString kRename = QStringLiteral("rename");
const QString kUpload = QStringLiteral("upload");

bool writeAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void syncFolder(const QString& folder) {
    const orbel::UniqueFd fd(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

QJsonObject intentToJson(const RenameIntent& intent) {
    return {{QStringLiteral("temporaryName"), intent.temporaryName},
            {QStringLiteral("finalName"), intent.finalName},
            {QStringLiteral("server"), intent.server},
            {kSize, intent.size},
            {kSha256, intent.sha256},
            {QStringLiteral("written"), intent.written.toString(Qt::ISODateWithMs)},
            {QStringLiteral("confirmed"), intent.confirmed}};
}

QJsonObject uploadToJson(const UploadIntent& upload) {
    return {{QStringLiteral("temporaryName"), upload.temporaryName},
            {QStringLiteral("server"), upload.server},
            {kSize, upload.size},
            {kModified, upload.modified.toString(Qt::ISODateWithMs)},
            {kSha256, upload.sha256}};
}

std::optional<UploadIntent> uploadFromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    UploadIntent upload;
    upload.temporaryName = object.value(QStringLiteral("temporaryName")).toString();
    upload.server = object.value(QStringLiteral("server")).toString();
    upload.size = object.value(kSize).toInteger(-1);
    upload.modified = QDateTime::fromString(object.value(kModified).toString(), Qt::ISODateWithMs);
    upload.sha256 = object.value(kSha256).toString();
    if (upload.temporaryName.isEmpty() || upload.size < 0 || !upload.modified.isValid() ||
        upload.sha256.size() != 64)
        return std::nullopt;
    return upload;
}

std::optional<RenameIntent> intentFromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    RenameIntent intent;
    intent.temporaryName = o.value(QStringLiteral("temporaryName")).toString();
    intent.finalName = o.value(QStringLiteral("finalName")).toString();
    intent.server = o.value(QStringLiteral("server")).toString();
    intent.size = o.value(kSize).toInteger(-1);
    intent.sha256 = o.value(kSha256).toString();
    intent.written =
        QDateTime::fromString(o.value(QStringLiteral("written")).toString(), Qt::ISODateWithMs);
    intent.confirmed = o.value(QStringLiteral("confirmed")).toBool(false);
    if (intent.finalName.isEmpty() || intent.server.isEmpty() || intent.sha256.isEmpty())
        return std::nullopt;
    return intent;
}

} // namespace

QString PoolArchiveRecord::recordPathFor(const QString& archivePath) {
    const QFileInfo info(archivePath);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".json");
}

bool PoolArchiveRecord::isRecordFileName(const QString& fileName) {
    return fileName.size() > 6 && fileName.startsWith(u'.') &&
           fileName.endsWith(QStringLiteral(".json"));
}

std::optional<PoolArchiveRecord> PoolArchiveRecord::read(const QString& archivePath) {
    QFile file(recordPathFor(archivePath));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A record is a few hundred bytes; anything far larger is not one of ours.
    const QByteArray data = file.read(1024 * 1024);
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return std::nullopt;
    return fromJson(document.object());
}

bool PoolArchiveRecord::write(const QString& archivePath) const {
    const QString path = recordPathFor(archivePath);
    QJsonObject object = toJson();
    object.insert(kArchive, QFileInfo(archivePath).fileName());
    const QByteArray data = QJsonDocument(object).toJson(QJsonDocument::Indented);
    QByteArray tmpl = QFile::encodeName(path + QStringLiteral(".tmp-XXXXXX"));
    // mkostemp creates the file with mode 0600: the record tells nobody else about the orders.
    orbel::UniqueFd fd(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    bool ok = writeAll(fd.get(), data) && ::fsync(fd.get()) == 0;
    ok = fd.closeChecked() && ok;
    if (ok)
        ok = ::rename(tmpl.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        ::unlink(tmpl.constData());
        return false;
    }
    syncFolder(QFileInfo(path).absolutePath());
    return true;
}

bool PoolArchiveRecord::remove(const QString& archivePath) {
    const QString path = recordPathFor(archivePath);
    return QFile::remove(path) || !QFileInfo::exists(path);
}

QStringList PoolArchiveRecord::orphanArchivePaths(const QString& folder) {
    QStringList paths;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        if (!isRecordFileName(name))
            continue;
        const QString archive = dir.filePath(name.mid(1, name.size() - 6));
        if (!QFileInfo(archive).isFile())
            paths.append(archive);
    }
    return paths;
}

QStringList PoolArchiveRecord::removeOrphans(const QString& folder) {
    static const QRegularExpression leftover(QStringLiteral("^\\..+\\.json\\.tmp-[A-Za-z0-9]{6}$"));
    QStringList removed;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        bool orphan = leftover.match(name).hasMatch();
        if (!orphan && isRecordFileName(name)) {
            const QString archive = name.mid(1, name.size() - 6);
            orphan = !QFileInfo(dir.filePath(archive)).isFile();
        }
        if (orphan && QFile::remove(dir.filePath(name)))
            removed.append(name);
    }
    return removed;
}

std::optional<PoolArchiveRecord>
PoolArchiveRecord::forArchive(const QString& archivePath, const QString& hashSource,
                              const std::function<bool()>& shouldStop) {
    const QFileInfo info(archivePath);
    if (!info.isFile())
        return std::nullopt;
    PoolArchiveRecord record;
    record.size = info.size();
    record.modified = info.lastModified();
    const std::optional<QString> hash = sha256OfFile(archivePath, shouldStop);
    if (!hash)
        return std::nullopt;
    record.sha256 = *hash;
    record.hashSource = hashSource;
    return record;
}

std::optional<QString> PoolArchiveRecord::sha256OfFile(const QString& path,
                                                       const std::function<bool()>& shouldStop) {
    return orbel::Sha256::ofFile(path, shouldStop);
}

QJsonObject PoolArchiveRecord::toJson() const {
    QJsonObject object = _other;
    object.insert(kSize, size);
    object.insert(kModified, modified.toString(Qt::ISODateWithMs));
    object.insert(kSha256, sha256);
    object.insert(kHashSource, hashSource);
    if (rename)
        object.insert(kRename, intentToJson(*rename));
    else
        object.remove(kRename);
    if (upload)
        object.insert(kUpload, uploadToJson(*upload));
    else
        object.remove(kUpload);
    return object;
}

std::optional<PoolArchiveRecord> PoolArchiveRecord::fromJson(const QJsonObject& object) {
    PoolArchiveRecord record;
    record.size = object.value(kSize).toInteger(-1);
    record.modified = QDateTime::fromString(object.value(kModified).toString(), Qt::ISODateWithMs);
    record.sha256 = object.value(kSha256).toString();
    record.hashSource = object.value(kHashSource).toString();
    record.rename = intentFromJson(object.value(kRename));
    record.upload = uploadFromJson(object.value(kUpload));
    if (record.size < 0 || record.sha256.size() != 64)
        return std::nullopt;
    record._other = object;
    for (const QString& key : {kArchive, kSize, kModified, kSha256, kHashSource, kRename, kUpload})
        record._other.remove(key);
    return record;
}
