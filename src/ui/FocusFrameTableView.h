#pragma once

#include <QTableView>

// A list whose keyboard focus is plain to see: while it has the focus, the current row is framed
// and the current cell within it framed again, with or without a selection. The frames are drawn
// over whatever the cells and their delegates painted, so they never change how a cell looks.
// Its column headers never turn bold for a selected column, and are measured as they are drawn
// (Qt measures every header bold, which loads a second typeface before the first list shows).
class FocusFrameTableView : public QTableView {
public:
    explicit FocusFrameTableView(QWidget* parent = nullptr);

    // The frames of the current row and cell in viewport coordinates (empty without a current
    // cell).
    QRect currentRowFrame() const;
    QRect currentCellFrame() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    QRect rowFrame(int row) const;
};
