#include "ui/ResizeTabPage.h"

#include "app/AppCtrl.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/DragDropScrollView.h"
#include "ui/ProductPopUpComboBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const char* const kPopNames[5] = {"resizeCategoryPop", "resizeSizePop", "resizeSurfacePop",
                                  "resizeGoodsPop", "resizeGoodsOptionPop"};
const char* const kPopLabels[5] = {"カテゴリ", "サイズ", "面質", "商品", "オプション"};

} // namespace

ResizeTabPage::ResizeTabPage(AppCtrl& ctrl, QWidget* parent)
    : OrderTabPage(OrderTab::Resize, ctrl, QStringLiteral("resizeResizeAndSendButton"), parent),
      form_(new ResizeForm([&ctrl] { return ctrl.productData(); }, this)) {
    dragDropView()->setHintText(QStringLiteral(
        "ここにJPEGファイル、またはJPEGファイルを含むフォルダをドロップしてください"));
    if (QLabel* hint = dragDropMsg()) {
        hint->setAccessibleName(hint->text());
    }

    auto* productForm = new QFormLayout;
    productForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    productForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    QList<QLabel*> captions;
    for (int i = 0; i < 5; ++i) {
        auto* pop = new ProductPopUpComboBox(401 + i, this);
        pop->setObjectName(QString::fromLatin1(kPopNames[i]));
        pop->setAccessibleName(QString::fromUtf8(kPopLabels[i]));
        pop->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(pop, &QComboBox::activated, this, [this, pop, i](int index) {
            forwardTypedCount();
            form_->choose(static_cast<ResizeForm::Pop>(i), index);
            resizeAction(pop->tag());
        });
        pops_[i] = pop;
        auto* caption = new QLabel(QString::fromUtf8(kPopLabels[i]), this);
        caption->setBuddy(pop);
        productForm->addRow(caption, pop);
        captions.append(caption);
    }

    orderNum_ = new QComboBox(this);
    orderNum_->setObjectName(QStringLiteral("resizeOrderNum"));
    orderNum_->setAccessibleName(QStringLiteral("枚数"));
    orderNum_->setEditable(true);
    orderNum_->setInsertPolicy(QComboBox::NoInsert);
    for (int i = 1; i <= 10; ++i) {
        orderNum_->addItem(QString::number(i));
    }
    orderNum_->setMinimumContentsLength(5);
    orderNum_->setProperty("tag", 430);
    connect(orderNum_, &QComboBox::activated, this, [this] { resizeAction(430); });
    connect(orderNum_->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { resizeAction(430); });

    resizeExeCheck_ = new QCheckBox(QStringLiteral("適切なサイズにリサイズする"), this);
    resizeExeCheck_->setObjectName(QStringLiteral("resizeResizeExeCheck"));
    resizeExeCheck_->setAccessibleName(resizeExeCheck_->text());
    resizeExeCheck_->setProperty("tag", 431);
    resizeExeCheck_->setEnabled(false);
    connect(resizeExeCheck_, &QCheckBox::clicked, this, [this](bool checked) {
        form_->setResizeMode(checked);
        resizeAction(431);
    });

    orderMemo_ = new QPlainTextEdit(this);
    orderMemo_->setObjectName(QStringLiteral("resizeOrderMemo"));
    orderMemo_->setAccessibleName(QStringLiteral("注文メモ"));
    connect(orderMemo_, &QPlainTextEdit::textChanged, this, [this] {
        if (!refreshing_) {
            form_->setMemo(orderMemo_->toPlainText());
            form_->saveResizetUiInfo();
        }
    });

    makeSelectionControls(imageFolderPath_, imageFolderSelectButton_, fileInfoTextView_);
    imageFolderSelectButton_->setProperty("tag", 421);
    imageFolderSelectButton_->setAutoDefault(false);
    connect(imageFolderSelectButton_, &QPushButton::clicked, this, [this] { resizeAction(421); });

    auto* countRow = new QHBoxLayout;
    countRow->addWidget(orderNum_);
    countRow->addSpacing(fontMetrics().horizontalAdvance(u'0') * 2);
    countRow->addWidget(resizeExeCheck_, 1);
    auto* orderForm = new QFormLayout;
    orderForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    orderForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto* countCaption = new QLabel(QStringLiteral("枚数"), this);
    countCaption->setBuddy(orderNum_);
    orderForm->addRow(countCaption, countRow);

    auto* row = new QHBoxLayout;
    row->addLayout(productForm, 1);
    row->addSpacing(fontMetrics().horizontalAdvance(u'0') * 2);
    row->addLayout(orderForm, 1);
    layOutSelection(imageFolderPath_, imageFolderSelectButton_, fileInfoTextView_, row, orderMemo_);
    // The product captions stand in one column with 選択 and メモ.
    addCaptions(captions);

    sendButton()->setProperty("tag", 422);
    cancelButton()->setProperty("tag", 423);
    // Only the base page's click handler goes; dropping every connection would also cut the
    // accessibility cache's destroyed() hook and leave a stale interface behind.
    disconnect(cancelButton(), &QPushButton::clicked, this, nullptr);
    connect(cancelButton(), &QPushButton::clicked, this, [this] { resizeAction(423); });
    connect(sendButton(), &QPushButton::clicked, this, [this] { resizeAction(422); });
    connect(form_, &ResizeForm::formChanged, this, &ResizeTabPage::present);
}

// --- Presenting ---

void ResizeTabPage::present() {
    const bool wasRefreshing = refreshing_;
    refreshing_ = true;
    // The whole selection is ordered in the chosen size: its files are judged against it.
    ctrl().setPreflightSizeName(OrderTab::Resize,
                                form_->pop(ResizeForm::Size).selectedRecordName());
    for (int i = 0; i < ResizeForm::PopCount; ++i) {
        presentPopUp(pops_[i], form_->pop(static_cast<ResizeForm::Pop>(i)));
    }
    if (orderNum_->currentText() != form_->orderNum()) {
        orderNum_->setEditText(form_->orderNum());
    }
    if (orderMemo_->toPlainText() != form_->memo()) {
        orderMemo_->setPlainText(form_->memo());
    }
    resizeExeCheck_->setChecked(form_->isResizeMode());
    sendButton()->setText(form_->isResizeMode() ? QStringLiteral("リサイズして送信")
                                                : QStringLiteral("送　信"));
    sendButton()->setAccessibleName(form_->isResizeMode() ? QStringLiteral("リサイズして送信")
                                                          : QStringLiteral("送信"));
    refreshing_ = wasRefreshing;
}

void ResizeTabPage::forwardTypedCount() {
    form_->setOrderNum(orderNum_->currentText());
}

void ResizeTabPage::resizeUIInit() {
    form_->resizeUIInit();
    resizeViewRefresh();
}

// --- Refresh ---

void ResizeTabPage::resizeViewRefresh() {
    AppCtrl& c = ctrl();
    forwardTypedCount();
    imageFolderPath_->setText(c.selectInfoOf(OrderTab::Resize));
    imageFileNum()->setText(c.fileCountTextOf(OrderTab::Resize));
    showFileNames(c.fileInfoTextOf(OrderTab::Resize));
    const bool hasFiles = !c.selectFilesOf(OrderTab::Resize).isEmpty();

    bool form = false;
    bool send = false;
    bool cancel = false;
    QString reason;
    const FormState state = formState(reason);
    form_->resizeViewRefresh(state == FormState::Usable);
    if (state == FormState::JobRunning) {
        cancel = true;
    } else if (state == FormState::Usable) {
        form = true;
        reason = form_->resizeSendBlock(hasFiles);
        send = reason.isEmpty();
    }
    imageFolderSelectButton_->setEnabled(form);
    present();
    for (ProductPopUpComboBox* pop : pops_) {
        pop->setEnabled(form);
        pop->autoDisable();
    }
    orderNum_->setEnabled(form);
    orderMemo_->setEnabled(form);
    resizeExeCheck_->setEnabled(form && form_->isResizeProduct());
    cancelButton()->setEnabled(cancel);
    setSendEnabled(send, reason);
    // A count being typed is left as it is until the user leaves the box.
    if (!orderNum_->lineEdit()->hasFocus()) {
        form_->settleOrderNum();
    }
    updateDropHint();
    form_->saveResizetUiInfo();
}

// --- Actions ---

void ResizeTabPage::resizeAction(int tag) {
    forwardTypedCount();
    form_->normaliseOrderNum();
    Log::outputLn(QStringLiteral("Resize（%1）").arg(tag));
    switch (tag) {
    case 421:
        ctrl().fileIntake().imageFolderSelect(window());
        break;
    case 422:
        UserDef::setExecuteButton(QStringLiteral("BtSend"));
        break;
    case 423:
        ctrl().cancelBtJob();
        break;
    default: // the pop-ups' cascade is the form's; the count and the box only refresh
        break;
    }
    ctrl().comViewRefresh();
    if (tag == 422) {
        ctrl().executeOrderActionJob();
    }
}
