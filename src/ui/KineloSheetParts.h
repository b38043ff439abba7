#pragma once

#include <QString>
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

// A captioned, read-only drop field for one full path with its choose button (named
// fieldName + "SelectButton" without the "FilePath" end, e.g. "albumKineloMovSelectButton").
// The field announces drops under the field's name; pressed() gets the button's tag.
DragDropTextField* addPathRow(QWidget* pane, QVBoxLayout* box, const QString& caption,
                              const QString& fieldName, int tag,
                              const std::function<void(int)>& pressed);

// The file chooser of tag 30 (video) or 31 (picture): a chosen file, or nothing when the chooser
// was cancelled or what was chosen is no file.
std::optional<QString> chooseFile(int tag);

} // namespace kinelo
