#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

// One line of the order history: what became of one order archive.
struct OrderHistoryRow {
    QString when;                 // local time of the outcome in ISO form ("2026-01-02T10:00:00")
    QString tab;                  // the tab's label
    QString archive;              // archive file name
    qint64 files = -1;            // order files in it; -1 when not known
    qint64 size = 0;              // bytes
    QString outcome;              // "pooled", "saved", "sent", "failed", "duplicate" (as recorded)
    int errorCode = 0;            // the send error's code; 0 for none
    QString error;                // the error as the user was told it, "" otherwise
    QString resentFrom;           // a re-send: the archive it sends again; "" otherwise
    QString dateTimeText() const; // "%Y/%m/%d %H:%M:%S" (the recorded text when not ISO)
};

// The order history as a table of orders, newest first, optionally narrowed to one outcome. One
// row per order archive with its latest outcome (an order pooled and then sent is one row
// 送信済み); the outcomes before it are its events. Built for tens of thousands of records: the
// rows are read once, and filtering only rebuilds an index list.
class OrderHistoryTable : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { DateTime, Tab, Archive, Files, Size, Outcome, Error, ColumnCount };

    explicit OrderHistoryTable(QObject* parent = nullptr);

    // The order history of the work area ("OrderHistory.jsonl"): one JSON object per archive
    // outcome, as the order job appends them (dateTime in ISO form, archive, tab, customerCode,
    // fileCount, size, outcome, errorCode, errorText).
    static QString historyFilePath();
    // Every readable record of such a file, oldest first; damaged lines and lines without an
    // archive name are skipped.
    static QList<OrderHistoryRow> readJsonLines(const QString& path);
    // The Japanese label of an outcome; the recorded text itself for an unknown one.
    static QString outcomeLabel(const QString& outcome);
    // The outcomes offered by the filter, in menu order.
    static QStringList knownOutcomes();

    // Replaces the rows (oldest first, as recorded) and shows them newest first.
    void setRecords(QList<OrderHistoryRow> records);
    bool reload(); // from historyFilePath(); false when the file cannot be read
    // "" shows every row.
    void setOutcomeFilter(const QString& outcome);
    QString outcomeFilter() const { return filter_; }

    // The link between a re-send and its first order: "再送信：" and the first order's archive on
    // the re-send, "再送信済み：" and the re-send's archive on the first; "" for neither.
    QString linkText(const OrderHistoryRow& row) const;
    // The shown row of that archive, -1 when it is not shown.
    int rowOfArchive(const QString& archive) const;
    const OrderHistoryRow& rowAt(int row) const;    // a shown row: the order's latest outcome
    QList<OrderHistoryRow> eventsAt(int row) const; // every outcome of a shown order, oldest first
    int recordCount() const { return static_cast<int>(records_.size()); }
    int orderCount() const { return static_cast<int>(orders_.size()); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void rebuildIndex();

    QList<OrderHistoryRow> records_;       // newest first
    std::vector<std::vector<int>> orders_; // per order its records' indexes, newest first
    std::vector<int> shown_;               // indexes into orders_
    QHash<QString, QString> resentAs_;     // an order's archive to its latest re-send's
    QString filter_;
};
