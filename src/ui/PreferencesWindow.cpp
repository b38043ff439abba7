#include "ui/PreferencesWindow.h"

#include "app/CustomersModel.h"
#include "app/PreferencesHost.h"
#include "app/UserPref.h"
#include "job/KeptOrders.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/DialogConvention.h"
#include "ui/FocusFrameTableView.h"
#include "ui/ReadingOrder.h"
#include "util/Tool.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString storedText(const char* key) {
    return UserDef::stringForKey(QString::fromLatin1(key)).value_or(QString());
}

bool storedOn(const char* key) {
    return storedText(key) == QStringLiteral("ON");
}

template <typename W>
W* named(W* widget, const char* objectName, const QString& accessible) {
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(accessible);
    return widget;
}

} // namespace

PreferencesWindow::PreferencesWindow(PreferencesHost& host_, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), host(host_) {
    setObjectName(QStringLiteral("preferencesWindow"));
    setWindowTitle(QStringLiteral("環境設定"));
    setAccessibleName(QStringLiteral("環境設定"));
    setModal(false);

    model = new CustomersModel(this);

    auto* customerBox = new QGroupBox(QStringLiteral("お客様情報"), this);
    multiCustomerCb = named(new QCheckBox(QStringLiteral("複数のお客様コードを使う"), customerBox),
                            "multiCustomerCb", QStringLiteral("複数のお客様コードを使う"));

    customerViews = named(new QStackedWidget(customerBox), "customerViews",
                          QStringLiteral("お客様コードの表示"));

    // Single-customer view.
    auto* single = new QWidget(customerViews);
    single->setObjectName(QStringLiteral("singleCustomerView"));
    auto* singleForm = new QFormLayout(single);
    singleForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    singleForm->setContentsMargins(0, 0, 0, 0);
    photoStudioNameField =
        named(new QLineEdit(single), "photoStudioNameField", QStringLiteral("写真館名"));
    customerCodeField =
        named(new QLineEdit(single), "customerCodeField", QStringLiteral("お客様コード"));
    customerCodeField->setPlaceholderText(QStringLiteral("例：1234、1234-01"));
    // Its text is what a screen reader reads: no fixed name.
    customerCodeErrorMsg = new QLabel(single);
    customerCodeErrorMsg->setObjectName(QStringLiteral("customerCodeErrorMsg"));
    customerCodeErrorMsg->setWordWrap(true);
    customerCodeErrorMsg->setStyleSheet(QStringLiteral("color: #c00000;"));
    customerCodeErrorMsg->hide();
    singleForm->addRow(QStringLiteral("写真館名"), photoStudioNameField);
    singleForm->addRow(QStringLiteral("お客様コード"), customerCodeField);
    singleForm->addRow(QString(), customerCodeErrorMsg);
    customerViews->addWidget(single);

    // Multiple-customers view.
    auto* multi = new QWidget(customerViews);
    multi->setObjectName(QStringLiteral("multiCustomerView"));
    auto* multiLayout = new QVBoxLayout(multi);
    multiLayout->setContentsMargins(0, 0, 0, 0);
    // The same list as the photo lists: its focus framed, its headers measured as drawn.
    customersTableView = named(new FocusFrameTableView(multi), "customersTableView",
                               QStringLiteral("お客様コードの一覧"));
    customersTableView->setModel(model);
    customersTableView->setAlternatingRowColors(true);
    // Tab leaves the list (arrows move inside it), so the fields below it can be reached.
    customersTableView->setTabKeyNavigation(false);
    customersTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    customersTableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    customersTableView->setEditTriggers(QAbstractItemView::DoubleClicked |
                                        QAbstractItemView::EditKeyPressed |
                                        QAbstractItemView::AnyKeyPressed);
    customersTableView->horizontalHeader()->setSectionResizeMode(CustomersModel::StudioNameColumn,
                                                                 QHeaderView::Stretch);
    customersTableView->horizontalHeader()->setSectionResizeMode(CustomersModel::CustomerCodeColumn,
                                                                 QHeaderView::ResizeToContents);
    customersTableView->setMinimumHeight(customersTableView->fontMetrics().height() * 9);
    multiLayout->addWidget(customersTableView, 1);
    auto* listButtons = new QHBoxLayout;
    customerAddBt = named(new QPushButton(QStringLiteral("追加"), multi), "customerAddBt",
                          QStringLiteral("お客様を追加"));
    customerRemoveBt = named(new QPushButton(QStringLiteral("削除"), multi), "customerRemoveBt",
                             QStringLiteral("選択したお客様を削除"));
    listButtons->addWidget(customerAddBt);
    listButtons->addWidget(customerRemoveBt);
    listButtons->addStretch(1);
    multiLayout->addLayout(listButtons);
    auto* selectedForm = new QFormLayout;
    selectedForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    selectedPhotoStudioNameField = named(new QLineEdit(multi), "selectedPhotoStudioNameField",
                                         QStringLiteral("選択中の写真館名"));
    selectedCustomerCodeField = named(new QLineEdit(multi), "selectedCustomerCodeField",
                                      QStringLiteral("選択中のお客様コード"));
    selectedPhotoStudioNameField->setReadOnly(true);
    selectedCustomerCodeField->setReadOnly(true);
    selectedForm->addRow(QStringLiteral("選択中の写真館名"), selectedPhotoStudioNameField);
    selectedForm->addRow(QStringLiteral("選択中のお客様コード"), selectedCustomerCodeField);
    multiLayout->addLayout(selectedForm);
    customerViews->addWidget(multi);

    auto* emailForm = new QFormLayout;
    emailForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    customerEmailField =
        named(new QLineEdit(customerBox), "customerEmailField", QStringLiteral("メールアドレス"));
    emailForm->addRow(QStringLiteral("メールアドレス"), customerEmailField);

    // One label column for both views and the e-mail row, so the fields line up.
    QList<QWidget*> labels;
    for (QWidget* field :
         {static_cast<QWidget*>(photoStudioNameField), static_cast<QWidget*>(customerCodeField)}) {
        labels.append(singleForm->labelForField(field));
    }
    for (QWidget* field : {static_cast<QWidget*>(selectedPhotoStudioNameField),
                           static_cast<QWidget*>(selectedCustomerCodeField)}) {
        labels.append(selectedForm->labelForField(field));
    }
    labels.append(emailForm->labelForField(customerEmailField));
    int labelWidth = 0;
    for (QWidget* label : labels) {
        labelWidth = std::max(labelWidth, label ? label->sizeHint().width() : 0);
    }
    for (QWidget* label : labels) {
        if (auto* text = qobject_cast<QLabel*>(label)) {
            text->setMinimumWidth(labelWidth);
            text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    }

    auto* customerLayout = new QVBoxLayout(customerBox);
    customerLayout->addWidget(multiCustomerCb);
    customerLayout->addWidget(customerViews, 1);
    customerLayout->addLayout(emailForm);

    auto* viewBox = new QGroupBox(QStringLiteral("表示"), this);
    thumbnailViewCb = named(new QCheckBox(QStringLiteral("サムネイルを表示する"), viewBox),
                            "thumbnailViewCb", QStringLiteral("サムネイルを表示する"));
    albumSlectionSaveCb =
        named(new QCheckBox(QStringLiteral("アルバムの選択内容を保存する"), viewBox),
              "albumSlectionSaveCb", QStringLiteral("アルバムの選択内容を保存する"));
    auto* viewLayout = new QVBoxLayout(viewBox);
    viewLayout->addWidget(thumbnailViewCb);
    viewLayout->addWidget(albumSlectionSaveCb);

    auto* keptBox = new QGroupBox(QStringLiteral("送信済みの注文の保管"), this);
    keptOrderDaysField = named(new QSpinBox(keptBox), "keptOrderDaysField",
                               QStringLiteral("送信済みの注文を保管する日数"));
    keptOrderDaysField->setRange(0, 365);
    keptOrderDaysField->setSuffix(QStringLiteral(" 日"));
    keptOrderDaysField->setSpecialValueText(QStringLiteral("保管しない"));
    keptOrderCapField = named(new QSpinBox(keptBox), "keptOrderCapField",
                              QStringLiteral("送信済みの注文の保管容量の上限"));
    keptOrderCapField->setRange(0, 100000);
    keptOrderCapField->setSuffix(QStringLiteral(" GB"));
    keptOrderCapField->setSpecialValueText(
        QStringLiteral("自動（20 GBか空き容量の10%の小さい方）"));
    // One row: the window must stay whole on a small screen with the customer list shown.
    auto* keptRow = new QHBoxLayout(keptBox);
    auto* daysLabel = new QLabel(QStringLiteral("保管する日数"), keptBox);
    daysLabel->setBuddy(keptOrderDaysField);
    auto* capLabel = new QLabel(QStringLiteral("保管容量の上限"), keptBox);
    capLabel->setBuddy(keptOrderCapField);
    keptRow->addWidget(daysLabel);
    keptRow->addWidget(keptOrderDaysField);
    keptRow->addSpacing(fontMetrics().averageCharWidth() * 2);
    keptRow->addWidget(capLabel);
    keptRow->addWidget(keptOrderCapField, 1);
    const QString keptHint =
        QStringLiteral("送信した注文を保管しておくと、送信履歴から同じ内容をもう一度送信できます。"
                       "古いものから削除されます。");
    keptBox->setToolTip(keptHint);
    keptOrderDaysField->setToolTip(keptHint);
    keptOrderCapField->setToolTip(keptHint);

    auto* buttons = new QDialogButtonBox(this);
    userPrefSaveBt = named(buttons->addButton(QStringLiteral("保存"), QDialogButtonBox::AcceptRole),
                           "userPrefSaveBt", QStringLiteral("保存"));
    userPrefCancelBt =
        named(buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole),
              "userPrefCancelBt", QStringLiteral("キャンセル"));
    userPrefSaveBt->setDefault(true);
    applyDialogButtonOrder(buttons);

    // Shown before the customer information is complete: why the tabs are grey, what to fill in.
    firstStartMsg = new QLabel(
        QStringLiteral("お客様情報がまだ設定されていないため、注文のタブは灰色で使えません。"
                       "写真館名・お客様コード・メールアドレスを入力して「保存」を押すと、"
                       "注文できるようになります。"),
        this);
    firstStartMsg->setObjectName(QStringLiteral("firstStartMsg"));
    firstStartMsg->setWordWrap(true);
    firstStartMsg->setFrameShape(QFrame::StyledPanel);
    firstStartMsg->setMargin(fontMetrics().height() / 2);
    firstStartMsg->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(firstStartMsg);
    layout->addWidget(customerBox, 1);
    layout->addWidget(viewBox);
    layout->addWidget(keptBox);
    layout->addWidget(buttons);
    // Never smaller than the rows need, whichever customer view is shown: rows cannot overlap.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    setMinimumWidth(fontMetrics().averageCharWidth() * 64);
    // Fields wide enough for a studio's name or an e-mail address at a glance (about 28
    // full-width letters), whatever the screen; a larger screen does not stretch them further.
    comfortableWidth = labelWidth + fontMetrics().horizontalAdvance(QString(28, QChar(0x3042))) +
                       fontMetrics().averageCharWidth() * 8;

    // Tab goes as the eye reads, whichever customer view is shown.
    keepReadingOrder(this);

    connect(multiCustomerCb, &QCheckBox::clicked, this,
            [this](bool on) { mutiCustomerCbAction(on); });
    connect(customerCodeField, &QLineEdit::editingFinished, this,
            [this] { editCustomerCodeAction(); });
    connect(customerCodeField, &QLineEdit::textEdited, this,
            [this] { customerCodeErrorMsg->hide(); });
    connect(customerAddBt, &QPushButton::clicked, this, [this] { addCustomer(); });
    connect(customerRemoveBt, &QPushButton::clicked, this, [this] { removeCustomers(); });
    connect(userPrefSaveBt, &QPushButton::clicked, this, [this] { userPrefSaveAndClose(); });
    connect(userPrefCancelBt, &QPushButton::clicked, this, [this] { userPrefCancelAndClose(); });
    connect(customersTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateSelectedEntry(); });
    connect(model, &CustomersModel::dataChanged, this, [this] {
        updateSelectedEntry();
        Q_EMIT customerListChanged();
    });
    connect(model, &CustomersModel::rowsRemoved, this, [this] {
        updateSelectedEntry();
        Q_EMIT customerListChanged();
    });
    // The alert waits until the table's editor has closed.
    connect(
        model, &CustomersModel::codeRefused, this,
        [this](const QString& typed) { showCodeRefused(typed); }, Qt::QueuedConnection);
    auto* deleteKey = new QShortcut(QKeySequence::Delete, customersTableView);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, [this] { removeCustomers(); });

    fillFields();
    showCustomerViewForSetting();
}

void PreferencesWindow::fillFields() {
    photoStudioNameField->setText(storedText("PhotoStudioName"));
    customerCodeField->setText(storedText("CustomerCode"));
    customerEmailField->setText(storedText("CustomerEmail"));
    thumbnailViewCb->setChecked(storedOn("ThumbnailView"));
    albumSlectionSaveCb->setChecked(storedOn("AlbumSlectionSave"));
    keptOrderDaysField->setValue(static_cast<int>(KeptOrders::keepDays()));
    keptOrderCapField->setValue(static_cast<int>(KeptOrders::capSettingGB()));
    customerCodeErrorMsg->hide();
}

void PreferencesWindow::showCustomerViewForSetting() {
    const bool multi = UserPref::isMultiCustomer();
    multiCustomerCb->setChecked(multi);
    showCustomerView(multi);
}

QSize PreferencesWindow::sizeHint() const {
    QSize size = QDialog::sizeHint().expandedTo(QSize(comfortableWidth, 0));
    // The wrapped texts (first start, code error) take fewer lines at the wider width.
    if (hasHeightForWidth()) {
        size.setHeight(std::max(heightForWidth(size.width()), minimumSizeHint().height()));
    }
    return size;
}

void PreferencesWindow::showCustomerView(bool multi) {
    // The hidden view takes no room, so the single view does not keep the list's height.
    for (int i = 0; i < customerViews->count(); ++i) {
        const bool current = i == (multi ? 1 : 0);
        customerViews->widget(i)->setSizePolicy(
            QSizePolicy::Preferred, current ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    }
    customerViews->setCurrentIndex(multi ? 1 : 0);
    fitToContent();
}

void PreferencesWindow::fitToContent() {
    // Settle the layouts first: the window's size hint must include the view just switched to.
    customerViews->updateGeometry();
    if (QLayout* box = layout()) {
        box->invalidate();
        box->activate();
    }
    fitToAvailableScreen(this);
}

void PreferencesWindow::preferencesAction() {
    fillFields();
    model->reload();
    // Every row the window shows is in place before it is sized and shown: a window that grows
    // after it is on the screen can be left smaller than its rows by the window system.
    firstStartMsg->setVisible(!UserPref::isCustomerInfo());
    showCustomerViewForSetting();
    updateSelectedEntry();
    show();
    raise();
    activateWindow();
    explainFirstStart();
    visibleFlg = true;
    host.setPrefWindowVisible(true);
    host.comViewRefresh();
}

void PreferencesWindow::explainFirstStart() {
    const bool complete = UserPref::isCustomerInfo();
    firstStartMsg->setVisible(!complete);
    if (complete) {
        return;
    }
    const bool multi = multiCustomerCb->isChecked();
    for (QLineEdit* field : {multi ? nullptr : photoStudioNameField,
                             multi ? nullptr : customerCodeField, customerEmailField}) {
        if (field != nullptr && field->text().trimmed().isEmpty()) {
            field->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void PreferencesWindow::mutiCustomerCbAction(bool on) {
    if (on) {
        UserPref::multiCustomerOn(photoStudioNameField->text(), customerCodeField->text());
        model->reload();
        showCustomerView(true);
    } else {
        const auto [name, code] = UserPref::multiCustomerOff();
        photoStudioNameField->setText(name);
        customerCodeField->setText(code);
        customerCodeErrorMsg->hide();
        showCustomerView(false);
    }
    multiCustomerCb->setChecked(on);
}

void PreferencesWindow::editCustomerCodeAction() {
    const QString typed = customerCodeField->text();
    if (const std::optional<QString> code = UserPref::editCustomerCode(typed)) {
        customerCodeField->setText(*code);
        customerCodeErrorMsg->hide();
        return;
    }
    customerCodeErrorMsg->setText(
        UserPref::invalidCodeMessage() +
        QStringLiteral("：1以上の数字で入力してください（支店番号は「-」の後に英数字。"
                       "例：1234、1234-01）"));
    // The stacked views do not pass a wrapped label's height on: give the error all its lines.
    customerCodeErrorMsg->setMinimumHeight(
        customerCodeErrorMsg->heightForWidth(std::max(customerCodeField->width(), 1)));
    customerCodeErrorMsg->show();
}

void PreferencesWindow::showCodeRefused(const QString& typed) {
    Log::outputLn(QStringLiteral("お客様コードの入力を拒否"));
    Tool::alertWithMsg(UserPref::invalidCodeMessage(), UserPref::invalidCodeInformation(typed),
                       this);
}

void PreferencesWindow::updateSelectedEntry() {
    const QModelIndexList rows = customersTableView->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        selectedPhotoStudioNameField->clear();
        selectedCustomerCodeField->clear();
        return;
    }
    const int row = rows.first().row();
    selectedPhotoStudioNameField->setText(model->studioName(row));
    selectedCustomerCodeField->setText(model->customerCode(row));
}

void PreferencesWindow::addCustomer() {
    const int row = model->rowCount();
    if (!model->insertRows(row, 1)) {
        return;
    }
    const QModelIndex name = model->index(row, CustomersModel::StudioNameColumn);
    customersTableView->setCurrentIndex(name);
    customersTableView->edit(name);
}

void PreferencesWindow::removeCustomers() {
    QModelIndexList rows = customersTableView->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    // The list is written at once and Cancel does not bring entries back: asked first.
    QStringList names;
    for (const QModelIndex& index : std::as_const(rows)) {
        names.append(model->index(index.row(), CustomersModel::StudioNameColumn).data().toString());
    }
    if (!Tool::alertOkNgWithMsg(QStringLiteral("選択したお客様を削除しますか？"), names.join(u'\n'),
                                QStringLiteral("削除"), QStringLiteral("キャンセル"))) {
        return;
    }
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() > b.row(); });
    for (const QModelIndex& index : rows) {
        model->removeRows(index.row(), 1);
    }
}

void PreferencesWindow::userPrefSaveAndClose() {
    UserPref::Input input;
    input.multiCustomer = multiCustomerCb->isChecked();
    input.studioName = photoStudioNameField->text();
    input.code = customerCodeField->text();
    input.selectedName = selectedPhotoStudioNameField->text();
    input.selectedCode = selectedCustomerCodeField->text();
    input.email = customerEmailField->text();
    input.thumbnailView = thumbnailViewCb->isChecked();
    input.albumSelectionSave = albumSlectionSaveCb->isChecked();
    input.keptOrderDays = keptOrderDaysField->value();
    input.keptOrderCapGB = keptOrderCapField->value();
    if (const std::optional<UserPref::Refusal> refusal = UserPref::save(input)) {
        Log::outputLn(QStringLiteral("環境設定の保存を中止（%1）").arg(refusal->message));
        if (!input.multiCustomer) {
            editCustomerCodeAction();
        }
        Tool::alertWithMsg(refusal->message, refusal->information, this);
        return;
    }
    model->reload();
    fillFields();
    Q_EMIT customerListChanged();
    closeWindow();
    Q_EMIT customerChanged();
}

void PreferencesWindow::userPrefCancelAndClose() {
    fillFields();
    Q_EMIT customerListChanged();
    closeWindow();
    host.comViewRefresh();
}

void PreferencesWindow::reject() {
    userPrefCancelAndClose();
}

void PreferencesWindow::closeWindow() {
    hide();
    visibleFlg = false;
    host.setPrefWindowVisible(false);
}
