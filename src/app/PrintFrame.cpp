#include "app/PrintFrame.h"

#include <algorithm>
#include <cmath>

QSize PrintFrame::shownSize(int width, int height, int orientation) {
    return orientation >= 5 && orientation <= 8 ? QSize(height, width) : QSize(width, height);
}

QRectF PrintFrame::frameRect(const QSizeF& shownPhoto, const QSizeF& paperMm) {
    const double w = shownPhoto.width();
    const double h = shownPhoto.height();
    const double shortMm = std::min(paperMm.width(), paperMm.height());
    const double longMm = std::max(paperMm.width(), paperMm.height());
    if (w <= 0 || h <= 0 || shortMm <= 0) {
        return {};
    }
    // The paper's width over height once turned like the photo (a square photo takes it wide).
    const double paper = w >= h ? longMm / shortMm : shortMm / longMm;
    if (w / h > paper) {
        const double frameWidth = h * paper;
        return {(w - frameWidth) / 2, 0, frameWidth, h};
    }
    const double frameHeight = w / paper;
    return {0, (h - frameHeight) / 2, w, frameHeight};
}

double PrintFrame::mismatch(const QSizeF& shownPhoto, const QSizeF& paperMm) {
    const QRectF frame = frameRect(shownPhoto, paperMm);
    if (frame.isEmpty()) {
        return 0;
    }
    return 1.0 - (frame.width() * frame.height()) / (shownPhoto.width() * shownPhoto.height());
}

int PrintFrame::mismatchPercent(const QSizeF& shownPhoto, const QSizeF& paperMm) {
    return static_cast<int>(std::lround(mismatch(shownPhoto, paperMm) * 100));
}
