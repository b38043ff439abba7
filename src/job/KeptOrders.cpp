#include "job/KeptOrders.h"

#include "job/PoolArchiveRecord.h"
#include "job/ZipJob.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/MiravellPath.h"
#include "util/ProcessRunner.h"
#include "util/ShiftJisCodec.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QString kReportEntry = QStringLiteral("PrintReport4.txt");

std::atomic<bool> gToldCannotKeep{false};

QString sizeText(qint64 bytes) {
    return Tool::autoDataByteStringWithByte(static_cast<double>(bytes));
}

// The kept folder, made private to the user like the pool; why not, when it cannot be.
std::optional<QString> ensureFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (info.isDir())
        return std::nullopt; // also a link to a folder elsewhere: the rename then tells
    if (info.exists() || info.isSymLink())
        return QStringLiteral("保管フォルダの名前が別のファイルで使われている");
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QFileInfo(folder).isDir() ? std::nullopt
                                     : std::optional<QString>(QStringLiteral("作成できない"));
}

// Deletes the archive as the send stage always did, its record only with it.
bool deleteDelivered(const QString& zipPath) {
    if (!orbel::limitDeleteFileOrFolder(zipPath) && QFileInfo::exists(zipPath))
        return false;
    PoolArchiveRecord::remove(zipPath);
    return true;
}

void tellCannotKeepOnce(const QString& why) {
    if (gToldCannotKeep.exchange(true))
        return;
    Tool::alertWithMsg(
        QStringLiteral("送信済みの注文を保管できません"),
        QStringLiteral("送信済みの注文を保管フォルダ（%1）に移せなかったため、これまでどおり削除"
                       "しました（%2）。\n送信はラボに届いています。もう一度送信できるように"
                       "保管するには、作業フォルダのディスクの空きと書き込みの権限を確認して"
                       "ください。")
            .arg(KeptOrders::folderPath(), why));
}

bool removeKept(const KeptOrder& order) {
    if (!orbel::limitDeleteFileOrFolder(order.path) && QFileInfo::exists(order.path))
        return false;
    PoolArchiveRecord::remove(order.path);
    return true;
}

} // namespace

std::optional<OrderArchiveName> OrderArchiveName::parse(const QString& fileName) {
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("([0-9]+)_([0-9A-F]{12})_([0-9]{7,})\\.zip")));
    const QRegularExpressionMatch m = pattern.match(fileName);
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 bag = m.captured(3).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return OrderArchiveName{m.captured(1), m.captured(2), bag};
}

QString OrderArchiveName::withBagNo(qint64 bag) const {
    return QStringLiteral("%1_%2_%3.zip")
        .arg(customerCode, macAddress)
        .arg(bag, 7, 10, QLatin1Char('0'));
}

QString KeptOrders::folderPath() {
    return WorkFolder::workFolderPath() + QStringLiteral("/OrderZipKept");
}

std::optional<QString> KeptOrders::keptArchivePath(const QString& archiveName) {
    if (!OrderArchiveName::parse(archiveName))
        return std::nullopt;
    const QString path = folderPath() + u'/' + archiveName;
    return QFileInfo(path).isFile() ? std::optional<QString>(path) : std::nullopt;
}

qint64 KeptOrders::keepDays() {
    if (!UserDef::objectForKey(SettingsKey::KeptOrderDays).isValid())
        return kDefaultDays;
    return std::max<qint64>(0, UserDef::integerForKey(SettingsKey::KeptOrderDays));
}

qint64 KeptOrders::capSettingGB() {
    return std::max<qint64>(0, UserDef::integerForKey(SettingsKey::KeptOrderCapGB));
}

qint64 KeptOrders::automaticCapBytes(qint64 freeBytes, qint64 keptBytes) {
    // A tenth of the room there would be without the kept archives: keeping more does not
    // shrink its own allowance from one send to the next.
    return std::min(kDefaultCapBytes, std::max<qint64>(0, freeBytes + keptBytes) / 10);
}

KeptOrderPolicy KeptOrders::policyFromSettings() {
    KeptOrderPolicy policy;
    policy.days = keepDays();
    if (const qint64 gb = capSettingGB(); gb > 0) {
        policy.capBytes = gb * kBytesPerGB;
        return policy;
    }
    qint64 kept = 0;
    for (const KeptOrder& order : list())
        kept += order.size;
    const QString folder =
        QFileInfo(folderPath()).isDir() ? folderPath() : WorkFolder::workFolderPath();
    const QStorageInfo storage(folder);
    const qint64 free = storage.isValid() ? storage.bytesAvailable() : 0;
    policy.capBytes = automaticCapBytes(free, kept);
    return policy;
}

bool KeptOrders::keepDelivered(const QString& zipPath) {
    return keepDelivered(zipPath, QDateTime::currentDateTime());
}

bool KeptOrders::keepDelivered(const QString& zipPath, const QDateTime& now) {
    if (keepDays() <= 0)
        return deleteDelivered(zipPath);
    const QString name = QFileInfo(zipPath).fileName();
    const QString folder = folderPath();
    const QString target = folder + u'/' + name;
    std::optional<QString> why;
    if (!orbel::isInMiravellWorkFolder(zipPath))
        why = QStringLiteral("作業フォルダの外にある");
    if (!why)
        why = ensureFolder(folder);
    // A rename within the work area's file system: no byte is copied, no room is needed. Across
    // file systems (a kept folder linked elsewhere) nothing is copied: the send must not wait.
    if (!why && ::rename(QFile::encodeName(zipPath).constData(),
                         QFile::encodeName(target).constData()) != 0)
        why = QString::fromLocal8Bit(std::strerror(errno));
    if (why) {
        Log::outputLn(
            QStringLiteral("送信済みの注文を保管できないため削除 -- %1（%2）").arg(name, *why));
        const bool gone = deleteDelivered(zipPath);
        tellCannotKeepOnce(*why);
        return gone;
    }
    // The record follows; one that cannot is dropped (the kept archive is then checked entry by
    // entry before it is sent again).
    const QString record = PoolArchiveRecord::recordPathFor(zipPath);
    if (QFileInfo::exists(record) &&
        ::rename(QFile::encodeName(record).constData(),
                 QFile::encodeName(PoolArchiveRecord::recordPathFor(target)).constData()) != 0) {
        Log::outputLn(QStringLiteral("送信の記録を保管できないため削除 -- %1（%2）")
                          .arg(record, QString::fromLocal8Bit(std::strerror(errno))));
        QFile::remove(record);
    }
    // The archive's time says when it was kept: the days count from the send.
    QFile kept(target);
    if (kept.open(QIODevice::ReadWrite))
        kept.setFileTime(now, QFileDevice::FileModificationTime);
    Log::outputLn(QStringLiteral("送信済みの注文を保管 -- %1").arg(name));
    prune(policyFromSettings(), now);
    return true;
}

QList<KeptOrder> KeptOrders::list() {
    QList<KeptOrder> orders;
    const QDir dir(folderPath());
    const QFileInfoList infos =
        dir.entryInfoList({QStringLiteral("*.zip")}, QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo& info : infos)
        orders.append({info.filePath(), info.fileName(), info.size(), info.lastModified()});
    std::stable_sort(orders.begin(), orders.end(), [](const KeptOrder& a, const KeptOrder& b) {
        return a.keptAt != b.keptAt ? a.keptAt < b.keptAt : a.name < b.name;
    });
    return orders;
}

QStringList KeptOrders::prune(const KeptOrderPolicy& policy, const QDateTime& now) {
    QStringList removed;
    QList<KeptOrder> remaining;
    qint64 total = 0;
    for (const KeptOrder& order : list()) {
        const bool expired = !policy.isKeeping() || order.keptAt.addDays(policy.days) <= now;
        if (expired && removeKept(order)) {
            Log::outputLn(
                QStringLiteral("保管期間（%1日）を過ぎた送信済みの注文を削除 -- %2（%3に送信）")
                    .arg(policy.days)
                    .arg(order.name, order.keptAt.toString(QStringLiteral("yyyy/MM/dd HH:mm"))));
            removed.append(order.name);
            continue;
        }
        remaining.append(order);
        total += order.size;
    }
    for (const KeptOrder& order : std::as_const(remaining)) {
        if (total <= policy.capBytes)
            break;
        if (!removeKept(order))
            continue;
        Log::outputLn(QStringLiteral("保管容量（%1）を超えたため送信済みの注文を削除 -- %2（%3）")
                          .arg(sizeText(policy.capBytes), order.name, sizeText(order.size)));
        removed.append(order.name);
        total -= order.size;
    }
    if (QFileInfo(folderPath()).isDir())
        PoolArchiveRecord::removeOrphans(folderPath());
    return removed;
}

QStringList KeptOrders::prune() {
    return prune(policyFromSettings(), QDateTime::currentDateTime());
}

KeptOrders::Check KeptOrders::check(const QString& keptPath,
                                    const std::function<bool()>& shouldStop) {
    const QFileInfo info(keptPath);
    if (!info.isFile())
        return Check::Unreadable;
    if (const std::optional<PoolArchiveRecord> record = PoolArchiveRecord::read(keptPath)) {
        if (info.size() != record->size)
            return Check::Damaged;
        const std::optional<QString> hash = PoolArchiveRecord::sha256OfFile(keptPath, shouldStop);
        if (!hash)
            return shouldStop && shouldStop() ? Check::Stopped : Check::Unreadable;
        return *hash == record->sha256 ? Check::Sound : Check::Damaged;
    }
    // No record to compare with: every entry read and its CRC compared, nothing written.
    ProcessOptions options;
    options.shouldCancel = shouldStop;
    const ProcessResult test = runProcess(
        ToolPaths::unzip(),
        {QStringLiteral("-tqq"), QStringLiteral("-P"), ZipJob::zipPassword(), keptPath}, options);
    if (test.cancelled)
        return Check::Stopped;
    if (!test.started)
        return Check::Unreadable;
    return test.succeeded() ? Check::Sound : Check::Damaged;
}

KeptOrderContents KeptOrders::contents(const QString& archivePath) {
    KeptOrderContents contents;
    const ProcessResult list = runProcess(ToolPaths::unzip(), {QStringLiteral("-Z1"), archivePath});
    if (!list.succeeded()) {
        contents.error = QStringLiteral("注文ファイルの一覧を読み取れません（%1）")
                             .arg(QString::fromUtf8(list.stderrData).trimmed());
        return contents;
    }
    contents.files = QString::fromUtf8(list.stdoutData).split(u'\n', Qt::SkipEmptyParts);
    // To standard output only: the report never touches the disk.
    const ProcessResult report =
        runProcess(ToolPaths::unzip(), {QStringLiteral("-p"), QStringLiteral("-P"),
                                        ZipJob::zipPassword(), archivePath, kReportEntry});
    if (!report.succeeded() || !contents.files.contains(kReportEntry)) {
        contents.error = QStringLiteral("注文書（%1）を読み取れません").arg(kReportEntry);
        return contents;
    }
    contents.report = shiftjis::decode(report.stdoutData);
    return contents;
}

void KeptOrders::resetToldForTest() {
    gToldCannotKeep.store(false);
}
