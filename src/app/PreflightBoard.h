#pragma once

#include "app/PreflightJudge.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

class PreflightService;

// One row of a tab as the check sees it: the file and the name of the print size it is ordered
// in (empty when the tab has no size for it).
struct PreflightRow {
    QString path;
    QString sizeName;
    bool operator==(const PreflightRow&) const = default;
};

// The verdicts of one tab's files, kept beside its rows: the board holds each file in the
// checking service while a row shows it, judges every row from the stored header facts and its
// own print size, and counts the rows that need attention. A new size for a row is judged at
// once, without reading the file again.
class PreflightBoard : public QObject {
    Q_OBJECT

public:
    explicit PreflightBoard(PreflightService& checker, QObject* parent = nullptr);
    ~PreflightBoard() override;

    // The tab's rows now, in row order. Files new to the tab are checked, files gone from it
    // are let go. The same rows again cost one comparison.
    void setRows(const QList<PreflightRow>& rows);
    // Only the print size of one row changed.
    void setSizeName(int row, const QString& sizeName);
    int rowCount() const { return static_cast<int>(rows.size()); }

    PreflightVerdict verdictAt(int row) const;
    // Rows whose files have been read and judged.
    int judgedCount() const;
    // Rows with a red or amber verdict.
    int attentionCount() const;
    // "注意が必要な画像：%d枚", or an empty text.
    QString summaryText() const;
    // The file names of the rows with a red verdict, in row order, each once.
    QStringList warningFileNames() const;

    // Before sending: when some file has a red verdict, asks "キャンセル" / "このまま送信"
    // (Escape cancels) with the count and the first few names; true when the order may go.
    // Files not yet read by the workers are read first, so every file of the order counts.
    bool confirmSend();
    // Files whose size or time changed since they were read are read again.
    void recheck();

Q_SIGNALS:
    // Some rows' verdicts changed (facts arrived, or a size changed).
    void verdictsChanged();

private:
    void factsReady(const QStringList& paths);
    void judgeRow(int row);

    PreflightService& service;
    QList<PreflightRow> rows;
    std::vector<PreflightVerdict> verdicts;
    QHash<QString, QList<int>> rowsOfPath; // the rows showing each file
};
