#pragma once

#include "ui/KineloSheetParts.h"

#include <QStringList>
#include <optional>

class AlbumTabPage;
class DragDropScrollView;
class KineloFileListCtrl;
class QButtonGroup;
class QPushButton;
class QStackedWidget;

// The album tab's Kinelo sheet: the order type (tag 10 order sheet only, 11 added files, 12 one
// message video with one picture), the added-files list that takes drops while the sheet is open,
// and the video and picture fields with their file choosers. OK stores the Kinelo record in the
// settings; the zip stage packs its files with the next album order.
class AlbumKineloSheet : public kinelo::SheetBase {
    Q_OBJECT
public:
    AlbumKineloSheet(QWidget* window, AppCtrl& ctrl, AlbumTabPage& page, QObject* parent = nullptr);
    ~AlbumKineloSheet() override;

    void albumKineloAction();
    void albumKineloInputWindowButtonAction(int tag);
    void albumKineloCustomViewSettingForNewTag(int newTag);
    void albumKineloInputSheetDidEnd(bool ok);
    void albumKineloViewRefresh();
    void albumKineloMovFilePathNotification(const QStringList& paths);
    void albumKineloPicFilePathNotification(const QStringList& paths);
    // The file chooser for tag 30 (video) or 31 (picture); its end fills the field.
    void albumKineloFileSelectSheet(int tag);
    void albumKineloFileSelectPanelDidEnd(const std::optional<QString>& path, int tag);
    void albumKineloTableViewSelectChange();
    int kineloOrderTypeTag() const { return tag_; }
    KineloFileListCtrl* fileListCtrl() const { return list_; }

    // --- The added-files list ---
    QStringList orderFileInfoArray() const; // paths of all rows
    QString allFileNameStr() const;
    int fileCount() const;
    bool isNoFile() const { return fileCount() == 0; }
    bool isSelectedRow() const;
    bool isSendOk() const;
    void removeAllRecords();
    void removeSelectedRecords();
    void reloadData();

protected:
    void viewRefresh() override { albumKineloViewRefresh(); }
    void sheetClosed() override; // also: the added-files list takes no more drops

private:
    void build();
    void resizeSheet(int tag);

    AlbumTabPage& page_;
    QStackedWidget* panes_ = nullptr;
    QButtonGroup* typeGroup_ = nullptr;
    KineloFileListCtrl* list_ = nullptr;
    DragDropScrollView* dropView_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* executeButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    int tag_ = 10;
};
