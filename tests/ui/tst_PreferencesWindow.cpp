#include "AlertRecorder.h"
#include "LabSim.h"
#include "PreferencesHostRecorder.h"
#include "TestHome.h"
#include "app/CustomersModel.h"
#include "app/UserPref.h"
#include "product/ProductData.h"
#include "service/UpdateInfo.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/PassCheckWindow.h"
#include "ui/PhotoStudioNamePop.h"
#include "ui/PreferencesCtrl.h"
#include "ui/PreferencesWindow.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QtTest>
#include <memory>

namespace {

// For looking at the windows by eye: with HALVIX_SCREENSHOT_DIR set (run under Xvfb with
// QT_QPA_PLATFORM=xcb), the states worth seeing are saved as pictures.
void screenshot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("HALVIX_SCREENSHOT_DIR");
    if (dir.isEmpty() || !widget) {
        return;
    }
    QCoreApplication::processEvents();
    widget->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Types into a field as the user would; QTest sends key events for ASCII only, so Japanese
// text arrives as input-method text does: inserted at once.
void typeInto(QLineEdit* edit, const QString& text) {
    bool ascii = true;
    for (const QChar c : text) {
        ascii = ascii && c.unicode() < 0x80;
    }
    if (ascii) {
        QTest::keyClicks(edit, text);
    } else {
        edit->insert(text);
    }
}

QString logText() {
    QFile file(Log::logFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString stored(const char* key) {
    return UserDef::stringForKey(QString::fromLatin1(key)).value_or(QStringLiteral("<absent>"));
}

QVariantList storedCustomers() {
    return UserDef::arrayForKey(QStringLiteral("Customers")).value_or(QVariantList());
}

QVariantMap entry(const QString& name, const QString& code = QString()) {
    QVariantMap map{{QStringLiteral("PhotoStudioName"), name}};
    if (!code.isEmpty()) {
        map.insert(QStringLiteral("CustomerCode"), code);
    }
    return map;
}

// The preferences, password window and studio pop-up over a stand-in main window, driven by the
// controls' object names as a user would.
struct Prefs {
    Prefs() : ctrl(&mainWindow, host) {}

    template <typename T>
    T* control(const char* name) const {
        T* found = mainWindow.findChild<T*>(QString::fromLatin1(name));
        if (!found) {
            qWarning("control %s not found", name);
        }
        return found;
    }
    QWidget* prefWindow() const { return control<QWidget>("preferencesWindow"); }
    QWidget* passWindow() const { return control<QWidget>("passCheckWindow"); }

    void type(const char* field, const QString& text) const {
        QLineEdit* edit = control<QLineEdit>(field);
        edit->selectAll();
        edit->del();
        typeInto(edit, text);
        Q_EMIT edit->editingFinished();
    }
    QString text(const char* field) const { return control<QLineEdit>(field)->text(); }
    void click(const char* button) const {
        QAbstractButton* target = control<QAbstractButton>(button);
        // A check box answers on its box and label, not on the empty rest of its row.
        QPoint at = target->rect().center();
        if (auto* box = qobject_cast<QCheckBox*>(target)) {
            QStyleOptionButton option;
            option.initFrom(box);
            at = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
        }
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, at);
    }
    // Edits one cell of the customer list through its editor and commits with Return.
    void editCell(int row, int column, const QString& text) const {
        auto* view = control<QTableView>("customersTableView");
        const QModelIndex index = view->model()->index(row, column);
        view->setCurrentIndex(index);
        view->edit(index);
        auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(index));
        if (!editor) {
            editor = view->viewport()->findChild<QLineEdit*>();
        }
        QVERIFY(editor);
        editor->selectAll();
        typeInto(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    void selectRow(int row) const { control<QTableView>("customersTableView")->selectRow(row); }
    QStringList popTitles() const {
        auto* pop = control<PhotoStudioNamePop>("photoStudioNamePop");
        QStringList titles;
        for (int i = 0; i < pop->count(); ++i) {
            titles.append(pop->itemText(i));
        }
        return titles;
    }

    QWidget mainWindow;
    PreferencesHostRecorder host;
    PreferencesCtrl ctrl;
};

} // namespace

class TestPreferencesWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void singleViewStoresTheCustomer() {
        TestHome home;
        AlertRecorder alerts;
        UserDef::setObject(QStringLiteral("ON"), QStringLiteral("ThumbnailView"));
        UserDef::setObject(QStringLiteral("ON"), QStringLiteral("AlbumSlectionSave"));
        Prefs prefs;
        QVERIFY(!UserPref::isCustomerInfo());

        prefs.ctrl.preferencesAction();
        QVERIFY(prefs.prefWindow()->isVisible());
        QVERIFY(prefs.ctrl.prefWindowVisible());
        QCOMPARE(prefs.host.calls, (QStringList{"visible on", "refresh"}));
        QVERIFY(prefs.control<QCheckBox>("thumbnailViewCb")->isChecked());
        QCOMPARE(prefs.control<QStackedWidget>("customerViews")->currentWidget()->objectName(),
                 QStringLiteral("singleCustomerView"));

        prefs.type("photoStudioNameField", QStringLiteral("青空写真館"));
        prefs.type("customerCodeField", QStringLiteral("00456"));
        QCOMPARE(prefs.text("customerCodeField"), QStringLiteral("456"));
        prefs.type("customerCodeField", QStringLiteral("456-2"));
        QCOMPARE(prefs.text("customerCodeField"), QStringLiteral("456-2"));
        prefs.type("customerEmailField", QStringLiteral("aozora@example.jp"));
        prefs.click("thumbnailViewCb");
        screenshot(prefs.prefWindow(), QStringLiteral("preferences-single"));
        prefs.host.calls.clear();
        prefs.click("userPrefSaveBt");

        QVERIFY(!prefs.prefWindow()->isVisible());
        QVERIFY(!prefs.host.prefWindowVisible);
        QCOMPARE(prefs.host.calls, (QStringList{"visible off", "reload", "refresh"}));
        QCOMPARE(stored("PhotoStudioName"), QStringLiteral("青空写真館"));
        QCOMPARE(stored("CustomerCode"), QStringLiteral("456-2"));
        QCOMPARE(stored("CustomerEmail"), QStringLiteral("aozora@example.jp"));
        QCOMPARE(stored("ThumbnailView"), QStringLiteral("OFF"));
        QCOMPARE(stored("AlbumSlectionSave"), QStringLiteral("ON"));
        QVERIFY(UserPref::isCustomerInfo());
        QCOMPARE(alerts.count(), 0);
        // With no list to choose from, the main window's studio pop-up shows the studio's name.
        auto* pop = prefs.control<PhotoStudioNamePop>("photoStudioNamePop");
        QCOMPARE(pop->count(), 0);
        QCOMPARE(pop->placeholderText(), QStringLiteral("青空写真館"));

        // Cancel discards edits of the fields.
        prefs.ctrl.preferencesAction();
        prefs.type("photoStudioNameField", QStringLiteral("別の名前"));
        prefs.click("userPrefCancelBt");
        QVERIFY(!prefs.prefWindow()->isVisible());
        QCOMPARE(stored("PhotoStudioName"), QStringLiteral("青空写真館"));
        QCOMPARE(prefs.text("photoStudioNameField"), QStringLiteral("青空写真館"));

        // An emptied code is stored empty, and the customer information is incomplete again.
        prefs.ctrl.preferencesAction();
        prefs.type("customerCodeField", QString());
        prefs.click("userPrefSaveBt");
        QCOMPARE(stored("CustomerCode"), QString());
        QVERIFY(!UserPref::isCustomerInfo());

        // A code that is no customer code never reaches the settings by way of the
        // multi-customer box (on, off, cancel), though the field gives it back for correcting.
        prefs.ctrl.preferencesAction();
        prefs.type("customerCodeField", QStringLiteral("99999999999"));
        prefs.click("multiCustomerCb");
        prefs.click("multiCustomerCb");
        QCOMPARE(prefs.text("customerCodeField"), QStringLiteral("99999999999"));
        prefs.click("userPrefCancelBt");
        QCOMPARE(stored("CustomerCode"), QString());
        QVERIFY(!UserPref::isCustomerInfo());
    }

    // Anything that is not a customer code is refused with a message and never stored.
    void invalidCodeIsRefusedInTheSingleView_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("overflowing number") << QStringLiteral("99999999999");
        QTest::newRow("letters") << QStringLiteral("abc");
        QTest::newRow("digits then letters") << QStringLiteral("12ab");
        QTest::newRow("zero") << QStringLiteral("0");
    }
    void invalidCodeIsRefusedInTheSingleView() {
        QFETCH(QString, typed);
        TestHome home;
        AlertRecorder alerts;
        UserDef::setObject(QStringLiteral("本店写真館"), QStringLiteral("PhotoStudioName"));
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        Prefs prefs;
        prefs.ctrl.preferencesAction();

        prefs.type("customerCodeField", typed);
        QCOMPARE(prefs.text("customerCodeField"), typed); // left for the user to correct
        auto* hint = prefs.control<QLabel>("customerCodeErrorMsg");
        QVERIFY(!hint->isHidden());
        QVERIFY(hint->text().contains(QStringLiteral("お客様コードが正しくありません")));
        screenshot(prefs.prefWindow(), QStringLiteral("preferences-invalid-code"));
        prefs.host.calls.clear();
        prefs.click("userPrefSaveBt");

        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("お客様コードが正しくありません")});
        QVERIFY(alerts.last().information.contains(typed));
        QVERIFY(prefs.prefWindow()->isVisible());
        QVERIFY(prefs.host.calls.isEmpty());
        QCOMPARE(stored("CustomerCode"), QStringLiteral("1234"));
    }

    void multipleCustomersView() {
        TestHome home;
        AlertRecorder alerts;
        UserDef::setObject(QStringLiteral("本店写真館"), QStringLiteral("PhotoStudioName"));
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        UserDef::setObject(QStringLiteral("honten@example.jp"), QStringLiteral("CustomerEmail"));
        Prefs prefs;
        prefs.ctrl.preferencesAction();

        prefs.click("multiCustomerCb");
        QCOMPARE(prefs.control<QStackedWidget>("customerViews")->currentWidget()->objectName(),
                 QStringLiteral("multiCustomerView"));
        QCOMPARE(UserDef::integerForKey(QStringLiteral("MultiCustomerCheck")), 1);
        QCOMPARE(stored("PhotoStudioNameBk"), QStringLiteral("本店写真館"));
        QCOMPARE(stored("CustomerCodeBk"), QStringLiteral("1234"));

        // Every edit of the list is in the settings at once.
        for (int i = 0; i < 4; ++i) {
            prefs.click("customerAddBt");
        }
        prefs.editCell(0, CustomersModel::StudioNameColumn, QStringLiteral("青空写真館"));
        prefs.editCell(0, CustomersModel::CustomerCodeColumn, QStringLiteral("0456"));
        prefs.editCell(1, CustomersModel::StudioNameColumn, QStringLiteral("海辺写真館"));
        prefs.editCell(1, CustomersModel::CustomerCodeColumn, QStringLiteral("789-2"));
        prefs.editCell(2, CustomersModel::StudioNameColumn, QStringLiteral("名前だけ"));
        prefs.editCell(3, CustomersModel::StudioNameColumn, QStringLiteral("消す写真館"));
        QCOMPARE(
            storedCustomers(),
            (QVariantList{entry(QStringLiteral("青空写真館"), QStringLiteral("456")),
                          entry(QStringLiteral("海辺写真館"), QStringLiteral("789-2")),
                          entry(QStringLiteral("名前だけ")), entry(QStringLiteral("消す写真館"))}));
        // Removing asks first; キャンセル keeps the entry.
        prefs.selectRow(3);
        alerts.enqueueNg();
        prefs.click("customerRemoveBt");
        QCOMPARE(alerts.last().message, QStringLiteral("選択したお客様を削除しますか？"));
        QCOMPARE(alerts.last().information, QStringLiteral("消す写真館"));
        QCOMPARE(storedCustomers().size(), 4);
        prefs.click("customerRemoveBt");
        QCOMPARE(storedCustomers().size(), 3);
        alerts.clear();

        // A code that is not one is refused in the list too, and the entry keeps its code.
        prefs.editCell(1, CustomersModel::CustomerCodeColumn, QStringLiteral("99999999999"));
        QTRY_COMPARE(alerts.messages(),
                     QStringList{QStringLiteral("お客様コードが正しくありません")});
        QCOMPARE(storedCustomers().at(1),
                 QVariant(entry(QStringLiteral("海辺写真館"), QStringLiteral("789-2"))));

        prefs.selectRow(1);
        screenshot(prefs.prefWindow(), QStringLiteral("preferences-multi"));
        QCOMPARE(prefs.text("selectedPhotoStudioNameField"), QStringLiteral("海辺写真館"));
        QCOMPARE(prefs.text("selectedCustomerCodeField"), QStringLiteral("789-2"));
        prefs.host.calls.clear();
        prefs.click("userPrefSaveBt");

        QCOMPARE(stored("PhotoStudioName"), QStringLiteral("海辺写真館"));
        QCOMPARE(stored("CustomerCode"), QStringLiteral("789-2"));
        QCOMPARE(stored("CustomerEmail"), QStringLiteral("honten@example.jp"));
        QCOMPARE(prefs.host.calls, (QStringList{"visible off", "reload", "refresh"}));
        // The studio pop-up lists the entries with both a name and a code.
        QCOMPARE(prefs.popTitles(),
                 (QStringList{QStringLiteral("青空写真館"), QStringLiteral("海辺写真館")}));
        auto* pop = prefs.control<PhotoStudioNamePop>("photoStudioNamePop");
        QCOMPARE(pop->currentText(), QStringLiteral("海辺写真館"));

        // Choosing a studio in the main window switches the customer.
        prefs.host.calls.clear();
        Q_EMIT pop->activated(0);
        QCOMPARE(stored("PhotoStudioName"), QStringLiteral("青空写真館"));
        QCOMPARE(stored("CustomerCode"), QStringLiteral("456"));
        QCOMPARE(prefs.host.calls, (QStringList{"reload", "refresh"}));

        // Saving without a selected entry takes the first complete entry.
        prefs.ctrl.preferencesAction();
        prefs.control<QTableView>("customersTableView")->clearSelection();
        prefs.click("userPrefSaveBt");
        QCOMPARE(stored("PhotoStudioName"), QStringLiteral("青空写真館"));

        // Off again: the single-customer values come back.
        prefs.ctrl.preferencesAction();
        prefs.click("multiCustomerCb");
        QCOMPARE(prefs.text("photoStudioNameField"), QStringLiteral("本店写真館"));
        QCOMPARE(prefs.text("customerCodeField"), QStringLiteral("1234"));
        QCOMPARE(stored("PhotoStudioName"), QStringLiteral("本店写真館"));
        QCOMPARE(stored("CustomerCode"), QStringLiteral("1234"));
        QCOMPARE(UserDef::integerForKey(QStringLiteral("MultiCustomerCheck")), 0);
        prefs.click("userPrefCancelBt");
        // The list stays as edited.
        QCOMPARE(storedCustomers().size(), 3);
    }

    // Codes left in the list by an older version are cleaned before they are used.
    void customerCodeFilterDropsWhatIsNotACode() {
        TestHome home;
        UserDef::setObject(QVariantList{entry(QStringLiteral("A"), QStringLiteral("0012")),
                                        entry(QStringLiteral("B"), QStringLiteral("99999999999")),
                                        entry(QStringLiteral("C"), QStringLiteral("abc")),
                                        entry(QStringLiteral("D"), QStringLiteral("34-x"))},
                           QStringLiteral("Customers"));
        UserPref::customerCodeFilter();
        QCOMPARE(storedCustomers(),
                 (QVariantList{entry(QStringLiteral("A"), QStringLiteral("12")),
                               entry(QStringLiteral("B")), entry(QStringLiteral("C")),
                               entry(QStringLiteral("D"), QStringLiteral("34-x"))}));
        QCOMPARE(UserPref::photoStudioPopTitles(),
                 (QStringList{QStringLiteral("A"), QStringLiteral("D")}));
    }

    // A custom customer: saving the preferences asks for the password; a wrong one is asked
    // again or given up, the right one is stored as the lab's digest and the customer's own
    // catalogues load.
    void customCustomerAuthenticates() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        UserDef::setObject(QStringLiteral("9999"), QStringLiteral("CustomCustomerCode"));
        Prefs prefs;
        prefs.host.createProductData(UpdateInfo::fetchUpdateInfo());
        QVERIFY(!prefs.host.productData()->customDataFlg());

        prefs.ctrl.preferencesAction();
        prefs.type("photoStudioNameField", QStringLiteral("特注写真館"));
        prefs.type("customerCodeField", QStringLiteral("9999"));
        prefs.type("customerEmailField", QStringLiteral("custom@example.jp"));
        prefs.host.calls.clear();
        prefs.click("userPrefSaveBt");

        QVERIFY(prefs.passWindow()->isVisible());
        QCOMPARE(prefs.host.calls, QStringList{"visible off"});
        auto* field = prefs.control<QLineEdit>("passCheckPassField");
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        QVERIFY(field->text().isEmpty());

        // Wrong password, "はい": the window stays with the password still typed.
        QTest::keyClicks(field, QStringLiteral("wrong-pass"));
        screenshot(prefs.passWindow(), QStringLiteral("pass-check"));
        alerts.enqueueOk();
        prefs.click("passCheckOkBt");
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("認証に失敗しました")});
        QCOMPARE(alerts.last().information,
                 QStringLiteral("9999の認証に失敗しました。再度認証しますか？"));
        QCOMPARE(alerts.beeps().size(), 1);
        QVERIFY(prefs.passWindow()->isVisible());
        QCOMPARE(field->text(), QStringLiteral("wrong-pass"));
        QVERIFY(!UserDef::isPassMD5());

        // The right password.
        alerts.clear();
        field->clear();
        QTest::keyClicks(field, QStringLiteral("custom9999"));
        prefs.click("passCheckOkBt");
        QCOMPARE(alerts.messages(),
                 QStringList{QStringLiteral("カスタムモード認証に成功しました")});
        QCOMPARE(alerts.last().information, QStringLiteral("9999のカスタムモードを認証しました。"));
        QVERIFY(!prefs.passWindow()->isVisible());
        const QString digest = QString::fromLatin1(
            QCryptographicHash::hash("custom9999", QCryptographicHash::Md5).toHex());
        QCOMPARE(UserDef::passMD5(), std::optional<QString>(digest));
        QVERIFY(UserDef::customDataForCode(QStringLiteral("9999"), QStringLiteral("CustomAlbum"))
                    .value_or(QString())
                    .contains(QStringLiteral("CSV_DATA_ALBUM")));
        QVERIFY(UserDef::customDataForCode(QStringLiteral("9999"), QStringLiteral("CustomPrint"))
                    .value_or(QString())
                    .contains(QStringLiteral("order_set_print")));
        QVERIFY(prefs.host.productData()->customDataFlg());
        QCOMPARE(prefs.host.reloadReplacedCount, 1);
        QCOMPARE(prefs.host.calls.mid(1), (QStringList{"reload", "refresh"}));

        // Nothing of the password or its digest reaches the log.
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("カスタムモード認証成功（9999）")));
        QVERIFY(!log.contains(QStringLiteral("custom9999")));
        QVERIFY(!log.contains(QStringLiteral("wrong-pass")));
        QVERIFY(!log.contains(digest));

        // Once authenticated, saving again goes straight to the catalogues.
        prefs.host.calls.clear();
        prefs.ctrl.preferencesAction();
        prefs.click("userPrefSaveBt");
        QVERIFY(!prefs.passWindow()->isVisible());
        QCOMPARE(prefs.host.calls.mid(2), (QStringList{"visible off", "reload", "refresh"}));
    }

    void customCustomerGivesUp() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        UserDef::setObject(QStringLiteral("9999"), QStringLiteral("CustomCustomerCode"));
        UserDef::setObject(QStringLiteral("特注写真館"), QStringLiteral("PhotoStudioName"));
        UserDef::setObject(QStringLiteral("9999"), QStringLiteral("CustomerCode"));
        Prefs prefs;

        prefs.ctrl.startUpPassCheck();
        QVERIFY(prefs.passWindow()->isVisible());
        QCOMPARE(prefs.host.calls, QStringList{"reload"});

        QTest::keyClicks(prefs.control<QLineEdit>("passCheckPassField"), QStringLiteral("nope"));
        alerts.enqueueNg(); // "いいえ"
        prefs.click("passCheckOkBt");
        QVERIFY(!prefs.passWindow()->isVisible());
        QVERIFY(!UserDef::isPassMD5());
        QVERIFY(prefs.control<QLineEdit>("passCheckPassField")->text().isEmpty());
        QCOMPARE(prefs.host.calls, (QStringList{"reload", "reload", "refresh"}));
    }
};

QTEST_MAIN(TestPreferencesWindow)
#include "tst_PreferencesWindow.moc"
