#include "ui/ResizeTabPage.h"

#include "app/AppCtrl.h"
#include "product/ProductData.h"
#include "product/ProductResizeData.h"
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
const char* const kDicKeys[5] = {"ResizeCateoryPopKey", "ResizeSizePopKey", "ResizeSurfacePopKey",
                                 "ResizeGoodsPopKey", "ResizeGoodsOptionPopKey"};

} // namespace

ResizeTabPage::ResizeTabPage(AppCtrl& ctrl, QWidget* parent)
    : OrderTabPage(OrderTab::Resize, ctrl, QStringLiteral("resizeResizeAndSendButton"), parent) {
    dragDropView()->setHintText(QStringLiteral(
        "ここにJPEGファイル、またはJPEGファイルを含むフォルダをドロップしてください"));
    if (QLabel* hint = dragDropMsg()) {
        hint->setAccessibleName(hint->text());
    }

    auto* productForm = new QFormLayout;
    productForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    productForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (int i = 0; i < 5; ++i) {
        auto* pop = new ProductPopUpComboBox(401 + i, this);
        pop->setObjectName(QString::fromLatin1(kPopNames[i]));
        pop->setAccessibleName(QString::fromUtf8(kPopLabels[i]));
        pop->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(pop, &QComboBox::activated, this, [this, pop] { resizeAction(pop->tag()); });
        pops_[i] = pop;
        productForm->addRow(QString::fromUtf8(kPopLabels[i]), pop);
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
    connect(resizeExeCheck_, &QCheckBox::clicked, this, [this] { resizeAction(431); });

    orderMemo_ = new QPlainTextEdit(this);
    orderMemo_->setObjectName(QStringLiteral("resizeOrderMemo"));
    orderMemo_->setAccessibleName(QStringLiteral("注文メモ"));
    orderMemo_->setTabChangesFocus(true);
    orderMemo_->setMaximumHeight(fontMetrics().height() * 4);
    connect(orderMemo_, &QPlainTextEdit::textChanged, this, [this] { saveResizetUiInfo(); });

    makeSelectionControls(imageFolderPath_, imageFolderSelectButton_, fileInfoTextView_);
    imageFolderSelectButton_->setProperty("tag", 421);
    imageFolderSelectButton_->setAutoDefault(false);
    connect(imageFolderSelectButton_, &QPushButton::clicked, this, [this] { resizeAction(421); });
    // The chosen files are listed inside the drop area, where the hint stood; drops on the list
    // go to the area around it.
    fileInfoTextView_->setAcceptDrops(false);
    fileInfoTextView_->viewport()->setAcceptDrops(false);
    fileInfoTextView_->setFrameShape(QFrame::NoFrame);
    fileInfoTextView_->setVisible(false);
    dragDropView()->layout()->addWidget(fileInfoTextView_);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(imageFolderPath_, 1);
    folderRow->addWidget(imageFolderSelectButton_);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(orderNum_);
    countRow->addSpacing(fontMetrics().horizontalAdvance(u'0') * 2);
    countRow->addWidget(resizeExeCheck_, 1);
    auto* orderForm = new QFormLayout;
    orderForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    orderForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    orderForm->addRow(QStringLiteral("選択"), folderRow);
    orderForm->addRow(QStringLiteral("枚数"), countRow);
    orderForm->addRow(QStringLiteral("メモ"), orderMemo_);

    auto* row = new QHBoxLayout;
    row->addLayout(productForm, 1);
    row->addSpacing(fontMetrics().horizontalAdvance(u'0') * 2);
    row->addLayout(orderForm, 1);
    formLayout()->addLayout(row);
    if (auto* box = qobject_cast<QBoxLayout*>(layout())) {
        box->setStretchFactor(formLayout(), 0);
    }
    sendButton()->setMinimumWidth(
        fontMetrics().horizontalAdvance(QStringLiteral("リサイズして送信")) +
        fontMetrics().horizontalAdvance(u'0') * 4);

    sendButton()->setProperty("tag", 422);
    cancelButton()->setProperty("tag", 423);
    disconnect(cancelButton(), nullptr, nullptr, nullptr);
    connect(cancelButton(), &QPushButton::clicked, this, [this] { resizeAction(423); });
    connect(sendButton(), &QPushButton::clicked, this, [this] { resizeAction(422); });
}

// --- Pop-ups ---

void ResizeTabPage::rebuild(int index) {
    ProductPopUpComboBox* pop = pops_[index];
    ProductData* products = ctrl().productData();
    const auto catalogue = products != nullptr ? products->resizeData() : nullptr;
    std::optional<QVariantMap> query;
    switch (index) {
    case 1:
        query = QVariantMap{
            {QStringLiteral("list_id"), pops_[0]->selectedRecordId().value_or(QString())}};
        break;
    case 2:
    case 3:
        query = QVariantMap{{QStringLiteral("size_id"),
                             pops_[1]->selectedRecordId().value_or(QStringLiteral("-1"))}};
        break;
    case 4:
        query = QVariantMap{{QStringLiteral("goods_id"),
                             pops_[3]->selectedRecordId().value_or(QStringLiteral("-1"))}};
        break;
    default:
        break;
    }
    if (catalogue) {
        catalogue->makePopup(*pop, query);
    } else {
        pop->removeAllItems();
    }
    if (index == 0) {
        pop->addPleaseSelect();
        pop->setEnabled(true);
    }
    if (pop->numberOfItems() > 0 && pop->indexOfSelectedItem() != 0) {
        pop->selectItemAtIndex(0);
    }
}

void ResizeTabPage::resizeCategoryPopRebuild() {
    rebuild(0);
}

void ResizeTabPage::resizeSizePopRebuild() {
    rebuild(1);
}

void ResizeTabPage::resizeSurfacePopRebuild() {
    rebuild(2);
}

void ResizeTabPage::resizeGoodsPopRebuild() {
    rebuild(3);
}

void ResizeTabPage::resizeGoodsOptionPopRebuild() {
    rebuild(4);
}

void ResizeTabPage::resizeUIInit() {
    for (int i = 0; i < 5; ++i) {
        rebuild(i);
    }
    initialised_ = true;
    resizeViewRefresh();
}

// --- Queries ---

bool ResizeTabPage::isResizeProductRecord(const QVariantMap& sizeRecord) {
    bool ok = false;
    const qint64 pix =
        sizeRecord.value(QStringLiteral("resize_pix")).toString().trimmed().toLongLong(&ok);
    return ok && pix >= 101 && pix <= 4999;
}

bool ResizeTabPage::isResizeProduct() const {
    const std::optional<ProductRecord> size = pops_[1]->selectedRecordDic();
    return size && isResizeProductRecord(*size);
}

bool ResizeTabPage::isResizeMode() const {
    return resizeExeCheck_->isChecked();
}

bool ResizeTabPage::isNotOrderCategoryPop() const {
    return pops_[0]->isPleaseSelect();
}

// --- Refresh ---

void ResizeTabPage::resizeViewRefresh() {
    AppCtrl& c = ctrl();
    imageFolderPath_->setText(c.selectInfoOf(OrderTab::Resize));
    imageFileNum()->setText(c.fileCountTextOf(OrderTab::Resize));
    if (fileInfoTextView_->toPlainText() != c.fileInfoTextOf(OrderTab::Resize)) {
        fileInfoTextView_->setPlainText(c.fileInfoTextOf(OrderTab::Resize));
    }
    const bool hasFiles = !c.selectFilesOf(OrderTab::Resize).isEmpty();
    const bool resizeProduct = isResizeProduct();
    const bool becameResizeProduct = resizeProduct && !lastSizeWasResizeProduct_;
    lastSizeWasResizeProduct_ = resizeProduct;

    bool form = false;
    bool send = false;
    bool cancel = false;
    bool check = false;
    QString reason;
    const FormState state = formState(reason);
    if (state == FormState::JobRunning) {
        cancel = true;
    } else if (state == FormState::Usable) {
        form = true;
        if (resizeProduct) {
            check = true;
            if (becameResizeProduct) {
                resizeExeCheck_->setChecked(true);
            }
        } else {
            resizeExeCheck_->setChecked(false);
        }
        send = hasFiles && !isNotOrderCategoryPop();
        reason = !hasFiles ? QStringLiteral("送信するファイルまたはフォルダをドロップしてください")
                           : QStringLiteral("商品を選択してください");
    }
    imageFolderSelectButton_->setEnabled(form);
    for (ProductPopUpComboBox* pop : pops_) {
        pop->setEnabled(form);
        pop->autoDisable();
    }
    orderNum_->setEnabled(form);
    orderMemo_->setEnabled(form);
    resizeExeCheck_->setEnabled(check);
    cancelButton()->setEnabled(cancel);
    setSendEnabled(send, reason);
    const QString title = resizeExeCheck_->isChecked() ? QStringLiteral("リサイズして送信")
                                                       : QStringLiteral("送　信");
    sendButton()->setText(title);
    if (!orderNum_->lineEdit()->hasFocus()) {
        const QString count = countAtLeastOne(orderNum_->currentText());
        if (orderNum_->currentText() != count) {
            orderNum_->setEditText(count);
        }
    }
    updateDropHint();
    fileInfoTextView_->setVisible(dragDropMsg() != nullptr && dragDropMsg()->isHidden());
    saveResizetUiInfo();
}

QVariantMap ResizeTabPage::nowResizeUiDic() const {
    QVariantMap dic;
    for (int i = 0; i < 5; ++i) {
        if (const std::optional<ProductRecord> record = pops_[i]->selectedRecordDic()) {
            dic.insert(QString::fromLatin1(kDicKeys[i]), *record);
        }
    }
    dic.insert(QStringLiteral("ResizeOrderNumKey"), orderNum_->currentText());
    dic.insert(QStringLiteral("ResizeOrderMemoKey"), orderMemo_->toPlainText());
    if (resizeExeCheck_->isChecked()) {
        dic.insert(QStringLiteral("ResizeResizeCbKey"), QStringLiteral("On"));
    }
    return dic;
}

void ResizeTabPage::saveResizetUiInfo() {
    if (initialised_) {
        UserDef::setResizeDic(nowResizeUiDic());
    }
}

// --- Actions ---

void ResizeTabPage::resizeAction(int tag) {
    const QString count = AppCtrl::orderNumCheckAndConvert(orderNum_->currentText());
    if (orderNum_->currentText() != count) {
        orderNum_->setEditText(count);
    }
    Log::outputLn(QStringLiteral("Resize（%1）").arg(tag));
    switch (tag) {
    case 401:
        for (int i = 1; i < 5; ++i) {
            rebuild(i);
        }
        break;
    case 402:
        for (int i = 2; i < 5; ++i) {
            rebuild(i);
        }
        break;
    case 404:
        rebuild(4);
        break;
    case 421:
        ctrl().fileIntake().imageFolderSelect(window());
        break;
    case 422:
        UserDef::setExecuteButton(QStringLiteral("BtSend"));
        break;
    case 423:
        ctrl().cancelBtJob();
        break;
    default:
        break;
    }
    ctrl().comViewRefresh();
    if (tag == 422) {
        ctrl().executeOrderActionJob();
    }
}

void ResizeTabPage::orderMemoClear() {
    orderMemo_->clear();
}
