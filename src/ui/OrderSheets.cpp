#include "ui/OrderSheets.h"

#include "product/ProductAlbumData.h"
#include "product/ProductData.h"
#include "report/OrderAction.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "ui/ReadingOrder.h"
#include "util/Tool.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDate>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

struct OrderSheets::Sheet {
    QDialog* dialog = nullptr;
    QVBoxLayout* body = nullptr;
    QFormLayout* form = nullptr;
    QLabel* message = nullptr;
    QHBoxLayout* leftButtons = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
};

namespace {

const QString kBeepName = QStringLiteral("SheetInputNG");

// A one-line field of a sheet: CR, LF and TAB never stay in it, also when pasted.
QLineEdit* addField(QFormLayout* form, const QString& objectName, const QString& label,
                    const QString& placeholder = QString()) {
    auto* field = new QLineEdit(form->parentWidget());
    field->setObjectName(objectName);
    field->setAccessibleName(label);
    field->setPlaceholderText(placeholder);
    QObject::connect(field, &QLineEdit::textChanged, field, [field](const QString& text) {
        const QString single = OrderAction::singleLine(text);
        if (single != text) {
            field->setText(single);
        }
    });
    form->addRow(label, field);
    return field;
}

QComboBox* addPop(QWidget* parent, const QString& objectName, const QString& accessibleName) {
    auto* pop = new QComboBox(parent);
    pop->setObjectName(objectName);
    pop->setAccessibleName(accessibleName);
    return pop;
}

QPushButton* addSideButton(QHBoxLayout* row, QWidget* parent, const QString& objectName,
                           const QString& title) {
    auto* button = new QPushButton(title, parent);
    button->setObjectName(objectName);
    button->setAccessibleName(title);
    row->addWidget(button);
    return button;
}

void showFailure(QLabel* message, const QString& text) {
    message->setText(text);
    message->setVisible(true);
    Tool::beep(kBeepName);
}

// A field's own check (the tags 3 to 5) runs when the user moves on to another field, not when
// Enter or a button ends the editing: the sheet's confirm checks everything then.
bool movedToAnotherField(QLineEdit* field) {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && focus != field && qobject_cast<QLineEdit*>(focus) != nullptr;
}

QStringList firstFields(const ProductAlbumData::Rows& rows) {
    QStringList items;
    for (const ProductAlbumData::Row& row : rows) {
        if (!row.isEmpty() && !row.first().trimmed().isEmpty()) {
            items.append(row.first());
        }
    }
    return items;
}

} // namespace

OrderSheets::OrderSheets(QWidget* window, OrderSheetHost& host, QObject* parent)
    : QObject(parent), window_(window), host_(host) {}

OrderSheets::~OrderSheets() = default;

OrderSheets::Sheet OrderSheets::makeSheet(const QString& objectName, const QString& title,
                                          const QString& okTitle) {
    Sheet sheet;
    sheet.dialog = new QDialog(window_);
    sheet.dialog->setObjectName(objectName);
    sheet.dialog->setAccessibleName(title);
    sheet.dialog->setWindowTitle(title);
    sheet.dialog->setWindowModality(Qt::WindowModal);
    sheet.dialog->setAttribute(Qt::WA_DeleteOnClose);
    sheet.body = new QVBoxLayout(sheet.dialog);

    auto* heading = new QLabel(title, sheet.dialog);
    QFont font = heading->font();
    font.setBold(true);
    heading->setFont(font);
    sheet.body->addWidget(heading);

    sheet.form = new QFormLayout();
    sheet.form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    sheet.form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    sheet.body->addLayout(sheet.form);

    sheet.message = new QLabel(sheet.dialog);
    sheet.message->setWordWrap(true);
    sheet.message->setStyleSheet(QStringLiteral("color: #c00000;"));
    sheet.body->addWidget(sheet.message);

    auto* buttons = new QHBoxLayout();
    sheet.leftButtons = new QHBoxLayout();
    buttons->addLayout(sheet.leftButtons);
    buttons->addStretch(1);
    sheet.cancel = new QPushButton(QStringLiteral("キャンセル"), sheet.dialog);
    sheet.cancel->setObjectName(QStringLiteral("cancelButton"));
    sheet.cancel->setAccessibleName(QStringLiteral("キャンセル"));
    sheet.ok = new QPushButton(okTitle, sheet.dialog);
    sheet.ok->setObjectName(QStringLiteral("okButton"));
    sheet.ok->setAccessibleName(okTitle);
    sheet.ok->setDefault(true);
    buttons->addWidget(sheet.cancel);
    buttons->addWidget(sheet.ok);
    sheet.body->addLayout(buttons);
    connect(sheet.cancel, &QPushButton::clicked, sheet.dialog, &QDialog::reject);
    return sheet;
}

void OrderSheets::present(QDialog* dialog, std::function<void(bool accepted)> finished) {
    current_ = dialog;
    host_.menuUseOff();
    connect(dialog, &QDialog::finished, this, [this, dialog, finished](int result) {
        if (current_ == dialog) {
            current_ = nullptr;
        }
        host_.menuUseOn();
        finished(result == QDialog::Accepted);
    });
    dialog->setMinimumWidth(dialog->fontMetrics().averageCharWidth() * 60);
    // Tab goes as the eye reads: the fields top to bottom, then キャンセル and the default button;
    // the focus starts in the first field.
    keepReadingOrder(dialog);
    auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("okButton"));
    auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("cancelButton"));
    for (QWidget* stop : readingOrder(dialog)) {
        if (stop != ok && stop != cancel && stop->isEnabled() && !stop->isHidden()) {
            stop->setFocus();
            break;
        }
    }
    dialog->open();
}

void OrderSheets::startOrderChain() {
    if (!current_.isNull()) {
        return; // one chain at a time: a second Send waits for the open sheet
    }
    // Drops stay off until the job ends or the chain is cancelled: a drop in between would make
    // the report and the archive disagree.
    host_.dragDropOff();
    UserDef::removeCharInputDic();
    if (UserDef::integerForKey(QStringLiteral("MultiCustomerCheck")) != 0) {
        showOrderCustomerCheckWindowSheet();
    } else {
        openAfterCustomerCheck();
    }
}

void OrderSheets::openAfterCustomerCheck() {
    if (UserDef::isCustomCustomer3465Group()) {
        showOrderInfo3465WindowSheet();
    } else if (host_.isCharInputProduct()) {
        showCharacterInputWindowSheet();
    } else {
        showOrderInfoWindowSheet();
    }
}

void OrderSheets::chainCancelled() {
    host_.dragDropOn();
    host_.comViewRefresh();
    Q_EMIT orderChainEnded(false);
}

void OrderSheets::startJob() {
    host_.executeJobThread();
    Q_EMIT orderChainEnded(true);
}

void OrderSheets::showOrderCustomerCheckWindowSheet() {
    Sheet sheet = makeSheet(QStringLiteral("orderCustomerCheckWindow"),
                            QStringLiteral("ご注文のお客様の確認"), QStringLiteral("次へ"));
    const QString code = UserDef::stringForKey(QStringLiteral("CustomerCode")).value_or(QString());
    const QString studio =
        UserDef::stringForKey(QStringLiteral("PhotoStudioName")).value_or(QString());
    auto* intro =
        new QLabel(QStringLiteral("次のお客様としてご注文します。よろしいですか？"), sheet.dialog);
    sheet.body->insertWidget(1, intro);
    auto* codeLabel = new QLabel(code, sheet.dialog);
    codeLabel->setObjectName(QStringLiteral("orderCustomerCode"));
    auto* studioLabel = new QLabel(studio, sheet.dialog);
    studioLabel->setObjectName(QStringLiteral("orderCustomerStudioName"));
    sheet.form->addRow(QStringLiteral("お客様コード："), codeLabel);
    sheet.form->addRow(QStringLiteral("写真館名："), studioLabel);
    sheet.message->setObjectName(QStringLiteral("orderCustomerCheckMsg"));

    QDialog* dialog = sheet.dialog;
    QLabel* message = sheet.message;
    connect(sheet.ok, &QPushButton::clicked, dialog, [dialog, message, code, studio] {
        if (code.isEmpty() || studio.isEmpty()) {
            showFailure(message, QStringLiteral("お客様情報が設定されていません。環境設定で写真館名"
                                                "とお客様コードを設定してください"));
            return;
        }
        dialog->accept();
    });
    present(dialog, [this](bool accepted) {
        if (accepted) {
            openAfterCustomerCheck();
        } else {
            chainCancelled();
        }
    });
}

void OrderSheets::showOrderInfoWindowSheet() {
    Sheet sheet = makeSheet(QStringLiteral("orderInfoWindow"), QStringLiteral("オーダー情報の入力"),
                            QStringLiteral("次へ"));
    auto* intro = new QLabel(QStringLiteral("必要な項目を入力してください（入力は任意です）。"),
                             sheet.dialog);
    sheet.body->insertWidget(1, intro);
    QLineEdit* date = addField(sheet.form, QStringLiteral("orderInfoDate"),
                               QStringLiteral("撮影日"), QStringLiteral("YYYY/MM/DD"));
    QLineEdit* name = addField(sheet.form, QStringLiteral("orderInfoName"),
                               QStringLiteral("お客様名"), QStringLiteral("10文字以内"));
    QLineEdit* no = addField(sheet.form, QStringLiteral("orderInfoNo"), QStringLiteral("管理番号"),
                             QStringLiteral("半角10文字以内"));
    sheet.message->setObjectName(QStringLiteral("orderInfoMsg"));
    QPushButton* today =
        addSideButton(sheet.leftButtons, sheet.dialog, QStringLiteral("orderInfoTodayButton"),
                      QStringLiteral("今日の日付"));
    QLabel* message = sheet.message;
    // Every field starts empty; the values are written back rewritten (date, half-width number).
    const auto check = [date, name, no, message]() -> std::optional<OrderAction::OrderInfo> {
        OrderAction::OrderInfo info{date->text(), name->text(), no->text()};
        const std::optional<QString> failure = OrderAction::orderInfoValueCheck(info);
        if (info.date != date->text()) {
            date->setText(info.date);
        }
        if (info.no != no->text()) {
            no->setText(info.no);
        }
        if (failure) {
            showFailure(message, *failure);
            return std::nullopt;
        }
        message->clear();
        return info;
    };
    connect(today, &QPushButton::clicked, date, [date] { date->setText(Tool::nowDateNomal()); });
    for (QLineEdit* field : {date, name, no}) {
        connect(field, &QLineEdit::editingFinished, field, [field, check] {
            if (movedToAnotherField(field)) {
                check();
            }
        });
    }
    QDialog* dialog = sheet.dialog;
    connect(sheet.ok, &QPushButton::clicked, dialog, [dialog, check] {
        if (const std::optional<OrderAction::OrderInfo> info = check()) {
            UserDef::setOrderInfoDic(OrderAction::orderInfoDic(*info));
            dialog->accept();
        }
    });
    present(dialog, [this](bool accepted) {
        if (accepted) {
            showOrderAcWindowSheet();
        } else {
            chainCancelled();
        }
    });
}

void OrderSheets::showOrderInfo3465WindowSheet() {
    Sheet sheet = makeSheet(QStringLiteral("orderInfo3465Window"),
                            QStringLiteral("オーダー情報の入力"), QStringLiteral("次へ"));
    QDialog* dialog = sheet.dialog;
    QLineEdit* systemNo =
        addField(sheet.form, QStringLiteral("orderInfoSystemNo"), QStringLiteral("システムNo"));

    const QDate today = QDate::currentDate();
    QComboBox* yearPop = addPop(dialog, QStringLiteral("orderInfoYearPop"), QStringLiteral("年"));
    for (int year = today.year() - 1; year <= today.year() + 1; ++year) {
        yearPop->addItem(QString::number(year), year);
    }
    yearPop->setCurrentIndex(1);
    QComboBox* monthPop = addPop(dialog, QStringLiteral("orderInfoMonthPop"), QStringLiteral("月"));
    for (int month = 1; month <= 12; ++month) {
        monthPop->addItem(QString::number(month), month);
    }
    monthPop->setCurrentIndex(today.month() - 1);
    QComboBox* dayPop = addPop(dialog, QStringLiteral("orderInfoDayPop"), QStringLiteral("日"));
    for (int day = 1; day <= OrderAction::daysOfMonth(today.month()); ++day) {
        dayPop->addItem(QString::number(day), day);
    }
    dayPop->setCurrentIndex(std::min(today.day(), dayPop->count()) - 1);
    // Tag 9: a new month gets its own days; the chosen day stays when the month has it.
    connect(monthPop, &QComboBox::currentIndexChanged, dayPop, [monthPop, dayPop] {
        const int chosen = dayPop->currentData().toInt();
        const int days = OrderAction::daysOfMonth(monthPop->currentData().toInt());
        const QSignalBlocker blocker(dayPop);
        dayPop->clear();
        for (int day = 1; day <= days; ++day) {
            dayPop->addItem(QString::number(day), day);
        }
        dayPop->setCurrentIndex(chosen >= 1 && chosen <= days ? chosen - 1 : 0);
    });
    auto* dateRow = new QHBoxLayout();
    // Each pop-up is labelled by the unit that follows it.
    for (const auto& [pop, unit] : {std::pair{yearPop, "年"}, {monthPop, "月"}, {dayPop, "日"}}) {
        auto* unitLabel = new QLabel(QString::fromUtf8(unit), dialog);
        unitLabel->setBuddy(pop);
        dateRow->addWidget(pop);
        dateRow->addWidget(unitLabel);
    }
    dateRow->addStretch(1);
    sheet.form->addRow(QStringLiteral("挙式日"), dateRow);

    std::shared_ptr<ProductAlbumData> album;
    if (ProductData* data = host_.productData()) {
        album = data->albumData();
    }
    QComboBox* venuePop =
        addPop(dialog, QStringLiteral("orderInfoVenuePop"), QStringLiteral("会場名"));
    venuePop->addItem(QStringLiteral("-"));
    if (album) {
        venuePop->addItems(firstFields(album->venueArray3465()));
    }
    sheet.form->addRow(QStringLiteral("会場名"), venuePop);
    // The couple's names may take two lines: the lab prints them as typed.
    auto* brideAndGroom = new QPlainTextEdit(dialog);
    brideAndGroom->setObjectName(QStringLiteral("orderInfoBrideAndGroom"));
    brideAndGroom->setAccessibleName(QStringLiteral("新郎・新婦名"));
    brideAndGroom->setTabChangesFocus(true);
    brideAndGroom->setFixedHeight(brideAndGroom->fontMetrics().lineSpacing() * 3 + 12);
    sheet.form->addRow(QStringLiteral("新郎・新婦名"), brideAndGroom);
    QLineEdit* staffName =
        addField(sheet.form, QStringLiteral("orderInfoStaffName"), QStringLiteral("ご担当者名"));
    QComboBox* salonPop =
        addPop(dialog, QStringLiteral("orderInfoSalonPop"), QStringLiteral("サロン名"));
    salonPop->addItem(QStringLiteral("-"));
    if (album) {
        salonPop->addItems(firstFields(album->salonArray3465()));
    }
    sheet.form->addRow(QStringLiteral("サロン名"), salonPop);
    const bool deliveryShown = host_.is3465LayoutEditRequest();
    QLineEdit* delivery = nullptr;
    if (deliveryShown) {
        delivery = addField(sheet.form, QStringLiteral("orderInfoDeliveryDate"),
                            QStringLiteral("最終お客様お渡し日"), QStringLiteral("YYYY/MM/DD"));
        // Year and month prefilled, ready for the day.
        delivery->setText(Tool::nowDateNomal().left(8));
    }
    sheet.message->setObjectName(QStringLiteral("orderInfo3465Msg"));

    QLabel* message = sheet.message;
    connect(sheet.ok, &QPushButton::clicked, dialog, [=] {
        OrderAction::OrderInfo3465 info;
        info.systemNo = systemNo->text();
        info.year = yearPop->currentData().toInt();
        info.month = monthPop->currentData().toInt();
        info.day = dayPop->currentData().toInt();
        info.venue = venuePop->currentText();
        info.brideAndGroom = brideAndGroom->toPlainText();
        info.staffName = staffName->text();
        info.salon = salonPop->currentText();
        info.deliveryShown = deliveryShown;
        info.deliveryDate = delivery != nullptr ? delivery->text() : QString();
        if (const std::optional<QString> failure = OrderAction::orderInfoCustomValueCheck(info)) {
            showFailure(message, *failure);
            return;
        }
        if (delivery != nullptr) {
            delivery->setText(info.deliveryDate);
        }
        UserDef::setOrderInfoDic(OrderAction::orderInfo3465Dic(info));
        dialog->accept();
    });
    present(dialog, [this](bool accepted) {
        if (accepted) {
            showOrderAcWindowSheet();
        } else {
            chainCancelled();
        }
    });
}

void OrderSheets::showCharacterInputWindowSheet() {
    Sheet sheet = makeSheet(QStringLiteral("characterInputWindow"),
                            QStringLiteral("名入れ（お名前・日付）の入力"), QStringLiteral("次へ"));
    auto* intro = new QLabel(QStringLiteral("表紙などに入れるお名前と日付を入力してください。"),
                             sheet.dialog);
    intro->setWordWrap(true);
    sheet.body->insertWidget(1, intro);
    QLineEdit* name =
        addField(sheet.form, QStringLiteral("charInputName"), QStringLiteral("お名前"));
    QLineEdit* date = addField(sheet.form, QStringLiteral("charInputDate"), QStringLiteral("日付"),
                               QStringLiteral("YYYY/MM/DD"));
    sheet.message->setObjectName(QStringLiteral("charInputMsg"));
    QPushButton* today =
        addSideButton(sheet.leftButtons, sheet.dialog, QStringLiteral("charInputTodayButton"),
                      QStringLiteral("今日の日付"));
    connect(today, &QPushButton::clicked, date, [date] { date->setText(Tool::nowDateNomal()); });

    QDialog* dialog = sheet.dialog;
    // The lettering goes onto the cover as the studio wrote it, a date of any year included (the
    // anniversary album of a wedding in 1995): stored as typed.
    connect(sheet.ok, &QPushButton::clicked, dialog, [dialog, name, date] {
        const QString dateText = OrderAction::singleLine(date->text());
        const QString nameText = OrderAction::singleLine(name->text());
        if (!nameText.isEmpty() || !dateText.isEmpty()) {
            UserDef::setCharInputDic(OrderAction::charInputDic(nameText, dateText));
        }
        dialog->accept();
    });
    present(dialog, [this](bool accepted) {
        if (accepted) {
            showOrderInfoWindowSheet();
        } else {
            chainCancelled();
        }
    });
}

void OrderSheets::showOrderAcWindowSheet() {
    Sheet sheet = makeSheet(QStringLiteral("orderAcWindow"), QStringLiteral("オーダーの処理方法"),
                            QStringLiteral("OK"));
    QDialog* dialog = sheet.dialog;
    auto* matrix = new QGroupBox(QStringLiteral("処理方法を選択してください"), dialog);
    matrix->setObjectName(QStringLiteral("orderAcMatrix"));
    matrix->setAccessibleName(QStringLiteral("処理方法"));
    auto* matrixLayout = new QVBoxLayout(matrix);
    auto* group = new QButtonGroup(matrix);
    const struct {
        int tag;
        const char* objectName;
        QString title;
    } choices[] = {
        {OrderAction::kTagNowSend, "orderAcNowSendRadio",
         OrderAction::nowSendTitle(host_.poolCount())},
        {OrderAction::kTagAfterSend, "orderAcAfterSendRadio",
         QStringLiteral("後でまとめて送信する")},
        {OrderAction::kTagSave, "orderAcSaveRadio", QStringLiteral("任意の場所に保存する")},
    };
    for (const auto& choice : choices) {
        auto* radio = new QRadioButton(choice.title, matrix);
        radio->setObjectName(QString::fromLatin1(choice.objectName));
        radio->setAccessibleName(choice.title);
        group->addButton(radio, choice.tag);
        matrixLayout->addWidget(radio);
    }
    sheet.body->insertWidget(1, matrix);
    auto* text = new QLabel(dialog);
    text->setObjectName(QStringLiteral("orderAcText"));
    text->setWordWrap(true);
    text->setMinimumHeight(text->fontMetrics().lineSpacing() * 2);
    sheet.body->insertWidget(2, text);
    sheet.message->setObjectName(QStringLiteral("orderAcMsg"));
    sheet.message->setVisible(false);

    // Tag 300: the text follows the choice.
    connect(group, &QButtonGroup::idToggled, text, [text](int tag, bool checked) {
        if (checked) {
            text->setText(OrderAction::orderActionText(tag));
        }
    });
    const int stored = OrderAction::orderActionTagForType(UserDef::orderActionType());
    group->button(stored)->setChecked(true);
    text->setText(OrderAction::orderActionText(stored));

    auto chosenTag = std::make_shared<int>(stored);
    connect(sheet.ok, &QPushButton::clicked, dialog, [dialog, group, chosenTag] {
        *chosenTag = group->checkedId();
        dialog->accept();
    });
    present(dialog, [this, chosenTag](bool accepted) {
        if (!accepted) {
            chainCancelled();
            return;
        }
        const int tag = *chosenTag;
        UserDef::setOrderActionType(OrderAction::orderActionTypeForTag(tag));
        Log::outputLn(QStringLiteral("orderActionType　%1").arg(tag));
        if (tag == OrderAction::kTagSave) {
            orderSaveFolderSelectSheet();
        } else {
            startJob();
        }
    });
}

void OrderSheets::orderSaveFolderSelectSheet() {
    for (;;) {
        const std::optional<QString> chosen =
            Tool::saveFileSelect(QStringLiteral("オーダーの保存先"), OrderAction::saveFolder(),
                                 OrderAction::nextArchiveFileName());
        if (!chosen) {
            chainCancelled();
            return;
        }
        const QString path = OrderAction::savePathWithZip(*chosen);
        const QFileInfo info(path);
        const QFileInfo folder(info.absolutePath());
        if (!folder.isDir() || !folder.isWritable()) {
            Tool::alertWithMsg(QStringLiteral("このフォルダには保存できません"),
                               QStringLiteral("%1\n書き込みできるフォルダを選択してください。")
                                   .arg(info.absolutePath()));
            continue;
        }
        if (info.exists() || info.isSymLink()) {
            if (!info.isFile()) {
                Tool::alertWithMsg(QStringLiteral("この名前では保存できません"),
                                   QStringLiteral("%1\n同じ名前のファイル以外の項目があります。")
                                       .arg(info.fileName()));
                continue;
            }
            // The name really written, ".zip" included, is the one the user agrees to replace.
            if (!Tool::alertOkNgWithMsg(
                    QStringLiteral("「%1」はすでに存在します。置き換えますか？")
                        .arg(info.fileName()),
                    QStringLiteral(
                        "置き換えると、今あるファイルは新しいオーダーで上書きされます。"),
                    QStringLiteral("置き換える"), QStringLiteral("キャンセル"))) {
                continue;
            }
            // The zip stage replaces exactly this file without asking a second time.
            UserDef::setObject(path, SettingsKey::OrderSaveReplacePath);
        } else {
            UserDef::removeObjectForKey(SettingsKey::OrderSaveReplacePath);
        }
        UserDef::setOrderSavePath(path);
        startJob();
        return;
    }
}

void OrderSheets::poolOrderSendWindowSheet() {
    if (!current_.isNull()) {
        return;
    }
    host_.dragDropOff();
    Sheet sheet = makeSheet(QStringLiteral("poolOrderSendWindow"),
                            QStringLiteral("オーダーを全て送信"), QStringLiteral("送信"));
    QDialog* dialog = sheet.dialog;
    auto* countLabel = new QLabel(dialog);
    countLabel->setObjectName(QStringLiteral("poolOrderCount"));
    sheet.body->insertWidget(1, countLabel);
    auto* list = new QPlainTextEdit(dialog);
    list->setObjectName(QStringLiteral("poolOrderListText"));
    list->setAccessibleName(QStringLiteral("未送信オーダーの一覧"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    list->setMinimumHeight(list->fontMetrics().lineSpacing() * 8);
    sheet.body->insertWidget(2, list);
    sheet.message->setVisible(false);
    QPushButton* openFolder =
        addSideButton(sheet.leftButtons, dialog, QStringLiteral("poolOrderOpenFolderButton"),
                      QStringLiteral("フォルダを開く"));
    // Tag 400: the pool folder in the file browser.
    connect(openFolder, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(host_.poolFolderPath())); });
    sheet.ok->setObjectName(QStringLiteral("okButton"));
    connect(sheet.ok, &QPushButton::clicked, dialog, &QDialog::accept);
    poolSheet_ = dialog;
    applicationWillBecomeActive();

    present(dialog, [this](bool accepted) {
        if (accepted && host_.poolCount() > 0) {
            Log::outputLn(QStringLiteral("PoolOrder送信実行"));
            UserDef::setExecuteButton(QStringLiteral("BtSendOnly"));
            host_.executeJobThread();
            host_.comViewRefresh();
            Q_EMIT poolSendEnded(true);
            return;
        }
        host_.dragDropOn();
        host_.comViewRefresh();
        Q_EMIT poolSendEnded(false);
    });
}

void OrderSheets::applicationWillBecomeActive() {
    if (poolSheet_.isNull()) {
        return;
    }
    auto* list = poolSheet_->findChild<QPlainTextEdit*>(QStringLiteral("poolOrderListText"));
    auto* send = poolSheet_->findChild<QPushButton*>(QStringLiteral("okButton"));
    auto* countLabel = poolSheet_->findChild<QLabel*>(QStringLiteral("poolOrderCount"));
    const int count = host_.poolCount();
    list->setPlainText(host_.poolListText());
    send->setEnabled(count > 0);
    countLabel->setText(count > 0 ? QStringLiteral("未送信のオーダーが%1件あります。").arg(count)
                                  : QStringLiteral("未送信のオーダーはありません。"));
}
