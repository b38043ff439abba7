#include "ui/EtcTabPage.h"

#include "app/AppCtrl.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/DragDropScrollView.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

EtcTabPage::EtcTabPage(AppCtrl& ctrl, QWidget* parent)
    : OrderTabPage(OrderTab::Etc, ctrl, QStringLiteral("etcSendButton"), parent) {
    makeSelectionControls(imageFolderPath_, imageFolderSelectButton_, fileInfoTextView_);

    orderMemo_ = new QPlainTextEdit(this);
    orderMemo_->setObjectName(QStringLiteral("etcOrderMemo"));
    orderMemo_->setAccessibleName(QStringLiteral("注文メモ"));
    kineloButton_ = new QPushButton(QStringLiteral("キネロのお申し込み"), this);
    kineloButton_->setObjectName(QStringLiteral("etcKineloButton"));
    kineloButton_->setAccessibleName(QStringLiteral("キネロのお申し込み"));
    kineloButton_->setVisible(false); // hidden for the whole run

    layOutSelection(imageFolderPath_, imageFolderSelectButton_, fileInfoTextView_, nullptr,
                    orderMemo_);

    sendButton()->setProperty("tag", 502);
    cancelButton()->setProperty("tag", 503);
    imageFolderSelectButton_->setProperty("tag", 501);
    // The cancel button of the base page asks directly; here it goes through the tab's action.
    // Only that click handler goes: dropping every connection would also cut the accessibility
    // cache's destroyed() hook and leave a stale interface behind.
    disconnect(cancelButton(), &QPushButton::clicked, this, nullptr);
    connect(cancelButton(), &QPushButton::clicked, this, [this] { etcAction(503); });
    connect(sendButton(), &QPushButton::clicked, this, [this] { etcAction(502); });
    connect(imageFolderSelectButton_, &QPushButton::clicked, this, [this] { etcAction(501); });
    connect(orderMemo_, &QPlainTextEdit::textChanged, this, [this] {
        UserDef::setEtcDic({{QStringLiteral("EtcOrderMemoKey"), orderMemo_->toPlainText()}});
    });
}

void EtcTabPage::etcUIInit() {
    etcViewRefresh();
}

void EtcTabPage::etcViewRefresh() {
    AppCtrl& c = ctrl();
    imageFolderPath_->setText(c.selectInfoOf(OrderTab::Etc));
    imageFileNum()->setText(c.fileCountTextOf(OrderTab::Etc));
    showFileNames(c.fileInfoTextOf(OrderTab::Etc));
    const bool hasFiles = !c.selectFilesOf(OrderTab::Etc).isEmpty();

    bool folder = false;
    bool memo = false;
    bool send = false;
    bool cancel = false;
    QString reason;
    const FormState state = formState(reason);
    if (state == FormState::JobRunning) {
        cancel = true;
    } else if (state == FormState::Usable) {
        folder = true;
        memo = true;
        send = hasFiles;
        reason = QStringLiteral("送信するファイルをドロップしてください");
    }
    imageFolderSelectButton_->setEnabled(folder);
    orderMemo_->setEnabled(memo);
    kineloButton_->setEnabled(send);
    cancelButton()->setEnabled(cancel);
    setSendEnabled(send, reason);
    updateDropHint();
    UserDef::setEtcDic({{QStringLiteral("EtcOrderMemoKey"), orderMemo_->toPlainText()}});
}

void EtcTabPage::etcAction(int tag) {
    Log::outputLn(QStringLiteral("Etc（%1）").arg(tag));
    switch (tag) {
    case 501:
        ctrl().fileIntake().imageFolderSelect(window());
        break;
    case 502:
        UserDef::setExecuteButton(QStringLiteral("BtSend"));
        ctrl().comViewRefresh();
        ctrl().executeOrderActionJob();
        break;
    case 503:
        ctrl().cancelBtJob();
        break;
    default:
        break;
    }
    ctrl().comViewRefresh();
}

void EtcTabPage::orderMemoClear() {
    orderMemo_->clear();
}
