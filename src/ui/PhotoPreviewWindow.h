#pragma once

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QSize>
#include <functional>

class PreflightBoard;
class QLabel;

// The photo large, as it is shown (its EXIF orientation applied), with the frame of its print
// size drawn over it and what falls outside the frame shaded: what the print cuts off, or leaves
// white. The part it draws on; the window around it gives the words.
class PhotoFrameView : public QWidget {
    Q_OBJECT
public:
    explicit PhotoFrameView(QWidget* parent = nullptr);
    // picture: the decoded photo (any scale); shown: its full size as shown; frame: the print's
    // frame in the full size's pixels (empty: no frame).
    void setPicture(const QImage& picture, const QSize& shown, const QRectF& frame);
    // Where the photo and the frame are drawn in the view now.
    QRectF photoOnScreen() const;
    QRectF frameOnScreen() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    QSize shown_;
    QRectF frame_;
};

// The preview of one row of a tab's list: Space on a selected row or a double click opens it,
// the arrow keys go to the previous and next row (the list's selection follows), Esc or Space
// closes it. One per main window, reused.
class PhotoPreviewWindow : public QDialog {
    Q_OBJECT
public:
    // Shows row of board in the preview of from's window, opening it when closed. follow is told
    // each row the arrows move to.
    static PhotoPreviewWindow* showFor(QWidget* from, PreflightBoard& board, int row,
                                       std::function<void(int)> follow);

    explicit PhotoPreviewWindow(QWidget* parent);
    void showRow(int row);
    int currentRow() const { return row_; }
    // The photo's full size as shown; invalid when it could not be read.
    QSize photoSize() const { return shown_; }
    // The print's frame in the shown photo's pixels; empty without a print size.
    QRectF frameInPhoto() const { return frame_; }
    PhotoFrameView* frameView() const { return view_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointer<PreflightBoard> board_;
    std::function<void(int)> follow_;
    int row_ = -1;
    QSize shown_;
    QRectF frame_;
    PhotoFrameView* view_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* frameText_ = nullptr;
    QLabel* verdict_ = nullptr;
};
