#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class AppCtrl;
class DragDropTextField;
class QDialog;
class QVBoxLayout;
class QWidget;

// What the album and the print Kinelo sheets share: the caution shown for a video order, the
// video and picture rows, and the file chooser behind their buttons.
namespace kinelo {

// The caution of a video-and-picture order ("ご注意").
QString caution();

// Tags of the choose buttons.
constexpr int kChooseVideoTag = 30;
constexpr int kChoosePictureTag = 31;

// The video and picture rows of a sheet: a captioned, read-only drop field for one full path
// each ("<prefix>KineloMovFilePath", "<prefix>KineloPicFilePath", announcing drops under those
// names) with its choose button ("<prefix>KineloMovSelectButton", ...).
class PathPair {
public:
    // pressed(tag): a choose button; dropped(tag, paths): a drop on the field of that tag.
    PathPair(QWidget* pane, QVBoxLayout* box, const QString& prefix,
             const std::function<void(int)>& pressed,
             const std::function<void(int, const QStringList&)>& dropped);

    QString movPath() const;
    QString picPath() const;
    bool isComplete() const { return !movPath().isEmpty() && !picPath().isEmpty(); }
    // The first of paths goes into the field of tag (30 video, 31 picture).
    void take(int tag, const QStringList& paths);
    void clear();
    void dragDropOn();

private:
    DragDropTextField* mov_ = nullptr;
    DragDropTextField* pic_ = nullptr;
};

// The file chooser of tag 30 (video) or 31 (picture): a chosen file, or nothing when the chooser
// was cancelled or what was chosen is no file.
std::optional<QString> chooseFile(int tag);

// The part of a Kinelo sheet that the album and the print sheet share: the window-modal dialog,
// its video and picture rows, and how the sheet ends.
class SheetBase : public QObject {
public:
    ~SheetBase() override;

    QDialog* sheet() const { return sheet_; }
    // After a packed order or a removed registration: both path fields are emptied.
    void clearPathFields();
    void pathFieldsDragDropOn();

protected:
    SheetBase(QWidget* window, AppCtrl& ctrl, QObject* parent);

    // The dialog ("キネロのお申し込み"). Escape or the close box only closes it: a registration
    // is removed by its button alone.
    QDialog* makeSheet(const QString& objectName);
    // The video and picture rows; a choose button goes to buttonAction with its tag.
    void makePathPair(QWidget* pane, QVBoxLayout* box, const QString& prefix,
                      const std::function<void(int)>& buttonAction);
    // The first of paths into the field of tag (none: nothing changes), then the refresh.
    void takePath(int tag, const QStringList& paths);
    // The sheet's own button states.
    virtual void viewRefresh() = 0;
    // What every end of the sheet does: drops and menus back, the sheet hidden, the window
    // refreshed.
    virtual void sheetClosed();

    QWidget* window_;
    AppCtrl& ctrl_;
    QPointer<QDialog> sheet_;
    std::unique_ptr<PathPair> pathPair_;
};

} // namespace kinelo
