#include "ui/AlbumKineloSheet.h"

#include "app/AppCtrl.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/AlbumTabPage.h"
#include "ui/DragDropScrollView.h"
#include "ui/DragDropTextField.h"
#include "util/Tool.h"

#include <QButtonGroup>
#include <QDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace {

const char kTag[] = "tag";
constexpr int kWidth = 478;

int paneHeight(int tag) {
    return tag == 11 ? 695 : tag == 12 ? 379 : 302;
}

int paneIndex(int tag) {
    return tag == 11 ? 1 : tag == 12 ? 2 : 0;
}

QString caution() {
    return QStringLiteral("1回のご発注は写真画像ひとつとメッセージ動画ひとつの1セットのみとなってお"
                          "ります。\n\n登録した動画の編集はできませんので、編集済みの動画をご発注く"
                          "ださい。\n\n音楽のご利用については著作権の問題がございますので、メッセ"
                          "ージ動画のみをご登録ください。");
}

// The picture of a row: the image, or the program's own "not an image" picture, 70 high.
QPixmap thumbnail(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) {
        image = QImage(Tool::resourcePath(QStringLiteral("not_image"), QStringLiteral("jpg")));
    }
    return image.isNull() ? QPixmap()
                          : QPixmap::fromImage(image.scaledToHeight(70, Qt::SmoothTransformation));
}

} // namespace

AlbumKineloSheet::AlbumKineloSheet(QWidget* window, AppCtrl& ctrl, AlbumTabPage& page,
                                   QObject* parent)
    : QObject(parent), window_(window), ctrl_(ctrl), page_(page) {
    build();
    connect(&ctrl_, &AppCtrl::listReloaded, this, [this](FileListKind list) {
        if (list == FileListKind::Kinelo) {
            reloadData();
            albumKineloViewRefresh();
        }
    });
    ctrl_.kineloPathFieldsClearHook = [this] { clearPathFields(); };
}

AlbumKineloSheet::~AlbumKineloSheet() {
    ctrl_.kineloPathFieldsClearHook = nullptr;
}

void AlbumKineloSheet::build() {
    auto* sheet = new QDialog(window_);
    sheet->setObjectName(QStringLiteral("albumKineloInputWindow"));
    sheet->setWindowTitle(QStringLiteral("キネロのお申し込み"));
    sheet->setAccessibleName(QStringLiteral("キネロのお申し込み"));
    sheet->setWindowModality(Qt::WindowModal);
    sheet_ = sheet;

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
    auto* dropBox = qobject_cast<QVBoxLayout*>(dropView_->layout());
    table_ = new QTableView(dropView_);
    table_->setObjectName(QStringLiteral("albumKineloFileTable"));
    table_->setAccessibleName(QStringLiteral("キネロ追加ファイル"));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->setVisible(false);
    model_ = new QStandardItemModel(0, 3, table_);
    model_->setHorizontalHeaderLabels(
        {QStringLiteral("No."), QStringLiteral("ファイル名"), QStringLiteral("画像")});
    table_->setModel(model_);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    dropBox->addWidget(table_);
    tableHint_ = dropView_->hintLabel();
    connect(dropView_, &DragDropScrollView::filesDropped, this,
            [this](const QStringList& paths) { ctrl_.fileIntake().dragDropFolderAndFiles(paths); });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { albumKineloTableViewSelectChange(); });
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
    const auto pathRow = [&](const QString& caption, const QString& name,
                             const QString& notification, const QString& buttonName, int tag) {
        auto* field = new DragDropTextField(pairPane);
        field->setObjectName(name);
        field->setAccessibleName(caption);
        field->setNotificationName(notification);
        field->setReadOnly(true);
        // A long path is scrolled in the field; the tooltip shows it whole.
        connect(field, &QLineEdit::textChanged, field, &QLineEdit::setToolTip);
        auto* choose = new QPushButton(QStringLiteral("選択…"), pairPane);
        choose->setObjectName(buttonName);
        choose->setAccessibleName(caption + QStringLiteral("を選択"));
        choose->setProperty(kTag, tag);
        connect(choose, &QPushButton::clicked, this,
                [this, tag] { albumKineloInputWindowButtonAction(tag); });
        auto* label = new QLabel(caption, pairPane);
        label->setBuddy(field);
        auto* row = new QHBoxLayout;
        row->addWidget(field, 1);
        row->addWidget(choose);
        pairBox->addWidget(label);
        pairBox->addLayout(row);
        return field;
    };
    movField_ = pathRow(QStringLiteral("メッセージ動画"), QStringLiteral("albumKineloMovFilePath"),
                        QStringLiteral("albumKineloMovFilePath"),
                        QStringLiteral("albumKineloMovSelectButton"), 30);
    picField_ = pathRow(QStringLiteral("写真"), QStringLiteral("albumKineloPicFilePath"),
                        QStringLiteral("albumKineloPicFilePath"),
                        QStringLiteral("albumKineloPicSelectButton"), 31);
    connect(movField_, &DragDropTextField::fileDropped, this,
            [this](const QString&, const QStringList& paths) {
                albumKineloMovFilePathNotification(paths);
            });
    connect(picField_, &DragDropTextField::fileDropped, this,
            [this](const QString&, const QStringList& paths) {
                albumKineloPicFilePathNotification(paths);
            });
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
    connect(sheet, &QDialog::rejected, this, [this] {
        if (ctrl_.kineloWindowOpen()) {
            albumKineloInputSheetDidEnd(false);
        }
    });

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
    sheet_->resize(kWidth, paneHeight(tag_));
    albumKineloViewRefresh();
    ctrl_.menuUseOff();
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
        break;
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
    const int room = window_ != nullptr ? window_->height() : paneHeight(newTag);
    sheet_->resize(kWidth, std::min(paneHeight(newTag), std::max(room, 302)));
    tag_ = newTag;
    if (QAbstractButton* radio = typeGroup_->button(newTag)) {
        radio->setChecked(true);
    }
    albumKineloViewRefresh();
    if (newTag == 12) {
        Tool::alertWithMsg(QStringLiteral("ご注意"), caution());
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
        executeButton_->setEnabled(!movField_->text().isEmpty() && !picField_->text().isEmpty());
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
        UserDef::setAlbumKineloMovFilePath(movField_->text(), picField_->text());
        removeAllRecords();
    } else if (!ok && UserDef::isAlbumKineloFile()) {
        UserDef::removeAlbumKineloFile();
        clearPathFields();
        removeAllRecords();
    }
    ctrl_.setKineloWindowFlg(false);
    dropView_->dragDropOff();
    ctrl_.fileDragDropOn();
    if (sheet_->isVisible()) {
        sheet_->hide();
    }
    ctrl_.menuUseOn();
    ctrl_.comViewRefresh();
}

void AlbumKineloSheet::albumKineloMovFilePathNotification(const QStringList& paths) {
    if (!paths.isEmpty()) {
        movField_->setText(paths.first());
    }
    albumKineloViewRefresh();
}

void AlbumKineloSheet::albumKineloPicFilePathNotification(const QStringList& paths) {
    if (!paths.isEmpty()) {
        picField_->setText(paths.first());
    }
    albumKineloViewRefresh();
}

void AlbumKineloSheet::albumKineloFileSelectSheet(int tag) {
    const std::optional<QString> path = Tool::openFileSelect(
        tag == 30 ? QStringLiteral("メッセージ動画の選択") : QStringLiteral("写真の選択"));
    if (!path || path->isEmpty() || !QFileInfo(*path).isFile()) {
        return;
    }
    if (tag == 30) {
        albumKineloMovFilePathNotification({*path});
    } else {
        albumKineloPicFilePathNotification({*path});
    }
}

void AlbumKineloSheet::albumKineloTableViewSelectChange() {
    albumKineloViewRefresh();
}

void AlbumKineloSheet::clearPathFields() {
    movField_->clear();
    picField_->clear();
    albumKineloViewRefresh();
}

// --- The list ---

QStringList AlbumKineloSheet::orderFileInfoArray() const {
    return ctrl_.listFilePaths(FileListKind::Kinelo);
}

QString AlbumKineloSheet::allFileNameStr() const {
    return FileIntake::allFileNameStr(orderFileInfoArray());
}

int AlbumKineloSheet::fileCount() const {
    return static_cast<int>(orderFileInfoArray().size());
}

bool AlbumKineloSheet::isSelectedRow() const {
    return table_->selectionModel() != nullptr && table_->selectionModel()->hasSelection();
}

void AlbumKineloSheet::removeAllRecords() {
    ctrl_.setListRows(FileListKind::Kinelo, {});
}

void AlbumKineloSheet::removeSelectedRecords() {
    QList<QVariantMap> rows = ctrl_.listRows(FileListKind::Kinelo);
    QList<int> selected;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        selected.append(index.row());
    }
    std::sort(selected.begin(), selected.end(), std::greater<>());
    for (int row : selected) {
        if (row >= 0 && row < rows.size()) {
            rows.removeAt(row);
        }
    }
    table_->clearSelection();
    ctrl_.setListRows(FileListKind::Kinelo, rows);
}

void AlbumKineloSheet::reloadData() {
    const QStringList paths = orderFileInfoArray();
    const bool thumbnails =
        UserDef::stringForKey(QStringLiteral("ThumbnailView")).value_or(QStringLiteral("ON")) ==
        QStringLiteral("ON");
    model_->removeRows(0, model_->rowCount());
    for (int i = 0; i < paths.size(); ++i) {
        QList<QStandardItem*> row{new QStandardItem(QStringLiteral("\n%1").arg(i + 1)),
                                  new QStandardItem(QFileInfo(paths[i]).fileName()),
                                  new QStandardItem};
        if (thumbnails) {
            row[2]->setData(thumbnail(paths[i]), Qt::DecorationRole);
        }
        model_->appendRow(row);
    }
    if (thumbnails) {
        table_->verticalHeader()->setDefaultSectionSize(74);
    }
    table_->setVisible(!paths.isEmpty());
    if (tableHint_ != nullptr) {
        tableHint_->setVisible(paths.isEmpty());
    }
}
