#include "ui/AlbumKineloSheet.h"

#include "app/AppCtrl.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/AlbumTabPage.h"
#include "ui/DialogConvention.h"
#include "ui/DragDropScrollView.h"
#include "ui/KineloFileListCtrl.h"
#include "ui/KineloFileListDataSource.h"
#include "ui/KineloSheetParts.h"
#include "ui/ReadingOrder.h"
#include "util/Tool.h"

#include <QButtonGroup>
#include <QDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const char kTag[] = "tag";
constexpr int kWidth = 478;

int paneHeight(int tag) {
    return tag == 11 ? 695 : tag == 12 ? 379 : 302;
}

int paneIndex(int tag) {
    return tag == 11 ? 1 : tag == 12 ? 2 : 0;
}

} // namespace

AlbumKineloSheet::AlbumKineloSheet(QWidget* window, AppCtrl& ctrl, AlbumTabPage& page,
                                   QObject* parent)
    : SheetBase(window, ctrl, parent), page_(page) {
    build();
    connect(&ctrl_, &AppCtrl::listReloaded, this, [this](FileListKind list) {
        if (list == FileListKind::Kinelo) {
            reloadData();
            albumKineloViewRefresh();
        }
    });
    ctrl_.setFileListRows(FileListKind::Kinelo, &list_->dataSource());
}

AlbumKineloSheet::~AlbumKineloSheet() {
    ctrl_.setFileListRows(FileListKind::Kinelo, nullptr);
}

void AlbumKineloSheet::build() {
    QDialog* sheet = makeSheet(QStringLiteral("albumKineloInputWindow"));

    typeGroup_ = new QButtonGroup(sheet);
    auto* types = new QVBoxLayout;
    const struct {
        int tag;
        const char* text;
    } choices[] = {{10, "オーダーシートのみ（後日ラボからご連絡します）"},
                   {11, "アルバム用データと追加ファイルを使用する"},
                   {12, "メッセージ動画ひとつと写真ひとつを登録する"}};
    for (const auto& choice : choices) {
        auto* radio = new QRadioButton(QString::fromUtf8(choice.text), sheet);
        radio->setObjectName(QStringLiteral("kineloOrderType%1").arg(choice.tag));
        radio->setAccessibleName(radio->text());
        typeGroup_->addButton(radio, choice.tag);
        types->addWidget(radio);
    }
    typeGroup_->button(10)->setChecked(true);
    connect(typeGroup_, &QButtonGroup::idClicked, this,
            [this] { albumKineloInputWindowButtonAction(100); });

    panes_ = new QStackedWidget(sheet);
    // Tag 10: the order sheet only.
    auto* onlySheet = new QLabel(QStringLiteral("キネロのオーダーシートのみをお送りします。\n"
                                                "内容はラボから後日ご連絡いたします。"),
                                 panes_);
    onlySheet->setWordWrap(true);
    onlySheet->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    panes_->addWidget(onlySheet);

    // Tag 11: the added files.
    auto* filesPane = new QWidget(panes_);
    auto* filesBox = new QVBoxLayout(filesPane);
    dropView_ = new DragDropScrollView(filesPane);
    dropView_->setObjectName(QStringLiteral("albumKineloDragDropView"));
    dropView_->setAccessibleName(QStringLiteral("キネロ追加ファイルのドロップエリア"));
    dropView_->setHintText(QStringLiteral("追加するファイルをここにドロップしてください"));
    list_ = new KineloFileListCtrl(dropView_->hintLabel(), dropView_);
    dropView_->layout()->setContentsMargins(0, 0, 0, 0);
    dropView_->layout()->addWidget(list_);
    connect(dropView_, &DragDropScrollView::filesDropped, this,
            [this](const QStringList& paths) { ctrl_.fileIntake().dragDropFolderAndFiles(paths); });
    connect(list_, &PrintFileListCtrl::tableViewSelectChange, this,
            [this] { albumKineloTableViewSelectChange(); });
    // The Delete key does what the remove button does.
    connect(list_, &PrintFileListCtrl::deleteKeyPressed, this, [this] {
        if (tag_ == 11 && removeButton_->isEnabled()) {
            albumKineloInputWindowButtonAction(20);
        }
    });
    removeButton_ = new QPushButton(QStringLiteral("全削除"), filesPane);
    removeButton_->setObjectName(QStringLiteral("albumKineloRemoveButton"));
    removeButton_->setAccessibleName(QStringLiteral("全削除"));
    removeButton_->setProperty(kTag, 20);
    filesBox->addWidget(dropView_, 1);
    filesBox->addWidget(removeButton_, 0, Qt::AlignRight);
    panes_->addWidget(filesPane);

    // Tag 12: one video and one picture.
    auto* pairPane = new QWidget(panes_);
    auto* pairBox = new QVBoxLayout(pairPane);
    makePathPair(pairPane, pairBox, QStringLiteral("album"),
                 [this](int tag) { albumKineloInputWindowButtonAction(tag); });
    auto* clear = new QPushButton(QStringLiteral("クリア"), pairPane);
    clear->setObjectName(QStringLiteral("albumKineloClearButton"));
    clear->setAccessibleName(QStringLiteral("クリア"));
    clear->setProperty(kTag, 4);
    connect(clear, &QPushButton::clicked, this, [this] { albumKineloInputWindowButtonAction(4); });
    pairBox->addWidget(clear, 0, Qt::AlignRight);
    pairBox->addStretch(1);
    panes_->addWidget(pairPane);

    cancelButton_ = new QPushButton(QStringLiteral("閉じる"), sheet);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setAccessibleName(QStringLiteral("閉じる"));
    cancelButton_->setProperty(kTag, 0);
    executeButton_ = new QPushButton(QStringLiteral("登録"), sheet);
    executeButton_->setObjectName(QStringLiteral("okButton"));
    executeButton_->setAccessibleName(QStringLiteral("登録"));
    executeButton_->setProperty(kTag, 1);
    executeButton_->setDefault(true);
    connect(cancelButton_, &QPushButton::clicked, this,
            [this] { albumKineloInputWindowButtonAction(0); });
    connect(executeButton_, &QPushButton::clicked, this,
            [this] { albumKineloInputWindowButtonAction(1); });
    connect(removeButton_, &QPushButton::clicked, this,
            [this] { albumKineloInputWindowButtonAction(20); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(executeButton_);
    auto* box = new QVBoxLayout(sheet);
    box->addLayout(types);
    box->addWidget(panes_, 1);
    box->addLayout(buttons);
    reloadData();
}

// --- The sheet ---

void AlbumKineloSheet::albumKineloAction() {
    ctrl_.setKineloWindowFlg(true);
    dropView_->dragDropOn();
    ctrl_.fileDragDropOff();
    const bool movOnly = page_.isAlbumKineloMovFileOnly();
    int tag = tag_;
    if (UserDef::isAlbumKineloFile()) {
        const qint64 type = UserDef::albumKinloOrderType();
        tag = movOnly ? 12 : type == 1 ? 11 : type == 2 ? 12 : 10;
        cancelButton_->setText(QStringLiteral("キネロ登録の削除"));
    } else {
        if (movOnly) {
            tag = 12;
        }
        cancelButton_->setText(QStringLiteral("閉じる"));
    }
    cancelButton_->setAccessibleName(cancelButton_->text());
    typeGroup_->button(10)->setEnabled(!movOnly);
    typeGroup_->button(11)->setEnabled(!movOnly);
    typeGroup_->button(tag)->setChecked(true);
    panes_->setCurrentIndex(paneIndex(tag_));
    resizeSheet(tag_);
    albumKineloViewRefresh();
    ctrl_.menuUseOff();
    keepReadingOrder(sheet_);
    sheet_->open();
    albumKineloCustomViewSettingForNewTag(tag);
}

void AlbumKineloSheet::albumKineloInputWindowButtonAction(int tag) {
    Log::outputLn(QStringLiteral("tag(%1)").arg(tag));
    switch (tag) {
    case 0:
        albumKineloInputSheetDidEnd(false);
        break;
    case 1:
        albumKineloInputSheetDidEnd(true);
        break;
    case 4:
        clearPathFields();
        break;
    case 20:
        if (isSelectedRow()) {
            removeSelectedRecords();
        } else {
            removeAllRecords();
        }
        break;
    case 30:
    case 31:
        albumKineloFileSelectSheet(tag);
        return; // the chooser's end refreshes
    case 100:
        albumKineloCustomViewSettingForNewTag(typeGroup_->checkedId());
        break;
    default:
        break;
    }
    albumKineloViewRefresh();
}

void AlbumKineloSheet::albumKineloCustomViewSettingForNewTag(int newTag) {
    Log::outputLn(QStringLiteral("kineloOrderTypeMatrixAction（%1）-> (%2)").arg(tag_).arg(newTag));
    if (newTag == tag_) {
        return;
    }
    panes_->setCurrentIndex(paneIndex(newTag));
    resizeSheet(newTag);
    tag_ = newTag;
    if (QAbstractButton* radio = typeGroup_->button(newTag)) {
        radio->setChecked(true);
    }
    albumKineloViewRefresh();
    if (newTag == 12) {
        Tool::alertWithMsg(QStringLiteral("ご注意"), kinelo::caution());
    }
}

void AlbumKineloSheet::albumKineloViewRefresh() {
    switch (tag_) {
    case 11: {
        const bool rows = isSendOk();
        executeButton_->setEnabled(rows);
        removeButton_->setEnabled(rows);
        removeButton_->setText(isSelectedRow() ? QStringLiteral("選択ファイルを削除")
                                               : QStringLiteral("全削除"));
        removeButton_->setAccessibleName(removeButton_->text());
        break;
    }
    case 12:
        executeButton_->setEnabled(pathPair_->isComplete());
        break;
    default:
        executeButton_->setEnabled(true);
        break;
    }
}

void AlbumKineloSheet::albumKineloInputSheetDidEnd(bool ok) {
    if (ok && tag_ == 10) {
        UserDef::setAlbumKineloOrderFileOnly();
        clearPathFields();
        removeAllRecords();
    } else if (ok && tag_ == 11) {
        UserDef::setAlbumKineloAddFiles(orderFileInfoArray());
        clearPathFields();
    } else if (ok && tag_ == 12) {
        UserDef::setAlbumKineloMovFilePath(pathPair_->movPath(), pathPair_->picPath());
        removeAllRecords();
    } else if (!ok && UserDef::isAlbumKineloFile()) {
        UserDef::removeAlbumKineloFile();
        clearPathFields();
        removeAllRecords();
    }
    sheetClosed();
}

void AlbumKineloSheet::resizeSheet(int tag) {
    // The pane's height, but never taller than the window the sheet sits on nor the screen: the
    // added-files list scrolls, and 閉じる / 登録 / 全削除 stay on the screen.
    const int room = window_ != nullptr ? window_->height() : paneHeight(tag);
    fitToAvailableScreen(sheet_,
                         QSize(kWidth, std::min(paneHeight(tag), std::max(room, paneHeight(10)))));
}

void AlbumKineloSheet::sheetClosed() {
    dropView_->dragDropOff();
    SheetBase::sheetClosed();
}

void AlbumKineloSheet::albumKineloMovFilePathNotification(const QStringList& paths) {
    takePath(kinelo::kChooseVideoTag, paths);
}

void AlbumKineloSheet::albumKineloPicFilePathNotification(const QStringList& paths) {
    takePath(kinelo::kChoosePictureTag, paths);
}

void AlbumKineloSheet::albumKineloFileSelectSheet(int tag) {
    albumKineloFileSelectPanelDidEnd(kinelo::chooseFile(tag), tag);
}

void AlbumKineloSheet::albumKineloFileSelectPanelDidEnd(const std::optional<QString>& path,
                                                        int tag) {
    takePath(tag, path ? QStringList{*path} : QStringList{});
}

void AlbumKineloSheet::albumKineloTableViewSelectChange() {
    albumKineloViewRefresh();
}

// --- The list ---

QStringList AlbumKineloSheet::orderFileInfoArray() const {
    return list_->orderFileInfoArray();
}

QString AlbumKineloSheet::allFileNameStr() const {
    return FileIntake::allFileNameStr(orderFileInfoArray());
}

int AlbumKineloSheet::fileCount() const {
    return list_->fileCount();
}

bool AlbumKineloSheet::isSelectedRow() const {
    return list_->isSelectedRow();
}

bool AlbumKineloSheet::isSendOk() const {
    return list_->isSendOk();
}

void AlbumKineloSheet::removeAllRecords() {
    list_->removeAllRecords();
}

void AlbumKineloSheet::removeSelectedRecords() {
    list_->removeSelectedRecords();
}

void AlbumKineloSheet::reloadData() {
    list_->reloadData();
}
