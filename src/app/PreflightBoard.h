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
    // A file with a red verdict on some row: its name and the reasons of its red rows.
    struct FileReasons {
        QString name;
        QStringList reasons;
    };
    // The files with a red verdict on some row, in row order, each once.
    QList<FileReasons> warningFiles() const;
    QStringList warningFileNames() const;
    // The files with an amber verdict and no red one, each once.
    int cautionFileCount() const;
    // "印刷に向かない画像：N枚／確認をおすすめ：M枚" (files, as the question before sending
    // counts them), or an empty text.
    QString summaryText() const;
    // The path and print size of a row.
    PreflightRow rowAt(int row) const { return rows.value(row); }

    // Before sending: when some file has a red verdict, asks "キャンセル" / "このまま送信"
    // (Escape cancels) with the count and each file's reasons (the first ten, then how many
    // more); true when the order may go. Files not yet read by the workers are read first, and
    // files replaced or changed since they were read are read again, so the verdicts are those
    // of the files that will be sent.
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
