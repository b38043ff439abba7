#include "ui/OrderTabPage.h"

#include "app/AppCtrl.h"
#include "app/FileIntake.h"
#include "app/PreflightBoard.h"
#include "settings/Log.h"
#include "ui/DragDropScrollView.h"
#include "ui/PreflightMarks.h"
#include "ui/ProductPopUpComboBox.h"
#include "ui/WidgetProgressTarget.h"
#include "util/Tool.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

OrderTabPage::OrderTabPage(OrderTab tab, AppCtrl& ctrl, const QString& sendName, QWidget* parent)
    : QWidget(parent), tab_(tab), ctrl_(ctrl),
      captions_(std::make_shared<QList<QPointer<QLabel>>>()) {
    const QString p = prefix(tab);
    setObjectName(p + QStringLiteral("TabPage"));

    dragDropView_ = new DragDropScrollView(this);
    dragDropView_->setObjectName(p + QStringLiteral("DragDropView"));
    dragDropView_->setAccessibleName(QStringLiteral("ドロップエリア"));
    dragDropView_->setHintText(
        QStringLiteral("ここにファイルまたはフォルダをドロップしてください"));
    if (QLabel* hint = dragDropView_->hintLabel()) {
        hint->setObjectName(p + QStringLiteral("DragDropMsg"));
        hint->setAccessibleName(hint->text());
    }
    dragDropView_->setMinimumHeight(fontMetrics().height() * 6);

    formLayout_ = new QVBoxLayout;
    formLayout_->setContentsMargins(0, 0, 0, 0);

    jobMsg_ = new QLineEdit(this);
    jobMsg_->setObjectName(p + QStringLiteral("JobMsg"));
    jobMsg_->setAccessibleName(QStringLiteral("処理メッセージ"));
    jobMsg_->setReadOnly(true);
    jobMsg_->setFocusPolicy(Qt::NoFocus);
    // Status, not input: no input-box frame and the window's own background.
    jobMsg_->setFrame(false);
    {
        QPalette palette = jobMsg_->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        jobMsg_->setPalette(palette);
    }
    // A long message is never cut without a way to read it.
    connect(jobMsg_, &QLineEdit::textChanged, jobMsg_, &QLineEdit::setToolTip);

    imageFileNum_ = new QLabel(this);
    imageFileNum_->setObjectName(p + QStringLiteral("ImageFileNum"));
    imageFileNum_->setMinimumWidth(
        fontMetrics().horizontalAdvance(QStringLiteral("0000 ファイル　000.0 MB")));

    // One line about the photo check: how many files need a look, hidden while none does.
    preflightSummary_ = new QLabel(this);
    preflightSummary_->setObjectName(p + QStringLiteral("PreflightSummary"));
    preflightSummary_->setStyleSheet(QStringLiteral("color: #b0281f;"));
    preflightSummary_->setVisible(false);
    connect(&ctrl.preflightBoard(tab), &PreflightBoard::verdictsChanged, this, [this] {
        const PreflightBoard& board = ctrl_.preflightBoard(tab_);
        const QString text = board.summaryText();
        if (preflightSummary_->text() != text) {
            preflightSummary_->setText(text);
            // Red while a file would print badly, dark amber while some only deserve a look.
            preflightSummary_->setStyleSheet(board.warningFiles().isEmpty()
                                                 ? QStringLiteral("color: #7a4f00;")
                                                 : QStringLiteral("color: #b0281f;"));
            preflightSummary_->setToolTip(
                text.isEmpty() ? QString()
                               : QStringLiteral("印の上にマウスを重ねるか、Spaceキーでプレビューを"
                                                "開くと理由が表示されます"));
        }
        preflightSummary_->setVisible(!text.isEmpty());
    });

    jobIndicator_ = new QProgressBar(this);
    jobIndicator_->setObjectName(p + QStringLiteral("JobIndicator"));
    jobIndicator_->setAccessibleName(QStringLiteral("処理の進み具合"));
    jobIndicator_->setRange(0, 1);
    jobIndicator_->setValue(0);
    jobIndicator_->setTextVisible(false);
    // The bar shows only while work runs; its place stays, so nothing beside it moves.
    {
        QSizePolicy policy = jobIndicator_->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        jobIndicator_->setSizePolicy(policy);
    }
    jobIndicator_->setVisible(ctrl_.isJobExecuting());
    connect(&ctrl_, &AppCtrl::jobStarted, jobIndicator_, [this] { jobIndicator_->show(); });
    connect(&ctrl_, &AppCtrl::jobFinished, jobIndicator_, [this] { jobIndicator_->hide(); });
    // A new order starts without the outcome of the previous one.
    connect(&ctrl_, &AppCtrl::selectionChanged, this, [this](OrderTab changed) {
        if (changed == tab_ && !ctrl_.isJobExecuting() && !ctrl_.selectFilesOf(tab_).isEmpty()) {
            jobMsg_->clear();
        }
    });

    cancelButton_ = new QPushButton(QStringLiteral("キャンセル"), this);
    cancelButton_->setObjectName(p + QStringLiteral("CancelButton"));
    cancelButton_->setAccessibleName(QStringLiteral("キャンセル"));

    sendButton_ = new QPushButton(QStringLiteral("送　信"), this);
    sendButton_->setObjectName(sendName);
    sendButton_->setAccessibleName(QStringLiteral("送信"));
    sendButton_->setDefault(true);
    auto* sendShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    sendShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(sendShortcut, &QShortcut::activated, sendButton_, [this] {
        if (sendButton_->isEnabled()) {
            sendButton_->click();
        }
    });

    // One width for both buttons whatever their titles become, so キャンセル never moves.
    int buttonWidth = 0;
    for (const QString& title : {QStringLiteral("キャンセル"), QStringLiteral("全削除"),
                                 QStringLiteral("選択ファイルを削除"), QStringLiteral("送　信"),
                                 QStringLiteral("リサイズして送信")}) {
        cancelButton_->setText(title);
        buttonWidth = std::max(buttonWidth, cancelButton_->sizeHint().width());
    }
    cancelButton_->setText(QStringLiteral("キャンセル"));
    cancelButton_->setFixedWidth(buttonWidth);
    sendButton_->setFixedWidth(buttonWidth);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(imageFileNum_);
    bottom->addWidget(preflightSummary_);
    bottom->addWidget(jobIndicator_, 1);
    bottom->addWidget(cancelButton_);
    bottom->addWidget(sendButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(dragDropView_, 1);
    layout->addLayout(formLayout_, 1);
    layout->addWidget(jobMsg_);
    layout->addLayout(bottom);

    progress_ = new WidgetProgressTarget(jobIndicator_, jobMsg_, this);
    ctrl_.setProgressTarget(tab_, progress_);

    connect(dragDropView_, &DragDropScrollView::filesDropped, this,
            [this](const QStringList& paths) { ctrl_.fileIntake().dragDropFolderAndFiles(paths); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { ctrl_.cancelBtJob(); });
}

void OrderTabPage::presentPopUp(ProductPopUpComboBox* box, const ProductPopUpButton& list) {
    bool same = box->numberOfItems() == list.numberOfItems();
    for (int i = 0; same && i < list.numberOfItems(); ++i) {
        same = box->itemTitleAtIndex(i) == list.itemTitleAtIndex(i) &&
               box->itemRecordAtIndex(i) == list.itemRecordAtIndex(i);
    }
    // Only the user's choice (activated) starts an action: a refill is not one.
    const QSignalBlocker block(box);
    if (!same) {
        box->removeAllItems();
        for (int i = 0; i < list.numberOfItems(); ++i) {
            box->addItemWithTitle(list.itemTitleAtIndex(i), list.itemRecordAtIndex(i));
        }
    }
    if (box->indexOfSelectedItem() != list.indexOfSelectedItem()) {
        box->selectItemAtIndex(list.indexOfSelectedItem());
    }
}

QString OrderTabPage::prefix(OrderTab tab) {
    switch (tab) {
    case OrderTab::Print:
        return QStringLiteral("print");
    case OrderTab::School:
        return QStringLiteral("school");
    case OrderTab::Album:
        return QStringLiteral("album");
    case OrderTab::Resize:
        return QStringLiteral("resize");
    case OrderTab::Etc:
        return QStringLiteral("etc");
    }
    return {};
}

QLabel* OrderTabPage::dragDropMsg() const {
    return dragDropView_->hintLabel();
}

void OrderTabPage::uiInit() {
    viewRefresh();
}

void OrderTabPage::viewRefresh() {
    // The order form of this tab comes with its own work: files can already be dropped, but
    // nothing can be ordered from here yet, and the button says so.
    imageFileNum_->setText(ctrl_.fileCountTextOf(tab_));
    cancelButton_->setEnabled(ctrl_.isJobExecuting());
    setSendEnabled(false, QStringLiteral("このタブの注文画面は準備中です"));
    updateDropHint();
}

void OrderTabPage::updateDropHint() {
    QLabel* hint = dragDropMsg();
    if (hint == nullptr) {
        return;
    }
    const QString count = imageFileNum_->text();
    qsizetype digits = 0;
    while (digits < count.size() && count[digits].isDigit()) {
        ++digits;
    }
    hint->setVisible(!(digits > 0 && count.left(digits).toLongLong() > 0));
    if (fileInfo_ != nullptr) {
        fileInfo_->setVisible(hint->isHidden());
    }
}

void OrderTabPage::layOutSelection(QLineEdit* folderPath, QPushButton* folderButton,
                                   QPlainTextEdit* fileInfo, QLayout* own, QPlainTextEdit* memo) {
    // The list stands where the hint stood; drops on it go to the area around it.
    fileInfo_ = fileInfo;
    fileInfo->setAcceptDrops(false);
    fileInfo->viewport()->setAcceptDrops(false);
    fileInfo->setFrameShape(QFrame::NoFrame);
    fileInfo->setVisible(false);
    dragDropView_->layout()->addWidget(fileInfo);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folderPath, 1);
    folderRow->addWidget(folderButton);
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto* folderCaption = new QLabel(QStringLiteral("選択"), this);
    folderCaption->setBuddy(folderPath);
    form->addRow(folderCaption, folderRow);
    if (own != nullptr) {
        form->addRow(own);
    }
    memo->setTabChangesFocus(true);
    memo->setFixedHeight(fontMetrics().lineSpacing() * 4 + memo->frameWidth() * 2 + 8);
    auto* memoCaption = new QLabel(QStringLiteral("メモ"), this);
    memoCaption->setBuddy(memo);
    form->addRow(memoCaption, memo);
    formLayout_->addLayout(form);
    addCaptions({folderCaption, memoCaption});
    if (auto* outer = qobject_cast<QBoxLayout*>(layout())) {
        outer->setStretchFactor(dragDropView_, 1);
        outer->setStretchFactor(formLayout_, 0);
    }
}

void OrderTabPage::addCaptions(const QList<QLabel*>& captions) {
    for (QLabel* caption : captions) {
        if (caption != nullptr && !captions_->contains(caption)) {
            captions_->append(caption);
        }
    }
    alignCaptions();
}

void OrderTabPage::shareCaptionColumn(const QList<OrderTabPage*>& pages) {
    auto shared = std::make_shared<QList<QPointer<QLabel>>>();
    for (OrderTabPage* page : pages) {
        for (const QPointer<QLabel>& caption : std::as_const(*page->captions_)) {
            if (caption != nullptr && !shared->contains(caption)) {
                shared->append(caption);
            }
        }
        page->captions_ = shared;
    }
    if (!pages.isEmpty()) {
        pages.first()->alignCaptions();
    }
}

void OrderTabPage::alignCaptions() {
    int width = 0;
    for (const QPointer<QLabel>& caption : std::as_const(*captions_)) {
        if (caption != nullptr && !caption->text().isEmpty()) {
            width = std::max(width, caption->sizeHint().width());
        }
    }
    for (const QPointer<QLabel>& caption : std::as_const(*captions_)) {
        if (caption != nullptr) {
            caption->setAlignment(Qt::AlignRight | (caption->alignment() & Qt::AlignVertical_Mask));
            caption->setMinimumWidth(width);
        }
    }
}

void OrderTabPage::makeSelectionControls(QLineEdit*& folderPath, QPushButton*& folderButton,
                                         QPlainTextEdit*& fileInfo) {
    const QString name = prefix(tab_);
    folderPath = new QLineEdit(this);
    folderPath->setObjectName(name + QStringLiteral("ImageFolderPath"));
    folderPath->setAccessibleName(QStringLiteral("選択されたフォルダ"));
    folderPath->setReadOnly(true);
    connect(folderPath, &QLineEdit::textChanged, folderPath, &QLineEdit::setToolTip);
    folderButton = new QPushButton(QStringLiteral("フォルダ選択…"), this);
    folderButton->setObjectName(name + QStringLiteral("ImageFolderSelectButton"));
    folderButton->setAccessibleName(QStringLiteral("フォルダ選択"));
    folderButton_ = folderButton;
    fileInfo = new QPlainTextEdit(this);
    fileInfo->setObjectName(name + QStringLiteral("FileInfoTextView"));
    fileInfo->setAccessibleName(QStringLiteral("選択されたファイル"));
    fileInfo->setReadOnly(true);
    fileInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The names of files the photo check has something to say about carry its mark.
    fileMarks_ = new PreflightTextMarks(*fileInfo, ctrl_.preflightBoard(tab_));
}

void OrderTabPage::showFileNames(const QString& names) {
    if (fileMarks_ != nullptr) {
        fileMarks_->setNames(names);
    }
}

QPushButton* OrderTabPage::makeAddFilesButton() {
    addFilesButton_ = new QPushButton(QStringLiteral("ファイルを追加…"), this);
    addFilesButton_->setObjectName(prefix(tab_) + QStringLiteral("AddFilesButton"));
    addFilesButton_->setAccessibleName(QStringLiteral("ファイルを追加"));
    addFilesButton_->setAutoDefault(false);
    connect(addFilesButton_, &QPushButton::clicked, this, &OrderTabPage::chooseFiles);
    return addFilesButton_;
}

void OrderTabPage::addFilesAction() {
    QPushButton* button = folderButton_ != nullptr ? folderButton_ : addFilesButton_;
    if (button != nullptr && button->isEnabled()) {
        button->click();
    }
}

void OrderTabPage::chooseFiles() {
    ctrl_.fileDragDropOff();
    // The chooser opens on everything the list takes, so no file typed or picked is left out;
    // what the list then refuses is told as for a drop.
    const QStringList files = Tool::openFilesSelect(window(), QStringLiteral("ファイルを追加"),
                                                    FileIntake::listChooserNameFilters());
    ctrl_.fileDragDropOn();
    if (!files.isEmpty()) {
        Log::outputLn(QStringLiteral("ファイル選択：%1件").arg(files.size()));
        dragDropView_->takePaths(files);
    }
    ctrl_.comViewRefresh();
}

OrderTabPage::FormState OrderTabPage::formState(QString& reason) const {
    if (ctrl_.prefWindowVisible() || !AppCtrl::isCustomerInfo()) {
        reason = ctrl_.prefWindowVisible()
                     ? QStringLiteral("環境設定を閉じてください")
                     : QStringLiteral("環境設定でお客様情報を設定してください");
        return FormState::Closed;
    }
    if (ctrl_.isJobExecuting()) {
        reason = QStringLiteral("処理中です");
        return FormState::JobRunning;
    }
    return ctrl_.isMenuUseOk() ? FormState::Usable : FormState::MenusOff;
}

void OrderTabPage::setSendEnabled(bool enabled, const QString& reasonWhenOff) {
    sendButton_->setEnabled(enabled);
    sendButton_->setToolTip(enabled ? QString() : reasonWhenOff);
}
