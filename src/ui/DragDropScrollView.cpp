#include "ui/DragDropScrollView.h"

#include "app/FileIntake.h"
#include "settings/Log.h"
#include "util/Tool.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

DragDropScrollView::DragDropScrollView(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumHeight(fontMetrics().height() * 5);
    hint_ = new QLabel(this);
    hint_->setAlignment(Qt::AlignCenter);
    hint_->setWordWrap(true);
    hint_->setForegroundRole(QPalette::PlaceholderText); // a hint, not content
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint_);
    setAccessibleName(QStringLiteral("ドロップエリア"));
    setAcceptDrops(true);
}

void DragDropScrollView::dragDropOn() {
    on_ = true;
    setAcceptDrops(true);
}

void DragDropScrollView::dragDropOff() {
    on_ = false;
    setAcceptDrops(false);
    setHighlighted(false);
}

void DragDropScrollView::setHintText(const QString& text) {
    hint_->setText(text);
    setAccessibleDescription(text);
}

std::optional<QStringList> DragDropScrollView::localFilePaths(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) {
        return std::nullopt;
    }
    const QList<QUrl> urls = mime->urls();
    if (urls.isEmpty()) {
        return std::nullopt;
    }
    QStringList paths;
    paths.reserve(urls.size());
    for (const QUrl& url : urls) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty()) {
            return std::nullopt;
        }
        paths.append(url.toLocalFile());
    }
    return paths;
}

void DragDropScrollView::setHighlighted(bool highlighted) {
    setFrameShadow(highlighted ? QFrame::Raised : QFrame::Sunken);
    setLineWidth(highlighted ? 2 : 1);
}

void DragDropScrollView::dragEnterEvent(QDragEnterEvent* event) {
    if (!on_ || !event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    // Only whether the drag carries local files is looked at here; their count is judged at the
    // drop, so a refused drag gets its explanation.
    const QList<QUrl> urls = event->mimeData()->urls();
    const bool allLocal =
        !urls.isEmpty() &&
        std::all_of(urls.cbegin(), urls.cend(), [](const QUrl& url) { return url.isLocalFile(); });
    if (!allLocal) {
        event->ignore();
        return;
    }
    setHighlighted(true);
    event->acceptProposedAction();
}

void DragDropScrollView::dragMoveEvent(QDragMoveEvent* event) {
    if (on_) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void DragDropScrollView::dragLeaveEvent(QDragLeaveEvent* event) {
    setHighlighted(false);
    event->accept();
}

void DragDropScrollView::dropEvent(QDropEvent* event) {
    setHighlighted(false);
    if (!on_) {
        event->ignore();
        return;
    }
    const std::optional<QStringList> paths = localFilePaths(event->mimeData());
    if (!paths) {
        event->ignore();
        return;
    }
    Log::outputLn(QStringLiteral("ドラッグドロップ：%1件").arg(paths->size()));
    if (!takePaths(*paths)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

bool DragDropScrollView::takePaths(const QStringList& paths) {
    if (paths.size() > FileIntake::kDropPathLimit) {
        Log::outputLn(QStringLiteral("ドロップされたファイルが多過ぎ"));
        Tool::alertWithMsg(QStringLiteral("ドロップされたファイルが多過ぎます"), QString());
        return false;
    }
    Q_EMIT filesDropped(paths);
    return true;
}
