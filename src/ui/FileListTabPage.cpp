#include "ui/FileListTabPage.h"

#include "app/AppCtrl.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/DragDropScrollView.h"
#include "ui/PrintFileListCtrl.h"
#include "ui/PrintFileListDataSource.h"
#include "ui/ProductPopUpComboBox.h"
#include "ui/ReadingOrder.h"
#include "util/Tool.h"

#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const QString kMemoTitle = QStringLiteral("添付メモ");
const QString kMemoTitleSet = QStringLiteral("添付メモ有り");

QString lowerFirst(const QString& text) {
    return text.left(1).toLower() + text.mid(1);
}

QPushButton* makeButton(const QString& title, const QString& name, int tag, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setObjectName(name);
    // No fixed accessible name: a title that changes (添付メモ有り) is read as shown.
    button->setProperty("tag", tag);
    button->setAutoDefault(false);
    return button;
}

} // namespace

const QString FileListTabPage::kPleaseSelect = ProductPopUpButton::kPleaseSelectTitle;

FileListTabPage::FileListTabPage(OrderTab tab, AppCtrl& ctrl, const Names& names, QWidget* parent)
    : OrderTabPage(tab, ctrl, lowerFirst(names.prefix) + QStringLiteral("SendButton"), parent),
      names_(names),
      form_(new FileListForm(
          tab == OrderTab::Print ? FileListForm::Kind::Print : FileListForm::Kind::School,
          [&ctrl] { return ctrl.productData(); }, this)) {
    const QString p = lowerFirst(names.prefix);
    const int base = names.tagBase;

    // The list's hint names the keyboard's way in too.
    dragDropView()->setHintText(
        QStringLiteral("ここに画像ファイルをドロップしてください\n"
                       "（『ファイルを追加…』ボタンまたは Ctrl+O でも追加できます）"));
    if (QLabel* hint = dragDropMsg()) {
        hint->setAccessibleName(hint->text());
    }
    list_ = new PrintFileListCtrl(names.prefix, dragDropMsg(), dragDropView());
    dragDropView()->layout()->setContentsMargins(0, 0, 0, 0);
    dragDropView()->layout()->addWidget(list_);

    categoryPop_ = new ProductPopUpComboBox(base + 1, this);
    sizePop_ = new ProductPopUpComboBox(base + 2, this);
    surfacePop_ = new ProductPopUpComboBox(base + 3, this);
    laminatePop_ = new ProductPopUpComboBox(base + 4, this);
    const struct {
        ProductPopUpComboBox* pop;
        const char* name;
        const char* label;
    } pops[] = {{categoryPop_, "CategoryPop", "カテゴリ"},
                {sizePop_, "SizePop", "サイズ"},
                {surfacePop_, "SurfacePop", "面質"},
                {laminatePop_, "LaminatePop", "ラミネート"}};
    for (int i = 0; i < FileListForm::PopCount; ++i) {
        ProductPopUpComboBox* pop = pops[i].pop;
        pop->setObjectName(p + QLatin1String(pops[i].name));
        pop->setAccessibleName(QString::fromUtf8(pops[i].label));
        pop->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(pop, &QComboBox::activated, this, [this, pop, i](int index) {
            forwardTypedCount();
            form_->choose(static_cast<FileListForm::Pop>(i), index);
            tabAction(pop->tag());
        });
    }
    auto makeCaption = [&](const QString& text, const char* name) {
        auto* label = new QLabel(text, this);
        label->setObjectName(p + QLatin1String(name));
        return label;
    };
    sizeLabel_ = makeCaption(QStringLiteral("サイズ"), "SizeLabel");
    surfaceLabel_ = makeCaption(QStringLiteral("面質"), "SurfaceLabel");
    laminateLabel_ = makeCaption(QStringLiteral("ラミネート"), "LaminateLabel");
    sizeLabel_->setBuddy(sizePop_);
    surfaceLabel_->setBuddy(surfacePop_);
    laminateLabel_->setBuddy(laminatePop_);

    orderNum_ = new QComboBox(this);
    orderNum_->setObjectName(p + QStringLiteral("OrderNum"));
    orderNum_->setAccessibleName(QStringLiteral("枚数"));
    orderNum_->setEditable(true);
    orderNum_->setInsertPolicy(QComboBox::NoInsert);
    orderNum_->addItems(form_->orderNumChoices());
    orderNum_->setProperty("tag", base + 30);
    orderNum_->setMinimumContentsLength(5);
    // The count's choice reaches the form when the action forwards what the box shows.
    connect(orderNum_, &QComboBox::activated, this, [this, base] { tabAction(base + 30); });
    connect(orderNum_->lineEdit(), &QLineEdit::editingFinished, this,
            [this, base] { tabAction(base + 30); });

    orderSetButton_ = makeButton(QStringLiteral("選択ファイルに注文内容を設定"),
                                 p + QStringLiteral("OrderSetButton"), base + 21, this);
    anotherSizeButton_ = makeButton(QStringLiteral("別サイズでも注文"),
                                    p + QStringLiteral("AnotherSizeButton"), base + 25, this);
    addMemoOneFileButton_ = makeButton(QStringLiteral("選択ファイルにメモ"),
                                       p + QStringLiteral("AddMemoOneFileButton"), base + 22, this);
    addMemoAllButton_ =
        makeButton(kMemoTitle, p + QStringLiteral("AddMemoAllButton"), base + 26, this);
    kineloButton_ = makeButton(QStringLiteral("キネロのお申し込み"),
                               p + QStringLiteral("KineloButton"), 0, this);
    kineloButton_->setVisible(false); // hidden from start-up
    for (QPushButton* button :
         {orderSetButton_, anotherSizeButton_, addMemoOneFileButton_, addMemoAllButton_}) {
        connect(button, &QPushButton::clicked, this,
                [this, button] { tabAction(button->property("tag").toInt()); });
    }
    connect(kineloButton_, &QPushButton::clicked, this, [this] { kineloAction(); });

    // The form: the product chain on the left, count and the row operations on the right.
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto* categoryCaption = new QLabel(QStringLiteral("カテゴリ"), this);
    categoryCaption->setBuddy(categoryPop_);
    form->addRow(categoryCaption, categoryPop_);
    form->addRow(sizeLabel_, sizePop_);
    form->addRow(surfaceLabel_, surfacePop_);
    form->addRow(laminateLabel_, laminatePop_);

    auto* countRow = new QHBoxLayout;
    auto* countCaption = new QLabel(QStringLiteral("枚数"), this);
    countCaption->setBuddy(orderNum_);
    countRow->addWidget(countCaption);
    countRow->addWidget(orderNum_);
    countRow->addWidget(orderSetButton_, 1);
    auto* buttons = new QGridLayout;
    buttons->addLayout(countRow, 0, 0, 1, 2);
    buttons->addWidget(anotherSizeButton_, 1, 0);
    buttons->addWidget(addMemoOneFileButton_, 1, 1);
    buttons->addWidget(addMemoAllButton_, 2, 0);
    buttons->addWidget(kineloButton_, 2, 1);
    buttons->addWidget(makeAddFilesButton(), 3, 0);

    auto* row = new QHBoxLayout;
    row->addLayout(form, 3);
    row->addSpacing(fontMetrics().horizontalAdvance(u'0') * 2);
    row->addLayout(buttons, 2);
    formLayout()->addLayout(row);
    // The list gets the room the window has; the form keeps its natural height.
    if (auto* box = qobject_cast<QBoxLayout*>(layout())) {
        box->setStretchFactor(formLayout(), 0);
    }

    sendButton()->setProperty("tag", base + 23);
    cancelButton()->setProperty("tag", base + 24);
    // Only the base page's click handler goes; dropping every connection would also cut the
    // accessibility cache's destroyed() hook and leave a stale interface behind.
    disconnect(cancelButton(), &QPushButton::clicked, this, nullptr);
    connect(cancelButton(), &QPushButton::clicked, this, [this, base] { tabAction(base + 24); });
    connect(sendButton(), &QPushButton::clicked, this, [this, base] { tabAction(base + 23); });

    connect(list_, &PrintFileListCtrl::tableViewSelectChange, this,
            &FileListTabPage::tableViewSelectChange);
    connect(list_, &PrintFileListCtrl::deleteKeyPressed, this, [this, base] {
        if (cancelButton()->isEnabled() && !this->ctrl().isJobExecuting()) {
            tabAction(base + 24);
        }
    });
    connect(&ctrl, &AppCtrl::listReloaded, this, [this](FileListKind list) {
        if (list == names_.list) {
            list_->reloadData();
            filesNumInfoRefrash();
        }
    });
    ctrl.setFileListRows(names.list, &list_->dataSource());
    list_->dataSource().setPreflightBoard(&ctrl.preflightBoard(tab));
    connect(form_, &FileListForm::formChanged, this, &FileListTabPage::present);
}

QDialog* FileListTabPage::memoInputWindow() const {
    return memoSheet_;
}

void FileListTabPage::uiInit() {
    tabUIInit();
}

void FileListTabPage::viewRefresh() {
    tabViewRefresh();
}

// --- Presenting ---

void FileListTabPage::present() {
    const ProductPopUpComboBox* const pops[] = {categoryPop_, sizePop_, surfacePop_, laminatePop_};
    for (int i = 0; i < FileListForm::PopCount; ++i) {
        presentPopUp(const_cast<ProductPopUpComboBox*>(pops[i]),
                     form_->pop(static_cast<FileListForm::Pop>(i)));
    }
    sizeLabel_->setText(form_->caption(FileListForm::Size));
    surfaceLabel_->setText(form_->caption(FileListForm::Surface));
    laminateLabel_->setText(form_->caption(FileListForm::Laminate));
    // The pop-ups are read by the caption they show now.
    sizePop_->setAccessibleName(sizeLabel_->text());
    surfacePop_->setAccessibleName(surfaceLabel_->text());
    laminatePop_->setAccessibleName(laminateLabel_->text());
    QStringList shownChoices;
    for (int i = 0; i < orderNum_->count(); ++i) {
        shownChoices.append(orderNum_->itemText(i));
    }
    if (shownChoices != form_->orderNumChoices()) {
        const QSignalBlocker block(orderNum_);
        orderNum_->clear();
        orderNum_->addItems(form_->orderNumChoices());
    }
    if (orderNum_->currentText() != form_->orderNum()) {
        orderNum_->setEditText(form_->orderNum());
    }
    addMemoAllButton_->setText(form_->memo() ? kMemoTitleSet : kMemoTitle);
}

void FileListTabPage::forwardTypedCount() {
    form_->setOrderNum(orderNum_->currentText());
}

void FileListTabPage::tabUIInit() {
    form_->tabUIInit();
    tabViewRefresh();
}

// --- Refresh ---

void FileListTabPage::tabViewRefresh() {
    forwardTypedCount();
    form_->refreshOrderNumChoices();
    // The thumbnail setting may have changed in the preferences.
    const bool thumbnails =
        UserDef::stringForKey(QStringLiteral("ThumbnailView")).value_or(QString()) !=
        QStringLiteral("OFF");
    if (thumbnails != list_->dataSource().thumbnailsOn()) {
        list_->reloadData();
    }

    const bool hasRows = !list_->isNoFile();
    const bool selected = list_->isSelectedRow();
    bool pops = false;
    bool send = false;
    bool cancel = false;
    bool memoAll = false;
    bool memoOne = false;
    bool orderSet = false;
    QString cancelTitle = QStringLiteral("全削除");
    QString reason;
    const FormState state = formState(reason);
    if (state == FormState::JobRunning) {
        cancelTitle = QStringLiteral("キャンセル");
        cancel = true;
    } else if (state == FormState::Usable) {
        pops = true;
        reason = FileListForm::sendBlock(hasRows, list_->isSendOk());
        send = reason.isEmpty();
        if (hasRows) {
            memoAll = true;
            cancel = true;
        }
        if (hasRows && selected) {
            cancelTitle = QStringLiteral("選択ファイルを削除");
            memoOne = true;
            orderSet = form_->canOrderSet();
        }
    }
    present();
    for (ProductPopUpComboBox* pop : {categoryPop_, sizePop_, surfacePop_, laminatePop_}) {
        pop->setEnabled(pops);
        pop->autoDisable();
    }
    orderNum_->setEnabled(pops);
    orderSetButton_->setEnabled(orderSet);
    anotherSizeButton_->setEnabled(orderSet);
    addMemoOneFileButton_->setEnabled(memoOne);
    addMemoAllButton_->setEnabled(memoAll);
    addFilesButton()->setEnabled(pops);
    cancelButton()->setText(cancelTitle);
    cancelButton()->setAccessibleName(cancelTitle);
    cancelButton()->setEnabled(cancel);
    setSendEnabled(send, reason);
    kineloRefresh(memoAll);
    // A count being typed is left as it is until the user leaves the box.
    if (orderNum_->lineEdit() == nullptr || !orderNum_->lineEdit()->hasFocus()) {
        form_->settleOrderNum();
    }
    form_->saveUiInfo();
}

void FileListTabPage::selectFilesRefrash() {
    // The controller takes the list's paths as the tab's selected files and announces the reload.
    ctrl().reloadList(names_.list);
}

void FileListTabPage::filesNumInfoRefrash() {
    const QString text = list_->isNoFile() ? QString()
                                           : QStringLiteral("%1 ファイル　%2")
                                                 .arg(list_->fileCount())
                                                 .arg(list_->allFileSizeStr());
    imageFileNum()->setText(text);
    imageFileNum()->setToolTip(text);
    UserDef::setObject(text, QStringLiteral("MainTabFileInfo"));
}

// --- Actions ---

void FileListTabPage::tabAction(int tag) {
    forwardTypedCount();
    form_->normaliseOrderNum();
    const int base = names_.tagBase;
    switch (tag - base) {
    case 1: // the form's cascade followed the choice already
    case 2:
    case 3:
    case 4:
    case 30:
        break;
    case 21:
        orderSet();
        break;
    case 22:
        memoOneFileEditJob();
        break;
    case 23:
        form_->storeOrderArray(list_->orderFileInfoArray());
        UserDef::setExecuteButton(QStringLiteral("BtSend"));
        ctrl().comViewRefresh();
        list_->dataSource().flushPreflight(); // the question before sending sees every row
        ctrl().executeOrderActionJob();
        break;
    case 24:
        if (ctrl().isJobExecuting()) {
            ctrl().cancelBtJob();
        } else {
            fileClear();
        }
        break;
    case 25:
        anotherSize();
        break;
    case 26:
        memoAllEditJob();
        break;
    default:
        Log::outputLn(names_.uiLogFormat.arg(tag));
        break;
    }
    ctrl().comViewRefresh();
}

void FileListTabPage::orderSet() {
    PrintFileListDataSource& source = list_->dataSource();
    for (int row : list_->selectedRowIndexes()) {
        source.setRowAt(row, form_->orderSetRow(source.rowAt(row)));
    }
    orderSetDone();
    list_->reloadData();
}

void FileListTabPage::openMemoSheet(const QString& message, const QString& text,
                                    std::function<void(const QString&)> onOk) {
    const QString p = lowerFirst(names_.prefix);
    auto* sheet = new QDialog(window());
    sheet->setObjectName(p + QStringLiteral("MemoInputWindow"));
    sheet->setAccessibleName(QStringLiteral("メモの登録"));
    sheet->setWindowTitle(QStringLiteral("メモ"));
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    auto* msg = new QLabel(message, sheet);
    msg->setObjectName(p + QStringLiteral("MemoInputMsgTextField"));
    msg->setWordWrap(true);
    auto* content = new QPlainTextEdit(sheet);
    content->setObjectName(p + QStringLiteral("MemoInputContentTextView"));
    content->setAccessibleName(QStringLiteral("メモ"));
    content->setTabChangesFocus(true);
    content->setPlainText(text);
    content->setMinimumSize(fontMetrics().horizontalAdvance(u'0') * 50, fontMetrics().height() * 8);
    // The default button on the right, キャンセル to its left, on every desktop.
    auto* buttons = new QHBoxLayout;
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), sheet);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAccessibleName(cancel->text());
    cancel->setProperty("tag", 0);
    auto* ok = new QPushButton(QStringLiteral("OK"), sheet);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setAccessibleName(ok->text());
    ok->setProperty("tag", 1);
    ok->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    connect(ok, &QPushButton::clicked, sheet, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, sheet, &QDialog::reject);
    auto* layout = new QVBoxLayout(sheet);
    layout->addWidget(msg);
    layout->addWidget(content, 1);
    layout->addLayout(buttons);

    memoSheet_ = sheet;
    ctrl().menuUseOff();
    connect(sheet, &QDialog::finished, this,
            [this, sheet, content, onOk = std::move(onOk)](int result) {
                // The OK button's tag is 1, QDialog::Accepted.
                if (result == 1) {
                    onOk(content->toPlainText());
                }
                if (memoSheet_ == sheet) {
                    memoSheet_ = nullptr;
                }
                ctrl().menuUseOn();
                list_->reloadData();
                ctrl().comViewRefresh();
            });
    keepReadingOrder(sheet);
    sheet->open();
    content->setFocus();
}

void FileListTabPage::memoOneFileEditJob() {
    if (!list_->isSelectedRow()) {
        return;
    }
    const QList<int> rows = list_->selectedRowIndexes();
    const QString memoKey = rowKey("OrderMemoKey");
    const QString text =
        list_->selectedTopRowDic().value_or(QVariantMap()).value(memoKey).toString();
    openMemoSheet(QStringLiteral("選択中の%1件のファイルにメモを登録します").arg(rows.size()), text,
                  [this, rows, memoKey](const QString& memo) {
                      PrintFileListDataSource& source = list_->dataSource();
                      for (int row : rows) {
                          QVariantMap record = source.rowAt(row);
                          if (memo.isEmpty()) {
                              record.remove(memoKey);
                          } else {
                              record.insert(memoKey, memo);
                          }
                          source.setRowAt(row, record);
                      }
                  });
}

void FileListTabPage::memoAllEditJob() {
    openMemoSheet(QStringLiteral("添付メモを登録します"), form_->memo().value_or(QString()),
                  [this](const QString& memo) { form_->setMemo(memo); });
}

void FileListTabPage::fileClear() {
    if (list_->isSelectedRow()) {
        list_->removeSelectedRecords();
        list_->deselectAll();
        selectFilesRefrash();
        return;
    }
    if (Tool::alertOkNgWithMsg(QStringLiteral("登録されたファイルを全て削除します。"), QString(),
                               QStringLiteral("OK"), QStringLiteral("キャンセル"))) {
        fileAllClear();
    }
}

void FileListTabPage::fileAllClear() {
    list_->removeAllRecords();
    orderMemoClear();
    selectFilesRefrash();
}

void FileListTabPage::anotherSize() {
    list_->duplicateSelectedRecords();
    selectFilesRefrash();
}

void FileListTabPage::tableViewSelectChange() {
    form_->tableViewSelectChange(list_->selectedTopRowDic());
    ctrl().comViewRefresh();
}

// --- Print ---

PrintTabPage::PrintTabPage(AppCtrl& ctrl, QWidget* parent)
    : FileListTabPage(OrderTab::Print, ctrl,
                      Names{QStringLiteral("Print"), QStringLiteral("PrintUI Tag（%1）"), 300,
                            FileListKind::Print},
                      parent) {}

bool PrintTabPage::isKineroOrder() const {
    return form().isKineroOrder(fileListCtrl()->fileInfoArray());
}

void PrintTabPage::setKineloButtonAllowed(bool allowed) {
    kineloAllowed_ = allowed;
    if (!allowed) {
        kineloButton()->setVisible(false);
    }
}

void PrintTabPage::orderSetDone() {
    if (kineloAllowed_ && isKineroOrder()) {
        kineloButton()->setVisible(true);
    }
}

void PrintTabPage::kineloRefresh(bool listHasRows) {
    const QString title = UserDef::isPrintKineloFile() ? QStringLiteral("キネロファイル登録済み")
                                                       : QStringLiteral("キネロのお申し込み");
    kineloButton()->setText(title);
    kineloButton()->setAccessibleName(title);
    kineloButton()->setEnabled(listHasRows);
}

void PrintTabPage::kineloAction() {
    if (kineloOpener) {
        kineloOpener();
    }
}

// --- School ---

SchoolTabPage::SchoolTabPage(AppCtrl& ctrl, QWidget* parent)
    : FileListTabPage(OrderTab::School, ctrl,
                      Names{QStringLiteral("School"), QStringLiteral("SchoolUI Tag（%1）"), 600,
                            FileListKind::School},
                      parent) {}

void SchoolTabPage::kineloRefresh(bool listHasRows) {
    // Hidden for the whole run; its title and enabling follow the tab all the same.
    kineloButton()->setText(QStringLiteral("キネロのお申し込み"));
    kineloButton()->setEnabled(listHasRows);
}
