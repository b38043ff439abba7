#include "ui/PhotoPreviewWindow.h"

#include "app/PreflightBoard.h"
#include "app/PrintFrame.h"
#include "product/PrintSizeTable.h"
#include "ui/PreflightMarks.h"
#include "util/ImageHeader.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace {
// The decoded picture's longest side: enough for a large screen, quick to decode.
constexpr int kDecodeSide = 2048;
} // namespace

PhotoFrameView::PhotoFrameView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("photoPreviewFrameView"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(320, 240);
}

void PhotoFrameView::setPicture(const QImage& picture, const QSize& shown, const QRectF& frame) {
    picture_ = picture;
    shown_ = shown;
    frame_ = frame;
    update();
}

QSize PhotoFrameView::sizeHint() const {
    return {800, 600};
}

QRectF PhotoFrameView::photoOnScreen() const {
    if (shown_.isEmpty()) {
        return {};
    }
    const QRectF room = QRectF(rect()).adjusted(8, 8, -8, -8);
    const QSizeF fitted = QSizeF(shown_).scaled(room.size(), Qt::KeepAspectRatio);
    return {room.center().x() - fitted.width() / 2, room.center().y() - fitted.height() / 2,
            fitted.width(), fitted.height()};
}

QRectF PhotoFrameView::frameOnScreen() const {
    const QRectF photo = photoOnScreen();
    if (photo.isEmpty() || frame_.isEmpty()) {
        return {};
    }
    const double scale = photo.width() / shown_.width();
    return {photo.left() + frame_.left() * scale, photo.top() + frame_.top() * scale,
            frame_.width() * scale, frame_.height() * scale};
}

void PhotoFrameView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x30, 0x30, 0x30));
    const QRectF photo = photoOnScreen();
    if (photo.isEmpty() || picture_.isNull()) {
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(photo, picture_);
    const QRectF frame = frameOnScreen();
    if (frame.isEmpty()) {
        return;
    }
    // Outside the frame: shaded, what the print cuts off or leaves white.
    QPainterPath outside;
    outside.addRect(photo);
    outside.addRect(frame);
    outside.setFillRule(Qt::OddEvenFill);
    p.fillPath(outside, QColor(0, 0, 0, 150));
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 0, 160), 4));
    p.drawRect(frame);
    p.setPen(QPen(Qt::white, 2));
    p.drawRect(frame);
}

PhotoPreviewWindow* PhotoPreviewWindow::showFor(QWidget* from, PreflightBoard& board, int row,
                                                std::function<void(int)> follow) {
    QWidget* top = from->window();
    auto* preview = top->findChild<PhotoPreviewWindow*>(QStringLiteral("photoPreviewWindow"),
                                                        Qt::FindDirectChildrenOnly);
    if (preview == nullptr) {
        preview = new PhotoPreviewWindow(top);
    }
    preview->board_ = &board;
    preview->follow_ = std::move(follow);
    preview->showRow(row);
    if (!preview->isVisible()) {
        // Most of the main window, wholly on its screen.
        const QRect area =
            top->screen() != nullptr ? top->screen()->availableGeometry() : QRect(0, 0, 1024, 700);
        const QSize size(std::min(area.width(), std::max(640, top->width() * 9 / 10)),
                         std::min(area.height(), std::max(480, top->height() * 9 / 10)));
        preview->resize(size);
        preview->move(top->geometry().center() - QPoint(size.width() / 2, size.height() / 2));
    }
    preview->show();
    preview->raise();
    preview->activateWindow();
    return preview;
}

PhotoPreviewWindow::PhotoPreviewWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("photoPreviewWindow"));
    setAccessibleName(QStringLiteral("プレビュー"));
    setWindowTitle(QStringLiteral("プレビュー"));
    setModal(false);
    view_ = new PhotoFrameView(this);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("photoPreviewTitle"));
    title_->setTextFormat(Qt::PlainText);
    frameText_ = new QLabel(this);
    frameText_->setObjectName(QStringLiteral("photoPreviewFrameText"));
    frameText_->setTextFormat(Qt::PlainText);
    frameText_->setWordWrap(true);
    verdict_ = new QLabel(this);
    verdict_->setObjectName(QStringLiteral("photoPreviewVerdict"));
    verdict_->setTextFormat(Qt::PlainText);
    verdict_->setWordWrap(true);
    verdict_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* keys = new QLabel(QStringLiteral("←→ 前後の写真　Esc 閉じる"), this);
    keys->setObjectName(QStringLiteral("photoPreviewKeys"));
    keys->setEnabled(false);
    for (QLabel* label : {title_, frameText_, verdict_, keys}) {
        label->setFocusPolicy(Qt::NoFocus);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(title_, 1);
    top->addWidget(keys);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    layout->addWidget(frameText_);
    layout->addWidget(verdict_);
    setFocusPolicy(Qt::StrongFocus);
}

void PhotoPreviewWindow::showRow(int row) {
    if (board_ == nullptr || row < 0 || row >= board_->rowCount()) {
        return;
    }
    row_ = row;
    const PreflightRow item = board_->rowAt(row);
    const PreflightVerdict verdict = board_->verdictAt(row);
    const QString name = QFileInfo(item.path).fileName();
    setWindowTitle(QStringLiteral("プレビュー – %1").arg(name));
    title_->setText(QStringLiteral("%1（%2／%3）").arg(name).arg(row + 1).arg(board_->rowCount()));

    // The full size as shown, from the header (no decode); the picture itself decoded small.
    const ImageHeaderFacts facts = readImageHeader(item.path);
    shown_ = facts.hasPixelSize() && !facts.implausibleSize
                 ? PrintFrame::shownSize(facts.width, facts.height, facts.orientation)
                 : QSize();
    QImage picture;
    if (shown_.isValid()) {
        QImageReader reader(item.path);
        reader.setAutoTransform(true);
        const QSize stored = reader.size();
        if (stored.isValid() && std::max(stored.width(), stored.height()) > kDecodeSide) {
            reader.setScaledSize(stored.scaled(kDecodeSide, kDecodeSide, Qt::KeepAspectRatio));
        }
        picture = reader.read();
    }
    const std::optional<QSizeF> paper =
        item.sizeName.isEmpty() ? std::nullopt : PrintSizeTable::printSizeMm(item.sizeName);
    frame_ = paper && shown_.isValid() ? PrintFrame::frameRect(shown_, *paper) : QRectF();
    if (picture.isNull()) {
        shown_ = QSize();
        frame_ = QRectF();
        frameText_->setText(QStringLiteral("この画像は表示できません"));
    } else if (!paper) {
        frameText_->setText(QStringLiteral("プリントサイズが決まっていないため、枠は表示しません"));
    } else {
        frameText_->setText(QStringLiteral("%1：白い枠の外（約%2%）は、切れるか余白になります")
                                .arg(item.sizeName)
                                .arg(PrintFrame::mismatchPercent(shown_, *paper)));
    }
    view_->setPicture(picture, shown_, frame_);
    verdict_->setText(verdict.accessibleText());
    verdict_->setStyleSheet(verdict.needsAttention()
                                ? QStringLiteral("color: %1;")
                                      .arg(PreflightMarks::colour(verdict.level).darker(130).name())
                                : QString());
}

void PhotoPreviewWindow::keyPressEvent(QKeyEvent* event) {
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        step = -1;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        step = 1;
        break;
    case Qt::Key_Space:
        close();
        return;
    default:
        QDialog::keyPressEvent(event);
        return;
    }
    const int next = row_ + step;
    if (board_ != nullptr && next >= 0 && next < board_->rowCount()) {
        showRow(next);
        if (follow_) {
            follow_(next);
        }
    }
}
