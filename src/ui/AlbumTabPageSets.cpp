// The album tab's album sets: named snapshots of the album form, picked from a pop-up and added,
// renamed or deleted through a name sheet.
#include "app/AlbumSet.h"
#include "app/AppCtrl.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "ui/AlbumTabPage.h"
#include "ui/ReadingOrder.h"
#include "util/Tool.h"

#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

QHBoxLayout* AlbumTabPage::makeAlbumSetRow() {
    setPop_ = new QComboBox(this);
    setPop_->setObjectName(QStringLiteral("alSetPop"));
    setPop_->setAccessibleName(QStringLiteral("アルバムセット"));
    setPop_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setPop_->setMinimumContentsLength(12);
    setPop_->setProperty("tag", 201);
    connect(setPop_, &QComboBox::activated, this, [this] { albumAction(201); });
    const auto button = [this](const QString& title, const QString& name, const QString& access,
                               int tag) {
        auto* b = new QPushButton(title, this);
        b->setObjectName(name);
        b->setAccessibleName(access);
        b->setProperty("tag", tag);
        connect(b, &QPushButton::clicked, this, [this, tag] { albumAction(tag); });
        return b;
    };
    setAddButton_ = button(QStringLiteral("セット登録…"), QStringLiteral("alSetAddButton"),
                           QStringLiteral("セット登録"), 202);
    setEditButton_ = button(QStringLiteral("名称変更…"), QStringLiteral("alSetEditButton"),
                            QStringLiteral("セット名称変更"), 203);
    setDelButton_ = button(QStringLiteral("削除…"), QStringLiteral("alSetDelButton"),
                           QStringLiteral("セット削除"), 204);
    auto* row = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("アルバムセット"), this);
    caption->setBuddy(setPop_);
    row->addWidget(caption);
    row->addWidget(setPop_);
    row->addWidget(setAddButton_);
    row->addWidget(setEditButton_);
    row->addWidget(setDelButton_);
    loadAlbumSetPop();
    return row;
}

void AlbumTabPage::loadAlbumSetPop() {
    {
        const QSignalBlocker block(setPop_);
        setPop_->clear();
        setPop_->addItem(QStringLiteral("-"));
        setPop_->addItems(AlbumSet::titles());
        setPop_->setCurrentIndex(0);
    }
    albumSetPopSelect();
}

void AlbumTabPage::albumSetPopSelect() {
    AppCtrl& c = ctrl();
    const bool off = c.prefWindowVisible() || !AppCtrl::isCustomerInfo() || c.isJobExecuting();
    setPop_->setEnabled(!off);
    setAddButton_->setEnabled(!off);
    setEditButton_->setEnabled(!off && setPop_->currentIndex() >= 1);
    setDelButton_->setEnabled(!off && setPop_->currentIndex() >= 1);
    UserDef::setObject(setPop_->count() == 0 ? QString() : setPop_->currentText(),
                       SettingsKey::AlbumSetName);
}

void AlbumTabPage::selectAlbumSetToUi() {
    const int k = setPop_->currentIndex();
    if (k < 1) {
        return;
    }
    if (const auto dic = AlbumSet::albumSetDic(k - 1)) {
        form_->albumUiSetupFromDic(*dic);
    }
}

void AlbumTabPage::addAlbumSetButtonJob() {
    showAlbumSetSheet(QStringLiteral("現在のアルバム商品選択状態をセットとして登録します"),
                      QStringLiteral("セットの名称を入力してください"), QStringLiteral("登録"),
                      QString(), true);
}

void AlbumTabPage::editAlbumSetButtonJob() {
    showAlbumSetSheet(QStringLiteral("登録済みセットの名称を変更します"),
                      QStringLiteral("セットの名称を編集してください"), QStringLiteral("名称変更"),
                      setPop_->currentText(), true);
}

void AlbumTabPage::delAlbumSetButtonJob() {
    showAlbumSetSheet(QStringLiteral("選択中のセットを削除します。よろしいですか？"),
                      QStringLiteral("削除するセット名称"), QStringLiteral("削除"),
                      setPop_->currentText(), false);
}

void AlbumTabPage::showAlbumSetSheet(const QString& msg1, const QString& msg2,
                                     const QString& okTitle, const QString& name, bool editable) {
    ctrl().menuUseOff();
    auto* sheet = new QDialog(window());
    sheet->setObjectName(QStringLiteral("albumSetNameEditWindow"));
    sheet->setWindowTitle(QStringLiteral("アルバムセット"));
    sheet->setAccessibleName(QStringLiteral("アルバムセット"));
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    auto* m1 = new QLabel(msg1, sheet);
    m1->setObjectName(QStringLiteral("albumSetMsg1TextField"));
    auto* m2 = new QLabel(msg2, sheet);
    m2->setObjectName(QStringLiteral("albumSetMsg2TextField"));
    auto* field = new QLineEdit(name, sheet);
    field->setObjectName(QStringLiteral("albumSetNameTextField"));
    field->setAccessibleName(QStringLiteral("セットの名称"));
    field->setReadOnly(!editable);
    field->setMinimumWidth(fontMetrics().horizontalAdvance(QString(24, QChar(0x3042))));
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), sheet);
    cancel->setObjectName(QStringLiteral("albumSetCancelButton"));
    cancel->setAccessibleName(QStringLiteral("キャンセル"));
    cancel->setProperty("tag", 0);
    auto* ok = new QPushButton(okTitle, sheet);
    ok->setObjectName(QStringLiteral("albumSetOkButton"));
    ok->setAccessibleName(okTitle);
    ok->setProperty("tag", 1);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    auto* box = new QVBoxLayout(sheet);
    box->addWidget(m1);
    box->addWidget(m2);
    box->addWidget(field);
    box->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, [this, field] {
        if (!field->text().isEmpty()) {
            albumSetSheetDidEnd(true);
        }
    });
    connect(cancel, &QPushButton::clicked, this, [this] { albumSetSheetDidEnd(false); });
    // Esc is the cancel button.
    connect(sheet, &QDialog::rejected, this, [this, sheet] {
        if (nameSheet_ == sheet) {
            albumSetSheetDidEnd(false);
        }
    });
    nameSheet_ = sheet;
    keepReadingOrder(sheet);
    sheet->open();
    field->setFocus();
}

void AlbumTabPage::albumSetSheetDidEnd(bool ok) {
    QPointer<QDialog> sheet = nameSheet_;
    if (!sheet) {
        return;
    }
    nameSheet_.clear();
    const QString okTitle =
        sheet->findChild<QPushButton*>(QStringLiteral("albumSetOkButton"))->text();
    const QString name =
        sheet->findChild<QLineEdit*>(QStringLiteral("albumSetNameTextField"))->text();
    sheet->close();
    const int k = setPop_->currentIndex();
    if (ok && okTitle == QStringLiteral("登録")) {
        if (AlbumSet::isAlbumSetTitleNG(name)) {
            Log::outputLn(QStringLiteral("セット登録--タイトルNG: %1").arg(name));
            Tool::beep(QStringLiteral("Basso"));
            showAlbumSetSheet(QStringLiteral("現在のアルバム商品選択状態をセットとして登録します"),
                              QStringLiteral("登録済の名称です。違う名称で登録して下さい"),
                              QStringLiteral("登録"), name, true);
            return;
        }
        Log::outputLn(QStringLiteral("セット登録: %1").arg(name));
        AlbumSet::addAlbumSet(name, form_->nowAlbumUiDic());
        loadAlbumSetPop();
    } else if (ok && okTitle == QStringLiteral("名称変更")) {
        if (AlbumSet::isAlbumSetTitleNG(name)) {
            Log::outputLn(QStringLiteral("セット名称変更--タイトルNG: %1").arg(name));
            Tool::beep(QStringLiteral("Basso"));
            showAlbumSetSheet(QStringLiteral("登録済みセットの名称を変更します"),
                              QStringLiteral("登録済の名称です。違う名称に変更して下さい"),
                              QStringLiteral("名称変更"), name, true);
            return;
        }
        Log::outputLn(QStringLiteral("セット名称変更: %1").arg(name));
        AlbumSet::modAlbumSetName(name, k - 1);
        loadAlbumSetPop();
    } else if (ok && okTitle == QStringLiteral("削除")) {
        Log::outputLn(QStringLiteral("セット削除: %1").arg(setPop_->currentText()));
        AlbumSet::delAlbumSet(k - 1);
        loadAlbumSetPop();
    }
    ctrl().menuUseOn();
    ctrl().comViewRefresh();
}
