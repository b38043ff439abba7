#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class DragDropTextField;
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

} // namespace kinelo
