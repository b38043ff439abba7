#pragma once

#include <QFrame>
#include <QStringList>
#include <optional>

class QLabel;
class QMimeData;

// The drop area of an order tab: takes drags of local files (text/uri-list) and hands the paths
// on without looking at them. A drag of more than 10,000 paths is refused here, before any path
// is examined. The caller names the view (etcDragDropView …) and its hint label (etcDragDropMsg …).
class DragDropScrollView : public QFrame {
    Q_OBJECT
public:
    explicit DragDropScrollView(QWidget* parent = nullptr);

    void dragDropOn();
    void dragDropOff();
    bool isDragDropOn() const { return on_; }

    void setHintText(const QString& text);
    // Paths taken as a drop takes them (the file chooser hands its choice over here): over the
    // limit they are refused with the drop's alert, else filesDropped. False when refused.
    bool takePaths(const QStringList& paths);
    QLabel* hintLabel() const { return hint_; }

    // The local paths a drag carries; none when it carries anything that is not a local file.
    static std::optional<QStringList> localFilePaths(const QMimeData* mime);

Q_SIGNALS:
    void filesDropped(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setHighlighted(bool highlighted);

    QLabel* hint_ = nullptr;
    bool on_ = true;
};
