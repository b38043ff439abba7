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

// How a verdict looks: a small round mark, red with "!" for what the lab would likely reject,
// amber with "!" for what is worth a look, green with a tick for a sound photo, grey while the
// file is still being read.
class PreflightMarks {
public:
    PreflightMarks() = delete;
    static QIcon icon(PreflightLevel level);
    static QColor colour(PreflightLevel level);
};

// Marks the file names of a tab's file info view (album, resize, etc: one name per line, in the
// order of their full paths) with the same marks, at the right end of each line, and gives the
// reason as the line's tooltip. The board's rows must be the view's lines, in order.
class PreflightTextMarks : public QObject {
    Q_OBJECT
public:
    PreflightTextMarks(QPlainTextEdit& view, PreflightBoard& board);
    // The mark of one line; Pending when the line has no row.
    PreflightLevel levelAtLine(int line) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintMarks(QWidget* overlay);

    QPlainTextEdit& view;
    PreflightBoard& board;
    QPointer<QWidget> overlay;
};
