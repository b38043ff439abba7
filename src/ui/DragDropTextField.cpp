#include "ui/DragDropTextField.h"

#include "ui/DragDropScrollView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

DragDropTextField::DragDropTextField(QWidget* parent) : QLineEdit(parent) {
    setAcceptDrops(true);
}

void DragDropTextField::dragDropOn() {
    on_ = true;
    setAcceptDrops(true);
}

void DragDropTextField::dragDropOff() {
    on_ = false;
    setAcceptDrops(false);
}

std::optional<QString> DragDropTextField::acceptablePath(const QMimeData* mime) const {
    if (!on_) {
        return std::nullopt;
    }
    const std::optional<QStringList> paths = DragDropScrollView::localFilePaths(mime);
    if (!paths || paths->size() != 1) {
        return std::nullopt;
    }
    // One regular file: a folder, a pipe or a device is no file to order.
    if (!QFileInfo(paths->first()).isFile()) {
        return std::nullopt;
    }
    return paths->first();
}

void DragDropTextField::dragEnterEvent(QDragEnterEvent* event) {
    // Never QLineEdit's own handling: it would insert the URL as text.
    if (acceptablePath(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void DragDropTextField::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptablePath(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void DragDropTextField::dropEvent(QDropEvent* event) {
    const std::optional<QString> path = acceptablePath(event->mimeData());
    if (!path) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The owner decides whether the path is taken (it may refuse the name) and sets the text.
    Q_EMIT fileDropped(notificationName_, QStringList{*path});
}
