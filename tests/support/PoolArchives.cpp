#include "PoolArchives.h"

#include "job/PoolArchiveRecord.h"
#include "job/ZipJob.h"
#include "util/ProcessRunner.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace poolkit {

QString poolWithoutRecord(const QString& name, const QByteArray& data) {
    if (!WorkFolder::checkWorkFolder())
        return QString();
    const QString path = WorkFolder::orderZipPoolFolderPath() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        return QString();
    return path;
}

QString poolWithRecord(const QString& name, const QByteArray& data) {
    const QString path = poolWithoutRecord(name, data);
    if (path.isEmpty())
        return path;
    const std::optional<PoolArchiveRecord> packed = PoolArchiveRecord::forArchive(
        path, QString::fromLatin1(PoolArchiveRecord::kHashPacked), {});
    return packed && packed->write(path) ? path : QString();
}

QByteArray orderZip(qsizetype payload, quint32 seed) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return {};
    QByteArray bytes(payload, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (qsizetype i = 0; i < payload; ++i)
        bytes[i] = static_cast<char>(generator.generate() & 0xff);
    QFile report(dir.filePath(QStringLiteral("PrintReport4.txt")));
    QFile photo(dir.filePath(QStringLiteral("photo.jpg")));
    if (!report.open(QIODevice::WriteOnly) || report.write("CUSTOMER_NUMBER=1234\r\n") < 0 ||
        !photo.open(QIODevice::WriteOnly) || photo.write(bytes) != payload)
        return {};
    report.close();
    photo.close();
    const QString archive = dir.filePath(QStringLiteral("order.zip"));
    const ProcessResult zipped = runProcess(
        ToolPaths::zip(),
        {QStringLiteral("-q"), QStringLiteral("-j"), QStringLiteral("-0"), QStringLiteral("-P"),
         ZipJob::zipPassword(), archive, report.fileName(), photo.fileName()});
    if (!zipped.succeeded())
        return {};
    QFile result(archive);
    return result.open(QIODevice::ReadOnly) ? result.readAll() : QByteArray();
}

} // namespace poolkit
