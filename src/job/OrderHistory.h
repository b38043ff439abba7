#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

class JobInfo;

// One outcome of one archive: made and put into the order pool, saved where the user chose, sent
// to the lab, failed (with the error's code and text), or skipped because the lab already had it.
struct OrderHistoryRecord {
    enum class Outcome { Pooled, Saved, Sent, Failed, DuplicateSkipped };

    QDateTime dateTime;    // local time of the outcome
    QString archiveName;   // file name, e.g. 1234_001122AABBCC_0000042.zip
    QString tab;           // label of the order's tab; "" when not known (an old pooled archive)
    QString customerCode;  // as in the archive name
    qint64 fileCount = -1; // order files in the archive; -1 when not known
    qint64 size = 0;       // archive size in bytes
    Outcome outcome = Outcome::Pooled;
    int errorCode = 0;  // the send error code (curl's or 901-903); 0 for none or a cancel
    QString errorText;  // the error as the user was told it; "" on success
    QString resentFrom; // a re-send: the archive name of the order sent again; "" otherwise

    QJsonObject toJson() const;
    // None for an object that lacks the archive name or a known outcome.
    static std::optional<OrderHistoryRecord> fromJson(const QJsonObject& object);
    bool operator==(const OrderHistoryRecord&) const = default;
};

// The order history: a JSON Lines file in the work area, one record per archive outcome. Each
// record is appended in one write to a file opened for appending, so records of concurrent
// writers never interleave and a crash can cost at most the record being written; a damaged line
// is skipped by the reader and never hides the records after it.
class OrderHistory {
public:
    OrderHistory() = delete;

    static QString historyFilePath(); // work area + "/OrderHistory.jsonl"
    // Appends one record; false when the work area cannot take it (the order goes on regardless).
    static bool append(const OrderHistoryRecord& record);
    // Every readable record, oldest first.
    static QList<OrderHistoryRecord> records();
    // The latest record of that archive name, none when there is none.
    static std::optional<OrderHistoryRecord> lastRecordForArchive(const QString& archiveName);

    static QString outcomeText(OrderHistoryRecord::Outcome outcome); // "pooled", "sent", ...
    static std::optional<OrderHistoryRecord::Outcome> outcomeFromText(const QString& text);

    // The label of the tab an order came from, as the record keeps it.
    static QString tabLabelOf(const JobInfo& info);
    // A record of the order's archive as the order record knows it, dated now.
    static OrderHistoryRecord recordFor(const JobInfo& info, const QString& archivePath,
                                        OrderHistoryRecord::Outcome outcome, qint64 fileCount);
    // A record of an archive being sent: tab, file count and the order it re-sends from the
    // archive's earlier record (when the history has one), customer code from its name, dated
    // now.
    static OrderHistoryRecord recordForArchive(const QString& archivePath,
                                               OrderHistoryRecord::Outcome outcome,
                                               int errorCode = 0,
                                               const QString& errorText = QString());
};
