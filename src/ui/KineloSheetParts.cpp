#include "ui/KineloSheetParts.h"

#include "app/AppCtrl.h"
#include "app/FileIntake.h"
#include "settings/Log.h"
#include "ui/DragDropTextField.h"
#include "util/Tool.h"

#include <QDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kinelo {

QString caution() {
    return QStringLiteral("1回のご発注は写真画像ひとつとメッセージ動画ひとつの1セットのみとなってお"
                          "ります。\n\n登録した動画の編集はできませんので、編集済みの動画をご発注く"
                          "ださい。\n\n音楽のご利用については著作権の問題がございますので、メッセ"
                          "ージ動画のみをご登録ください。");
}

namespace {

DragDropTextField* addPathRow(QWidget* pane, QVBoxLayout* box, const QString& caption,
                              const QString& fieldName, int tag,
                              const std::function<void(int)>& pressed) {
    auto* field = new DragDropTextField(pane);
    field->setObjectName(fieldName);
    field->setAccessibleName(caption);
    field->setNotificationName(fieldName);
    field->setReadOnly(true);
    field->setPlaceholderText(QStringLiteral("ここにファイルをドロップ"));
    // A long path is scrolled in the field; the tooltip shows it whole.
    QObject::connect(field, &QLineEdit::textChanged, field, &QLineEdit::setToolTip);
    auto* choose = new QPushButton(QStringLiteral("選択…"), pane);
    QString buttonName = fieldName;
    buttonName.replace(QStringLiteral("FilePath"), QStringLiteral("SelectButton"));
    choose->setObjectName(buttonName);
    choose->setAccessibleName(caption + QStringLiteral("を選択"));
    choose->setProperty("tag", tag);
    QObject::connect(choose, &QPushButton::clicked, field, [pressed, tag] { pressed(tag); });
    auto* label = new QLabel(caption, pane);
    label->setBuddy(field);
    auto* row = new QHBoxLayout;
    row->addWidget(field, 1);
    row->addWidget(choose);
    box->addWidget(label);
    box->addLayout(row);
    return field;
}

} // namespace

PathPair::PathPair(QWidget* pane, QVBoxLayout* box, const QString& prefix,
                   const std::function<void(int)>& pressed,
                   const std::function<void(int, const QStringList&)>& dropped) {
    mov_ = addPathRow(pane, box, QStringLiteral("メッセージ動画"),
                      prefix + QStringLiteral("KineloMovFilePath"), kChooseVideoTag, pressed);
    pic_ = addPathRow(pane, box, QStringLiteral("写真"),
                      prefix + QStringLiteral("KineloPicFilePath"), kChoosePictureTag, pressed);
    for (const auto& [field, tag] : {std::pair{mov_, kChooseVideoTag}, {pic_, kChoosePictureTag}}) {
        QObject::connect(field, &DragDropTextField::fileDropped, field,
                         [dropped, tag = tag](const QString&, const QStringList& paths) {
                             dropped(tag, paths);
                         });
    }
}

QString PathPair::movPath() const {
    return mov_->text();
}

QString PathPair::picPath() const {
    return pic_->text();
}

void PathPair::take(int tag, const QStringList& paths) {
    if (!paths.isEmpty()) {
        (tag == kChooseVideoTag ? mov_ : pic_)->setText(paths.first());
    }
}

void PathPair::clear() {
    mov_->clear();
    pic_->clear();
}

void PathPair::dragDropOn() {
    mov_->dragDropOn();
    pic_->dragDropOn();
}

std::optional<QString> chooseFile(int tag) {
    const std::optional<QString> path =
        Tool::openFileSelect(tag == kChooseVideoTag ? QStringLiteral("メッセージ動画の選択")
                                                    : QStringLiteral("写真の選択"));
    if (!path || path->isEmpty() || !QFileInfo(*path).isFile()) {
        return std::nullopt;
    }
    return path;
}

SheetBase::SheetBase(QWidget* window, AppCtrl& ctrl, QObject* parent)
    : QObject(parent), window_(window), ctrl_(ctrl) {}

SheetBase::~SheetBase() = default;

QDialog* SheetBase::makeSheet(const QString& objectName) {
    auto* sheet = new QDialog(window_);
    sheet->setObjectName(objectName);
    sheet->setWindowTitle(QStringLiteral("キネロのお申し込み"));
    sheet->setAccessibleName(QStringLiteral("キネロのお申し込み"));
    sheet->setWindowModality(Qt::WindowModal);
    sheet_ = sheet;
    connect(sheet, &QDialog::rejected, this, [this] {
        if (ctrl_.kineloWindowOpen()) {
            Log::outputLn(QStringLiteral("キネロ画面を閉じる（登録内容は変更なし）"));
            sheetClosed();
        }
    });
    return sheet;
}

void SheetBase::makePathPair(QWidget* pane, QVBoxLayout* box, const QString& prefix,
                             const std::function<void(int)>& buttonAction) {
    pathPair_ = std::make_unique<PathPair>(
        pane, box, prefix, buttonAction,
        [this](int tag, const QStringList& paths) { takePath(tag, paths); });
}

void SheetBase::takePath(int tag, const QStringList& paths) {
    // The video and its picture travel in the archive like any other file.
    if (FileIntake::refuseUnpairableNames(paths)) {
        return;
    }
    pathPair_->take(tag, paths);
    viewRefresh();
}

void SheetBase::clearPathFields() {
    pathPair_->clear();
    viewRefresh();
}

void SheetBase::pathFieldsDragDropOn() {
    pathPair_->dragDropOn();
}

void SheetBase::sheetClosed() {
    ctrl_.setKineloWindowFlg(false);
    ctrl_.fileDragDropOn();
    if (sheet_->isVisible()) {
        sheet_->hide();
    }
    ctrl_.menuUseOn();
    ctrl_.comViewRefresh();
}

} // namespace kinelo
