#pragma once

#include <QRectF>
#include <QSize>
#include <QSizeF>

// Where a print's paper falls on a photo. The paper is turned to the photo's own orientation
// (a tall photo on a tall print) and fills it: the largest rectangle of the paper's shape,
// centred on the photo as shown. What lies outside it is cut off when the lab fills the paper,
// or is left white when it fits the whole photo; either way the same share of the picture.
class PrintFrame {
public:
    PrintFrame() = delete;

    // More than this share cut or white is worth a look.
    static constexpr double kCautionAbove = 0.08;

    // The photo's size as shown: EXIF orientations 5 to 8 turn it a quarter.
    static QSize shownSize(int width, int height, int orientation);
    // The frame in the shown photo's pixels; empty for an empty photo or paper.
    static QRectF frameRect(const QSizeF& shownPhoto, const QSizeF& paperMm);
    // The share of the picture cut off or left white, 0 to 1.
    static double mismatch(const QSizeF& shownPhoto, const QSizeF& paperMm);
    // The same as a whole percentage, rounded.
    static int mismatchPercent(const QSizeF& shownPhoto, const QSizeF& paperMm);
};
