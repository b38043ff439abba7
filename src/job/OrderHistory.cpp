#include "job/OrderHistory.h"

#include "job/JobInfo.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/PathUtil.h"
#include "util/UniqueFd.h"
#include "util/WorkFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace {

const QString kFileName = QStringLiteral("OrderHistory.jsonl");

constexpr std::array<std::pair<OrderHistoryRecord::Outcome, const char*>, 5> kOutcomes{{
    {OrderHistoryRecord::Outcome::Pooled, "pooled"},
    {OrderHistoryRecord::Outcome::Saved, "saved"},
    {OrderHistoryRecord::Outcome::Sent, "sent"},
    {OrderHistoryRecord::Outcome::Failed, "failed"},
    {OrderHistoryRecord::Outcome::DuplicateSkipped, "duplicate"},
}};

std::mutex& appendMutex() {
    static std::mutex mutex;
    return mutex;
}

using Fd = orbel::UniqueFd;

// The last byte of the file is a line feed (or the file is empty): a record torn by a crash must
// not swallow the next one.
bool endsWithLineFeed(int fd) {
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size <= 0) {
        return true;
    }
    char last = 0;
    return ::pread(fd, &last, 1, size - 1) == 1 && last == '\n';
}

} // namespace

QJsonObject OrderHistoryRecord::toJson() const {
    QJsonObject object;
    object.insert(QStringLiteral("dateTime"), dateTime.toString(Qt::ISODate));
    object.insert(QStringLiteral("archive"), archiveName);
    object.insert(QStringLiteral("tab"), tab);
    object.insert(QStringLiteral("customerCode"), customerCode);
    object.insert(QStringLiteral("fileCount"), fileCount);
    object.insert(QStringLiteral("size"), size);
    object.insert(QStringLiteral("outcome"), OrderHistory::outcomeText(outcome));
    object.insert(QStringLiteral("errorCode"), errorCode);
    object.insert(QStringLiteral("errorText"), errorText);
    if (!resentFrom.isEmpty()) {
        object.insert(QStringLiteral("resentFrom"), resentFrom);
    }
    return object;
}

std::optional<OrderHistoryRecord> OrderHistoryRecord::fromJson(const QJsonObject& object) {
    const auto outcome =
        OrderHistory::outcomeFromText(object.value(QStringLiteral("outcome")).toString());
    const QString archive = object.value(QStringLiteral("archive")).toString();
    if (!outcome || archive.isEmpty()) {
        return std::nullopt;
    }
    OrderHistoryRecord record;
    record.dateTime =
        QDateTime::fromString(object.value(QStringLiteral("dateTime")).toString(), Qt::ISODate);
    record.archiveName = archive;
    record.tab = object.value(QStringLiteral("tab")).toString();
    record.customerCode = object.value(QStringLiteral("customerCode")).toString();
    record.fileCount = object.value(QStringLiteral("fileCount")).toInteger(-1);
    record.size = object.value(QStringLiteral("size")).toInteger(0);
    record.outcome = *outcome;
    record.errorCode = object.value(QStringLiteral("errorCode")).toInt(0);
    record.errorText = object.value(QStringLiteral("errorText")).toString();
    record.resentFrom = object.value(QStringLiteral("resentFrom")).toString();
    return record;
}

QString OrderHistory::historyFilePath() {
    return WorkFolder::workFolderPath() + u'/' + kFileName;
}

bool OrderHistory::append(const OrderHistoryRecord& record) {
    QByteArray line = QJsonDocument(record.toJson()).toJson(QJsonDocument::Compact);
    line.append('\n');
    if (!orbel::isFolderPath(WorkFolder::workFolderPath())) {
        return false;
    }
    std::lock_guard lock(appendMutex());
    const QByteArray path = QFile::encodeName(historyFilePath());
    Fd fd(::open(path.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        return false;
    }
    if (!endsWithLineFeed(fd.get())) {
        line.prepend('\n');
    }
    // One write of the whole line: appends of whole records never interleave.
    ssize_t written = -1;
    do {
        written = ::write(fd.get(), line.constData(), static_cast<size_t>(line.size()));
    } while (written < 0 && errno == EINTR);
    if (written != line.size()) {
        return false;
    }
    return ::fsync(fd.get()) == 0;
}

QList<OrderHistoryRecord> OrderHistory::records() {
    QList<OrderHistoryRecord> result;
    QFile file(historyFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return result;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.trimmed().isEmpty()) {
            continue;
        }
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            continue;
        }
        if (const auto record = OrderHistoryRecord::fromJson(document.object())) {
            result.append(*record);
        }
    }
    return result;
}

std::optional<OrderHistoryRecord> OrderHistory::lastRecordForArchive(const QString& archiveName) {
    const QList<OrderHistoryRecord> all = records();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (it->archiveName == archiveName) {
            return *it;
        }
    }
    return std::nullopt;
}

QString OrderHistory::outcomeText(OrderHistoryRecord::Outcome outcome) {
    for (const auto& [value, text] : kOutcomes) {
        if (value == outcome) {
            return QString::fromLatin1(text);
        }
    }
    return {};
}

std::optional<OrderHistoryRecord::Outcome> OrderHistory::outcomeFromText(const QString& text) {
    for (const auto& [value, name] : kOutcomes) {
        if (text == QLatin1String(name)) {
            return value;
        }
    }
    return std::nullopt;
}

QString OrderHistory::tabLabelOf(const JobInfo& info) {
    // The tab captured at Send, never the one selected now.
    return info.tabLabel();
}

OrderHistoryRecord OrderHistory::recordFor(const JobInfo& info, const QString& archivePath,
                                           OrderHistoryRecord::Outcome outcome, qint64 fileCount) {
    OrderHistoryRecord record;
    record.dateTime = QDateTime::currentDateTime();
    record.archiveName = QFileInfo(archivePath).fileName();
    record.tab = tabLabelOf(info);
    record.customerCode = info.customerCode();
    record.fileCount = fileCount;
    record.size = static_cast<qint64>(orbel::fileSize(archivePath));
    record.outcome = outcome;
    return record;
}

OrderHistoryRecord OrderHistory::recordForArchive(const QString& archivePath,
                                                  OrderHistoryRecord::Outcome outcome,
                                                  int errorCode, const QString& errorText) {
    OrderHistoryRecord record;
    record.dateTime = QDateTime::currentDateTime();
    record.archiveName = QFileInfo(archivePath).fileName();
    record.customerCode = record.archiveName.section(u'_', 0, 0);
    record.size = static_cast<qint64>(orbel::fileSize(archivePath));
    if (const auto earlier = lastRecordForArchive(record.archiveName)) {
        record.tab = earlier->tab;
        record.fileCount = earlier->fileCount;
        record.resentFrom = earlier->resentFrom;
        if (record.size == 0) {
            record.size = earlier->size;
        }
    }
    record.outcome = outcome;
    record.errorCode = errorCode;
    record.errorText = errorText;
    return record;
}
