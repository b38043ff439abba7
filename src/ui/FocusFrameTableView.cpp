#include "ui/FocusFrameTableView.h"

#include <QHeaderView>
#include <QIcon>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionHeader>
#include <algorithm>

namespace {

class PlainHeaderView : public QHeaderView {
public:
    using QHeaderView::QHeaderView;

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override {
        QAbstractItemModel* source = model();
        if (source == nullptr) {
            return QHeaderView::sectionSizeFromContents(logicalIndex);
        }
        const QVariant hint = source->headerData(logicalIndex, orientation(), Qt::SizeHintRole);
        if (hint.isValid()) {
            return hint.toSize();
        }
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.section = logicalIndex;
        const QVariant font = source->headerData(logicalIndex, orientation(), Qt::FontRole);
        option.fontMetrics =
            QFontMetrics(font.canConvert<QFont>() ? qvariant_cast<QFont>(font) : this->font());
        option.text = source->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        const QVariant decoration =
            source->headerData(logicalIndex, orientation(), Qt::DecorationRole);
        option.icon = qvariant_cast<QIcon>(decoration);
        if (option.icon.isNull()) {
            option.icon = QIcon(qvariant_cast<QPixmap>(decoration));
        }
        if (isSortIndicatorShown()) {
            option.sortIndicator = QStyleOptionHeader::SortDown;
        }
        return style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
    }
};

} // namespace

FocusFrameTableView::FocusFrameTableView(QWidget* parent) : QTableView(parent) {
    auto* header = new PlainHeaderView(Qt::Horizontal, this);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    setHorizontalHeader(header);
}

QRect FocusFrameTableView::rowFrame(int row) const {
    if (row < 0 || model() == nullptr || row >= model()->rowCount(rootIndex())) {
        return {};
    }
    // From the first column's left edge to the last one's right edge, as the row is drawn.
    const int width =
        std::min(viewport()->width(), horizontalHeader()->length() - horizontalOffset());
    return {-horizontalOffset(), rowViewportPosition(row), width + horizontalOffset(),
            rowHeight(row)};
}

QRect FocusFrameTableView::currentRowFrame() const {
    return rowFrame(currentIndex().row());
}

QRect FocusFrameTableView::currentCellFrame() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? visualRect(current) : QRect();
}

void FocusFrameTableView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (!hasFocus()) {
        return;
    }
    const QRect row = currentRowFrame();
    if (row.isEmpty()) {
        return;
    }
    QPainter painter(viewport());
    painter.setClipRect(event->rect());
    painter.setBrush(Qt::NoBrush);
    // The row: a strong line in the selection's own colour, dark enough to stand out on a
    // selected row too.
    const int line = std::max(2, fontMetrics().height() / 8);
    QPen rowPen(palette().color(QPalette::Active, QPalette::Highlight).darker(170), line);
    rowPen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(rowPen);
    painter.drawRect(row.adjusted(line / 2, line / 2, -(line + 1) / 2, -(line + 1) / 2));
    // The cell: a dashed frame inside it, in the text's colour over a light band, readable on
    // a selected and an unselected row alike.
    const QRect cell = currentCellFrame().adjusted(line + 1, line + 1, -line - 2, -line - 2);
    if (cell.width() > 4 && cell.height() > 4) {
        painter.setPen(QPen(palette().color(QPalette::Base), 1));
        painter.drawRect(cell);
        QPen dashes(palette().color(QPalette::Text), 1, Qt::DashLine);
        painter.setPen(dashes);
        painter.drawRect(cell);
    }
}

void FocusFrameTableView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    // The whole rows: the frame runs along the row, not only round the cell Qt repaints.
    viewport()->update(rowFrame(previous.row()));
    viewport()->update(rowFrame(current.row()));
}
