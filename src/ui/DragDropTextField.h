#pragma once

#include <QLineEdit>
#include <QStringList>
#include <optional>

class QMimeData;

// A text field that takes exactly one dropped local file (never a folder, never URL text) and
// announces it under its notification name.
class DragDropTextField : public QLineEdit {
    Q_OBJECT
public:
    explicit DragDropTextField(QWidget* parent = nullptr);

    void setNotificationName(const QString& name) { notificationName_ = name; }
    QString notificationName() const { return notificationName_; }
    void dragDropOn();
    void dragDropOff();
    bool isDragDropOn() const { return on_; }

Q_SIGNALS:
    // paths holds the one dropped file, as a path (not "file://…"); the field's text is left to the
    // owner, which may refuse the name.
    void fileDropped(const QString& notificationName, const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    std::optional<QString> acceptablePath(const QMimeData* mime) const;

    QString notificationName_;
    bool on_ = true;
};
