#include "ui/PreflightMarks.h"

#include "app/PreflightBoard.h"
#include "ui/PhotoPreviewWindow.h"

#include <QEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QToolTip>
#include <algorithm>

namespace {

// Each level has its own shape, so the marks differ without their colours: a red octagon with
// a cross, an amber triangle with "!", a green circle with a tick, a grey ring while reading.
// A white rim keeps every shape whole on any row colour, the selection's included.
QPixmap drawMark(PreflightLevel level, int size, qreal ratio) {
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal rim = std::max(1.0, size / 12.0);
    const QRectF box(rim, rim, size - 2 * rim, size - 2 * rim);
    const QColor colour = PreflightMarks::colour(level);
    const QPen rimPen(Qt::white, rim * 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const qreal stroke = size / 8.0;
    const qreal c = size / 2.0;
    switch (level) {
    case PreflightLevel::Warning: {
        QPolygonF octagon;
        const qreal cut = box.width() * 0.2929 / 1.0; // 1 - 1/sqrt(2)
        octagon << QPointF(box.left() + cut, box.top()) << QPointF(box.right() - cut, box.top())
                << QPointF(box.right(), box.top() + cut) << QPointF(box.right(), box.bottom() - cut)
                << QPointF(box.right() - cut, box.bottom())
                << QPointF(box.left() + cut, box.bottom())
                << QPointF(box.left(), box.bottom() - cut) << QPointF(box.left(), box.top() + cut);
        p.setPen(rimPen);
        p.setBrush(colour);
        p.drawPolygon(octagon);
        p.setPen(QPen(Qt::white, stroke, Qt::SolidLine, Qt::RoundCap));
        const qreal d = size * 0.18;
        p.drawLine(QPointF(c - d, c - d), QPointF(c + d, c + d));
        p.drawLine(QPointF(c + d, c - d), QPointF(c - d, c + d));
        break;
    }
    case PreflightLevel::Caution: {
        QPolygonF triangle;
        triangle << QPointF(c, box.top()) << QPointF(box.right(), box.bottom())
                 << QPointF(box.left(), box.bottom());
        p.setPen(rimPen);
        p.setBrush(colour);
        p.drawPolygon(triangle);
        // Dark on amber reads better than white.
        p.setPen(QPen(QColor(0x33, 0x22, 0x00), stroke * 0.9, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(c, size * 0.40), QPointF(c, size * 0.64));
        p.drawPoint(QPointF(c, size * 0.80));
        break;
    }
    case PreflightLevel::Fine: {
        p.setPen(rimPen);
        p.setBrush(colour);
        p.drawEllipse(box);
        QPainterPath tick;
        tick.moveTo(size * 0.28, size * 0.52);
        tick.lineTo(size * 0.44, size * 0.68);
        tick.lineTo(size * 0.72, size * 0.34);
        p.setPen(QPen(Qt::white, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
        break;
    }
    case PreflightLevel::Pending:
        p.setPen(QPen(colour, stroke * 0.8));
        p.setBrush(Qt::white);
        p.drawEllipse(box.adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2));
        p.setPen(QPen(colour, stroke, Qt::SolidLine, Qt::RoundCap));
        p.drawPoint(QPointF(c - size * 0.2, c));
        p.drawPoint(QPointF(c, c));
        p.drawPoint(QPointF(c + size * 0.2, c));
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
        // The same picture in every mode: a selected row must not tint the mark (amber would
        // turn brown under the selection's blue).
        for (int size : {16, 24, 32}) {
            for (qreal ratio : {1.0, 2.0}) {
                const QPixmap mark = drawMark(level, size, ratio);
                for (QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Selected}) {
                    cached.addPixmap(mark, mode);
                }
            }
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
    view.installEventFilter(this);
    auto repaint = [this] {
        if (overlay) {
            overlay->update();
        }
    };
    connect(&board, &PreflightBoard::verdictsChanged, this, &PreflightTextMarks::scheduleWords);
    connect(view.verticalScrollBar(), &QScrollBar::valueChanged, this, repaint);
    connect(view.horizontalScrollBar(), &QScrollBar::valueChanged, this, repaint);
    connect(&view, &QPlainTextEdit::textChanged, this, repaint);
}

void PreflightTextMarks::setNames(const QString& names) {
    if (names == names_) {
        return;
    }
    names_ = names;
    nameLengths_.clear();
    for (const QStringView line : QStringView(names_).split(u'\n')) {
        nameLengths_.append(line.size());
    }
    writeWords();
}

int PreflightTextMarks::nameLength(int line) const {
    return line >= 0 && line < nameLengths_.size() ? static_cast<int>(nameLengths_.at(line)) : 0;
}

void PreflightTextMarks::scheduleWords() {
    // Verdicts arrive in batches; the text is written once per turn of the event loop.
    if (!wordsPending_) {
        wordsPending_ = true;
        QMetaObject::invokeMethod(this, &PreflightTextMarks::writeWords, Qt::QueuedConnection);
    }
}

void PreflightTextMarks::writeWords() {
    wordsPending_ = false;
    // Two ideographic spaces hold the mark between the name and its words.
    const QString gap = QStringLiteral("\u3000\u3000");
    QStringList lines = names_.split(u'\n');
    QList<std::pair<int, PreflightLevel>> worded;
    for (int i = 0; i < lines.size() && i < board.rowCount(); ++i) {
        const PreflightVerdict verdict = board.verdictAt(i);
        if (verdict.needsAttention() && !lines.at(i).isEmpty()) {
            lines[i] += gap + verdict.accessibleText();
            worded.append({i, verdict.level});
        }
    }
    const QString text = lines.join(u'\n');
    if (text == view.toPlainText()) {
        return;
    }
    const int scroll = view.verticalScrollBar()->value();
    const int line = view.textCursor().blockNumber();
    view.setPlainText(text);
    // The words in the mark's colour, a little darker so they read on white.
    for (const auto& [row, level] : std::as_const(worded)) {
        const QTextBlock block = view.document()->findBlockByNumber(row);
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + nameLength(row));
        cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setForeground(
            PreflightMarks::colour(level).darker(level == PreflightLevel::Caution ? 170 : 120));
        cursor.setCharFormat(format);
    }
    const QTextBlock keep = view.document()->findBlockByNumber(line);
    if (keep.isValid()) {
        view.setTextCursor(QTextCursor(keep));
    }
    view.verticalScrollBar()->setValue(scroll);
}

PreflightLevel PreflightTextMarks::levelAtLine(int line) const {
    return line >= 0 && line < board.rowCount() ? board.verdictAt(line).level
                                                : PreflightLevel::Pending;
}

void PreflightTextMarks::openPreview(int line) {
    if (line < 0 || line >= board.rowCount()) {
        return;
    }
    QPointer<QPlainTextEdit> textView(&view);
    PhotoPreviewWindow::showFor(&view, board, line, [textView](int row) {
        // The line follows the preview, so closing it leaves the view where the studio was.
        if (textView == nullptr) {
            return;
        }
        const QTextBlock block = textView->document()->findBlockByNumber(row);
        if (block.isValid()) {
            textView->setTextCursor(QTextCursor(block));
            textView->ensureCursorVisible();
        }
    });
}

bool PreflightTextMarks::eventFilter(QObject* watched, QEvent* event) {
    if (watched == overlay && event->type() == QEvent::Paint) {
        paintMarks(overlay);
        return true;
    }
    if (watched == &view && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            openPreview(view.textCursor().blockNumber());
            return true;
        }
    }
    if (watched == view.viewport()) {
        if (event->type() == QEvent::Resize && overlay) {
            overlay->setGeometry(view.viewport()->rect());
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QTextBlock block = view.cursorForPosition(mouse->position().toPoint()).block();
            view.setTextCursor(QTextCursor(block));
            openPreview(block.blockNumber());
            return true;
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
        const int number = block.blockNumber();
        const PreflightLevel level = levelAtLine(number);
        // Sound files stay unmarked here: the names list is for spotting the few that are not.
        if (number >= board.rowCount() || level == PreflightLevel::Fine) {
            continue;
        }
        // Right after the name, where the eye reads it, in the gap before its words.
        QTextCursor end(block);
        end.setPosition(block.position() + std::min(nameLength(number), block.length() - 1));
        const int x = view.cursorRect(end).right() + size / 2;
        const int y = line.top() + (line.height() - size) / 2;
        painter.drawPixmap(x, y, PreflightMarks::icon(level).pixmap(size, size));
    }
}
