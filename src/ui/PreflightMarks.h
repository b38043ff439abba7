#pragma once

#include "app/PreflightJudge.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class PreflightBoard;
class QPlainTextEdit;
class QWidget;

// How a verdict looks: a red octagon with a cross for what the lab would likely reject, an
// amber triangle with "!" for what is worth a look, a green circle with a tick for a sound
// photo, a grey ring while the file is still being read.
class PreflightMarks {
public:
    PreflightMarks() = delete;
    static QIcon icon(PreflightLevel level);
    static QColor colour(PreflightLevel level);
};

// The file names of a tab's file info view (album, resize, etc: one name per line, in the
// order of their full paths). A name the check has something to say about gets its mark right
// after it and its level and reason in words behind the mark, so a screen reader reads them with
// the name. Space on a line or a double click opens the preview. The board's rows must be the
// view's lines, in order.
class PreflightTextMarks : public QObject {
    Q_OBJECT
public:
    PreflightTextMarks(QPlainTextEdit& view, PreflightBoard& board);
    // The names to show, one a line; the view gets them with the verdicts' words added.
    void setNames(const QString& names);
    const QString& names() const { return names_; }
    // The mark of one line; Pending when the line has no row.
    PreflightLevel levelAtLine(int line) const;
    // Opens the preview at a line (a row of the board).
    void openPreview(int line);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintMarks(QWidget* overlay);
    void scheduleWords();
    void writeWords();
    int nameLength(int line) const;

    QPlainTextEdit& view;
    PreflightBoard& board;
    QPointer<QWidget> overlay;
    QString names_;
    QList<qsizetype> nameLengths_;
    bool wordsPending_ = false;
};
