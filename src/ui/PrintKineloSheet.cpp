#include "ui/PrintKineloSheet.h"

#include "app/AppCtrl.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/DialogConvention.h"
#include "ui/KineloSheetParts.h"
#include "ui/ReadingOrder.h"
#include "util/Tool.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kWidth = 478;

} // namespace

PrintKineloSheet::PrintKineloSheet(QWidget* window, AppCtrl& ctrl, QObject* parent)
    : SheetBase(window, ctrl, parent) {
    build();
}

PrintKineloSheet::~PrintKineloSheet() = default;

void PrintKineloSheet::build() {
    QDialog* sheet = makeSheet(QStringLiteral("printKineloInputWindow"));

    auto* box = new QVBoxLayout(sheet);
    auto* intro = new QLabel(QStringLiteral("メッセージ動画ひとつと写真ひとつを登録します。\n"
                                            "登録したファイルは次のプリントのご注文と一緒に"
                                            "お送りします。"),
                             sheet);
    intro->setWordWrap(true);
    box->addWidget(intro);
    makePathPair(sheet, box, QStringLiteral("print"),
                 [this](int tag) { printKineloInputWindowButtonAction(tag); });
    box->addStretch(1);

    cancelButton_ = new QPushButton(QStringLiteral("閉じる"), sheet);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setAccessibleName(QStringLiteral("閉じる"));
    cancelButton_->setProperty("tag", 0);
    executeButton_ = new QPushButton(QStringLiteral("登録"), sheet);
    executeButton_->setObjectName(QStringLiteral("okButton"));
    executeButton_->setAccessibleName(QStringLiteral("登録"));
    executeButton_->setProperty("tag", 1);
    executeButton_->setDefault(true);
    connect(cancelButton_, &QPushButton::clicked, this,
            [this] { printKineloInputWindowButtonAction(0); });
    connect(executeButton_, &QPushButton::clicked, this,
            [this] { printKineloInputWindowButtonAction(1); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(executeButton_);
    box->addLayout(buttons);
}

void PrintKineloSheet::printKineloAction() {
    ctrl_.setKineloWindowFlg(true);
    ctrl_.fileDragDropOff();
    cancelButton_->setText(UserDef::isPrintKineloFile() ? QStringLiteral("キネロ登録の削除")
                                                        : QStringLiteral("閉じる"));
    cancelButton_->setAccessibleName(cancelButton_->text());
    printKineloViewRefresh();
    ctrl_.menuUseOff();
    Tool::alertWithMsg(QStringLiteral("ご注意"), kinelo::caution());
    // As tall as its two fields need: a fixed height left an empty band above the buttons.
    const QSize hint = sheet_->sizeHint();
    fitToAvailableScreen(sheet_, QSize(std::max(kWidth, hint.width()), hint.height()));
    keepReadingOrder(sheet_);
    sheet_->open();
}

void PrintKineloSheet::printKineloInputWindowButtonAction(int tag) {
    Log::outputLn(QStringLiteral("tag(%1)").arg(tag));
    switch (tag) {
    case 0:
        printKineloInputSheetDidEnd(false);
        break;
    case 1:
        printKineloInputSheetDidEnd(true);
        break;
    case kinelo::kChooseVideoTag:
    case kinelo::kChoosePictureTag:
        printKineloFileSelectSheet(tag);
        return; // the chooser's end refreshes
    default:
        break;
    }
    printKineloViewRefresh();
}

void PrintKineloSheet::printKineloViewRefresh() {
    executeButton_->setEnabled(pathPair_->isComplete());
}

void PrintKineloSheet::printKineloInputSheetDidEnd(bool ok) {
    if (ok) {
        UserDef::setPrintKineloMovFilePath(pathPair_->movPath(), pathPair_->picPath());
    } else if (UserDef::isPrintKineloFile()) {
        UserDef::removePrintKineloFile();
        clearPathFields();
    }
    sheetClosed();
}

void PrintKineloSheet::printKineloMovFilePathNotification(const QStringList& paths) {
    takePath(kinelo::kChooseVideoTag, paths);
}

void PrintKineloSheet::printKineloPicFilePathNotification(const QStringList& paths) {
    takePath(kinelo::kChoosePictureTag, paths);
}

void PrintKineloSheet::printKineloFileSelectSheet(int tag) {
    printKineloFileSelectPanelDidEnd(kinelo::chooseFile(tag), tag);
}

void PrintKineloSheet::printKineloFileSelectPanelDidEnd(const std::optional<QString>& path,
                                                        int tag) {
    takePath(tag, path ? QStringList{*path} : QStringList{});
}
