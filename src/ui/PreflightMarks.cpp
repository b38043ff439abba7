#include "ui/PreflightMarks.h"

#include "app/PreflightBoard.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolTip>

namespace {

QPixmap drawMark(PreflightLevel level, int size, qreal ratio) {
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(1, 1, size - 2, size - 2);
    const QColor colour = PreflightMarks::colour(level);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(box);
    QPen pen(Qt::white, size / 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    const qreal c = size / 2.0;
    switch (level) {
    case PreflightLevel::Warning:
    case PreflightLevel::Caution:
        p.drawLine(QPointF(c, size * 0.25), QPointF(c, size * 0.58));
        p.drawPoint(QPointF(c, size * 0.76));
        break;
    case PreflightLevel::Fine: {
        QPainterPath tick;
        tick.moveTo(size * 0.28, size * 0.52);
        tick.lineTo(size * 0.44, size * 0.68);
        tick.lineTo(size * 0.72, size * 0.34);
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
        break;
    }
    case PreflightLevel::Pending:
        p.drawPoint(QPointF(c - size * 0.22, c));
        p.drawPoint(QPointF(c, c));
        p.drawPoint(QPointF(c + size * 0.22, c));
        break;
    }
    return pixmap;
}

} // namespace

QColor PreflightMarks::colour(PreflightLevel level) {
    switch (level) {
    case PreflightLevel::Warning:
        return QColor(0xd0, 0x30, 0x2a);
    case PreflightLevel::Caution:
        return QColor(0xe0, 0x8e, 0x0b);
    case PreflightLevel::Fine:
        return QColor(0x3c, 0x9a, 0x4a);
    case PreflightLevel::Pending:
        break;
    }
    return QColor(0xa8, 0xa8, 0xa8);
}

QIcon PreflightMarks::icon(PreflightLevel level) {
    static QIcon icons[4];
    QIcon& cached = icons[static_cast<int>(level)];
    if (cached.isNull()) {
        for (int size : {16, 24, 32}) {
            cached.addPixmap(drawMark(level, size, 1.0));
            cached.addPixmap(drawMark(level, size, 2.0));
        }
    }
    return cached;
}

PreflightTextMarks::PreflightTextMarks(QPlainTextEdit& textView, PreflightBoard& verdicts)
    : QObject(&textView), view(textView), board(verdicts) {
    // A see-through layer over the text carries the marks; clicks and drops go through it.
    overlay = new QWidget(view.viewport());
    overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    overlay->setAttribute(Qt::WA_NoSystemBackground);
    overlay->installEventFilter(this);
    overlay->setGeometry(view.viewport()->rect());
    overlay->show();
    view.viewport()->installEventFilter(this);
    auto repaint = [this] {
        if (overlay) {
            overlay->update();
        }
    };
    connect(&board, &PreflightBoard::verdictsChanged, this, repaint);
    connect(view.verticalScrollBar(), &QScrollBar::valueChanged, this, repaint);
    connect(&view, &QPlainTextEdit::textChanged, this, repaint);
}

PreflightLevel PreflightTextMarks::levelAtLine(int line) const {
    return line >= 0 && line < board.rowCount() ? board.verdictAt(line).level
                                                : PreflightLevel::Pending;
}

bool PreflightTextMarks::eventFilter(QObject* watched, QEvent* event) {
    if (watched == overlay && event->type() == QEvent::Paint) {
        paintMarks(overlay);
        return true;
    }
    if (watched == view.viewport()) {
        if (event->type() == QEvent::Resize && overlay) {
            overlay->setGeometry(view.viewport()->rect());
        } else if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const int line = view.cursorForPosition(help->pos()).blockNumber();
            if (line < board.rowCount() && levelAtLine(line) != PreflightLevel::Fine) {
                QToolTip::showText(help->globalPos(), board.verdictAt(line).toolTip(),
                                   view.viewport());
            } else {
                QToolTip::hideText();
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void PreflightTextMarks::paintMarks(QWidget* layer) {
    QPainter painter(layer);
    const int size = view.fontMetrics().height() - 2;
    for (QTextBlock block = view.cursorForPosition(QPoint(0, 0)).block(); block.isValid();
         block = block.next()) {
        const QRect line = view.cursorRect(QTextCursor(block));
        if (line.top() > layer->height()) {
            break;
        }
        const PreflightLevel level = levelAtLine(block.blockNumber());
        // Sound files stay unmarked here: the names list is for spotting the few that are not.
        if (block.blockNumber() >= board.rowCount() || level == PreflightLevel::Fine) {
            continue;
        }
        // Right after the name, where the eye reads it.
        QTextCursor end(block);
        end.movePosition(QTextCursor::EndOfBlock);
        const int x = view.cursorRect(end).right() + size / 2;
        const int y = line.top() + (line.height() - size) / 2;
        painter.drawPixmap(x, y, PreflightMarks::icon(level).pixmap(size, size));
    }
}
