#include "service/OrderHistoryTable.h"

#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>

namespace {

qint64 integer(const QJsonValue& value, qint64 fallback) {
    if (value.isDouble())
        return static_cast<qint64>(value.toDouble());
    if (value.isString()) {
        bool ok = false;
        const qint64 n = value.toString().toLongLong(&ok);
        return ok ? n : fallback;
    }
    return fallback;
}

} // namespace

// Text work instead of a date parse: reading stays fast for a history of tens of thousands.
QString OrderHistoryRow::dateTimeText() const {
    static const QRegularExpression iso(
        QStringLiteral("^(\\d{4})-(\\d\\d)-(\\d\\d)T(\\d\\d:\\d\\d:\\d\\d)"));
    const QRegularExpressionMatch m = iso.match(when);
    if (!m.hasMatch())
        return when;
    return QStringLiteral("%1/%2/%3 %4")
        .arg(m.captured(1), m.captured(2), m.captured(3), m.captured(4));
}

OrderHistoryTable::OrderHistoryTable(QObject* parent) : QAbstractTableModel(parent) {}

QString OrderHistoryTable::historyFilePath() {
    return QDir(WorkFolder::workFolderPath()).filePath(QStringLiteral("OrderHistory.jsonl"));
}

QList<OrderHistoryRow> OrderHistoryTable::readJsonLines(const QString& path) {
    QList<OrderHistoryRow> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    const QByteArray all = file.readAll();
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        const QByteArray line = all.mid(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty())
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (!doc.isObject())
            continue; // a half-written last line or damage: the others still count
        const QJsonObject o = doc.object();
        OrderHistoryRow row;
        row.archive = o.value(QStringLiteral("archive")).toString();
        if (row.archive.isEmpty())
            continue;
        row.when = o.value(QStringLiteral("dateTime")).toString();
        row.tab = o.value(QStringLiteral("tab")).toString();
        row.files = integer(o.value(QStringLiteral("fileCount")), -1);
        row.size = integer(o.value(QStringLiteral("size")), 0);
        row.outcome = o.value(QStringLiteral("outcome")).toString();
        row.errorCode = static_cast<int>(integer(o.value(QStringLiteral("errorCode")), 0));
        row.error = o.value(QStringLiteral("errorText")).toString();
        row.resentFrom = o.value(QStringLiteral("resentFrom")).toString();
        rows.append(row);
    }
    return rows;
}

QString OrderHistoryTable::outcomeLabel(const QString& outcome) {
    if (outcome == QLatin1String("sent"))
        return QStringLiteral("送信済み");
    if (outcome == QLatin1String("pooled"))
        return QStringLiteral("送信待ち");
    if (outcome == QLatin1String("saved"))
        return QStringLiteral("保存");
    if (outcome == QLatin1String("failed"))
        return QStringLiteral("失敗");
    if (outcome == QLatin1String("duplicate"))
        return QStringLiteral("重複のため送信せず");
    return outcome;
}

QStringList OrderHistoryTable::knownOutcomes() {
    return {QStringLiteral("sent"), QStringLiteral("pooled"), QStringLiteral("saved"),
            QStringLiteral("failed"), QStringLiteral("duplicate")};
}

void OrderHistoryTable::setRecords(QList<OrderHistoryRow> records) {
    beginResetModel();
    std::reverse(records.begin(), records.end());
    // Appended in time order; a stable sort keeps that order among equal times. ISO texts of
    // local time sort as the times do.
    std::stable_sort(
        records.begin(), records.end(),
        [](const OrderHistoryRow& a, const OrderHistoryRow& b) { return a.when > b.when; });
    records_ = std::move(records);
    orders_.clear();
    resentAs_.clear();
    for (auto it = records_.crbegin(); it != records_.crend(); ++it) {
        if (!it->resentFrom.isEmpty())
            resentAs_.insert(it->resentFrom, it->archive);
    }
    QHash<QString, size_t> orderOf;
    orderOf.reserve(records_.size());
    for (int i = 0; i < records_.size(); ++i) {
        auto it = orderOf.constFind(records_.at(i).archive);
        if (it == orderOf.cend()) {
            it = orderOf.insert(records_.at(i).archive, orders_.size());
            orders_.emplace_back();
        }
        orders_[*it].push_back(i);
    }
    rebuildIndex();
    endResetModel();
}

bool OrderHistoryTable::reload() {
    const QString path = historyFilePath();
    const bool readable = !QFile::exists(path) || QFile(path).open(QIODevice::ReadOnly);
    setRecords(readJsonLines(path));
    return readable;
}

void OrderHistoryTable::setOutcomeFilter(const QString& outcome) {
    if (outcome == filter_)
        return;
    beginResetModel();
    filter_ = outcome;
    rebuildIndex();
    endResetModel();
}

void OrderHistoryTable::rebuildIndex() {
    shown_.clear();
    shown_.reserve(orders_.size());
    for (size_t i = 0; i < orders_.size(); ++i) {
        if (filter_.isEmpty() || records_.at(orders_[i].front()).outcome == filter_)
            shown_.push_back(static_cast<int>(i));
    }
}

QString OrderHistoryTable::linkText(const OrderHistoryRow& row) const {
    if (!row.resentFrom.isEmpty())
        return QStringLiteral("再送信：%1").arg(row.resentFrom);
    const auto resent = resentAs_.constFind(row.archive);
    if (resent != resentAs_.cend())
        return QStringLiteral("再送信済み：%1").arg(*resent);
    return {};
}

int OrderHistoryTable::rowOfArchive(const QString& archive) const {
    for (size_t i = 0; i < shown_.size(); ++i) {
        if (records_.at(orders_.at(static_cast<size_t>(shown_[i])).front()).archive == archive)
            return static_cast<int>(i);
    }
    return -1;
}

const OrderHistoryRow& OrderHistoryTable::rowAt(int row) const {
    return records_.at(
        orders_.at(static_cast<size_t>(shown_.at(static_cast<size_t>(row)))).front());
}

QList<OrderHistoryRow> OrderHistoryTable::eventsAt(int row) const {
    const std::vector<int>& events =
        orders_.at(static_cast<size_t>(shown_.at(static_cast<size_t>(row))));
    QList<OrderHistoryRow> list;
    list.reserve(static_cast<qsizetype>(events.size()));
    for (auto it = events.rbegin(); it != events.rend(); ++it)
        list.append(records_.at(*it));
    return list;
}

int OrderHistoryTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int OrderHistoryTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant OrderHistoryTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const OrderHistoryRow& row = rowAt(index.row());
    if (role == Qt::TextAlignmentRole && (index.column() == Files || index.column() == Size))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    // The error when there is one, else the link of a re-send.
    const QString note = row.error.isEmpty() ? linkText(row) : row.error;
    if (role == Qt::ToolTipRole && index.column() == Error)
        return note;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case DateTime:
        return row.dateTimeText();
    case Tab:
        return row.tab;
    case Archive:
        return row.archive;
    case Files:
        return row.files < 0 ? QVariant(QString()) : QVariant(row.files);
    case Size:
        return Tool::autoDataByteStringWithByte(static_cast<double>(row.size));
    case Outcome:
        return outcomeLabel(row.outcome);
    case Error:
        return note;
    default:
        return {};
    }
}

QVariant OrderHistoryTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case DateTime:
        return QStringLiteral("日時");
    case Tab:
        return QStringLiteral("タブ");
    case Archive:
        return QStringLiteral("注文ファイル");
    case Files:
        return QStringLiteral("ファイル数");
    case Size:
        return QStringLiteral("サイズ");
    case Outcome:
        return QStringLiteral("結果");
    case Error:
        return QStringLiteral("エラー・備考");
    default:
        return {};
    }
}
