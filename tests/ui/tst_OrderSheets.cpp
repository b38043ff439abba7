#include "AlertRecorder.h"
#include "SheetDriver.h"
#include "TestHome.h"
#include "product/ProductData.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/OrderSheets.h"

#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <QtTest>
#include <memory>

namespace {

// The application controller's side of the sheets, counting what the chain asks of it.
class SheetHost : public OrderSheetHost {
public:
    bool charInput = false;
    bool layoutEdit = false;
    ProductData* data = nullptr;
    int pool = 0;
    QString poolText;
    int menuOff = 0, menuOn = 0, dropOff = 0, dropOn = 0, jobs = 0, refreshes = 0;

    bool isCharInputProduct() const override { return charInput; }
    bool is3465LayoutEditRequest() const override { return layoutEdit; }
    ProductData* productData() const override { return data; }
    int poolCount() const override { return pool; }
    QString poolListText() const override { return poolText; }
    QString poolFolderPath() const override { return QStringLiteral("/nonexistent-pool"); }
    void menuUseOff() override { ++menuOff; }
    void menuUseOn() override { ++menuOn; }
    void dragDropOff() override { ++dropOff; }
    void dragDropOn() override { ++dropOn; }
    void executeJobThread() override { ++jobs; }
    void comViewRefresh() override { ++refreshes; }
};

// One main window with its sheets, in a fresh home.
struct Fixture {
    TestHome home;
    AlertRecorder alerts;
    QWidget window;
    SheetHost host;
    OrderSheets sheets{&window, host};
    Fixture() {
        window.resize(1024, 700);
        window.show();
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        UserDef::setObject(QStringLiteral("テスト写真館"), QStringLiteral("PhotoStudioName"));
        UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    }
};

const QString kInfo = QStringLiteral("orderInfoWindow");
const QString kAction = QStringLiteral("orderAcWindow");
const QString kWedding = QStringLiteral("orderInfo3465Window");

QString logText() {
    QFile file(Log::logFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestOrderSheets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Send now: order information, order action, job. Drops stay off from Send to the job.
    void standardChainSendsNow() {
        Fixture f;
        UserDef::setCharInputDic({{QStringLiteral("OrderCharName"), QStringLiteral("old")}});
        f.sheets.startOrderChain();
        QVERIFY(!UserDef::isCharInputDic());
        QCOMPARE(f.host.dropOff, 1);
        QDialog* info = SheetDriver::openSheet(kInfo);
        QVERIFY(info);
        QVERIFY(info->isModal());
        QCOMPARE(info->windowModality(), Qt::WindowModal);
        QCOMPARE(f.host.menuOff, 1);
        f.sheets.startOrderChain(); // a second Send while the sheet is open changes nothing
        QCOMPARE(f.host.dropOff, 1);
        QCOMPARE(SheetDriver::openSheet(kInfo), info);
        QCOMPARE(info->focusWidget()->objectName(), QStringLiteral("orderInfoDate"));

        QVERIFY(SheetDriver::setText(kInfo, QStringLiteral("orderInfoDate"),
                                     QStringLiteral("2024/2/30")));
        QVERIFY(
            SheetDriver::setText(kInfo, QStringLiteral("orderInfoName"), QStringLiteral("山田")));
        QVERIFY(
            SheetDriver::setText(kInfo, QStringLiteral("orderInfoNo"), QStringLiteral("１２３")));
        QVERIFY(SheetDriver::confirm(kInfo));
        QCOMPARE(UserDef::orderInfoDic().value_or(QVariantMap()),
                 (QVariantMap{{QStringLiteral("OrderInfoDate"), QStringLiteral("2024/02/30")},
                              {QStringLiteral("OrderInfoName"), QStringLiteral("山田")},
                              {QStringLiteral("OrderInfoNo"), QStringLiteral("123")}}));

        QVERIFY(SheetDriver::openSheet(kAction));
        QCOMPARE(SheetDriver::checkedOrderAction(), 301);
        QCOMPARE(SheetDriver::orderActionTitle(301), QStringLiteral("すぐに送信する"));
        QVERIFY(SheetDriver::text(kAction, QStringLiteral("orderAcText"))
                    .startsWith(QStringLiteral("現在のオーダーをすぐに送信します。")));
        QCOMPARE(f.host.jobs, 0);
        QVERIFY(SheetDriver::confirm(kAction));
        QCOMPARE(f.host.jobs, 1);
        QCOMPARE(UserDef::orderActionType(), std::optional<QString>(QStringLiteral("AcNowSend")));
        QVERIFY(logText().contains(QStringLiteral("orderActionType　301")));
        QCOMPARE(f.host.dropOn, 0);
        QCOMPARE(f.host.menuOff, f.host.menuOn);
        QCOMPARE(SheetDriver::openSheetName(), QString());
    }

    // The date rules and the number field, as the user sees them in the sheet.
    void orderInfoValidationKeepsSheetOpen() {
        Fixture f;
        f.sheets.startOrderChain();
        const QString date = QStringLiteral("orderInfoDate");
        SheetDriver::setText(kInfo, date, QStringLiteral("1999/12/31"));
        QVERIFY(SheetDriver::confirm(kInfo));
        QVERIFY(SheetDriver::openSheet(kInfo));
        QCOMPARE(SheetDriver::message(kInfo),
                 QStringLiteral("日付は『YYYY/MM/DD』の形式で入力してください"));
        QCOMPARE(f.alerts.beeps().size(), 1);

        SheetDriver::setText(kInfo, date, QStringLiteral("2024-02-01"));
        QVERIFY(SheetDriver::pressEnter(kInfo));
        QVERIFY(SheetDriver::openSheet(kInfo));
        QCOMPARE(SheetDriver::message(kInfo),
                 QStringLiteral("撮影日は『YYYY/MM/DD』の形式で入力してください"));

        SheetDriver::setText(kInfo, date, QString());
        SheetDriver::setText(kInfo, QStringLiteral("orderInfoNo"), QStringLiteral("A漢字"));
        SheetDriver::confirm(kInfo);
        QCOMPARE(SheetDriver::message(kInfo),
                 QStringLiteral("管理番号は半角10文字以内で入力してください"));
        QVERIFY(!UserDef::orderInfoDic().has_value());

        // Moving on to another field checks the one just left, without closing.
        QDialog* sheet = SheetDriver::openSheet(kInfo);
        sheet->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(sheet));
        SheetDriver::setText(kInfo, QStringLiteral("orderInfoNo"), QStringLiteral("ＡＢ１２"));
        sheet->findChild<QLineEdit*>(QStringLiteral("orderInfoName"))->setFocus();
        QCOMPARE(SheetDriver::text(kInfo, QStringLiteral("orderInfoNo")), QStringLiteral("AB12"));
        QCOMPARE(SheetDriver::message(kInfo), QString());

        // Pasted line breaks and tabs never stay in a one-line field.
        SheetDriver::setText(kInfo, QStringLiteral("orderInfoName"),
                             QStringLiteral("山田\r\n花子\t"));
        QCOMPARE(SheetDriver::text(kInfo, QStringLiteral("orderInfoName")),
                 QStringLiteral("山田花子"));

        QVERIFY(SheetDriver::clickButton(kInfo, QStringLiteral("orderInfoTodayButton")));
        QCOMPARE(SheetDriver::text(kInfo, date),
                 QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")));
        QVERIFY(SheetDriver::pressEscape(kInfo));
        QCOMPARE(SheetDriver::openSheetName(), QString());
        QCOMPARE(f.host.dropOn, 1);
        QCOMPARE(f.host.jobs, 0);
    }

    // Cancelling the order action sheet keeps the order information and starts nothing.
    void cancelOrderActionKeepsOrderInfo() {
        Fixture f;
        f.sheets.startOrderChain();
        SheetDriver::setText(kInfo, QStringLiteral("orderInfoName"), QStringLiteral("佐藤"));
        SheetDriver::confirm(kInfo);
        QVERIFY(SheetDriver::cancel(kAction));
        QCOMPARE(f.host.jobs, 0);
        QCOMPARE(f.host.dropOn, 1);
        QCOMPARE(UserDef::objectForKeyFromOrderInfoDic(QStringLiteral("OrderInfoName")).toString(),
                 QStringLiteral("佐藤"));
        QCOMPARE(f.host.menuOff, f.host.menuOn);
    }

    // With two archives waiting, send now says it sends only this order; the stored choice is
    // preselected and the text follows the choice.
    void orderActionTitleAndPreselection() {
        Fixture f;
        f.host.pool = 2;
        UserDef::setOrderActionType(QStringLiteral("AcAfterSend"));
        f.sheets.startOrderChain();
        SheetDriver::confirm(kInfo);
        QCOMPARE(SheetDriver::orderActionTitle(301),
                 QStringLiteral("すぐに送信する（このオーダのみ送信）"));
        QCOMPARE(SheetDriver::checkedOrderAction(), 302);
        QVERIFY(SheetDriver::text(kAction, QStringLiteral("orderAcText"))
                    .startsWith(QStringLiteral("オーダーを後で一括")));
        QVERIFY(SheetDriver::chooseOrderAction(303));
        QVERIFY(SheetDriver::text(kAction, QStringLiteral("orderAcText"))
                    .startsWith(QStringLiteral("送信環境の無い方")));
        QVERIFY(SheetDriver::chooseOrderAction(302));
        QVERIFY(SheetDriver::pressEnter(kAction));
        QCOMPARE(f.host.jobs, 1);
        QCOMPARE(UserDef::orderActionType(), std::optional<QString>(QStringLiteral("AcAfterSend")));
    }

    // Save: ".zip" only when missing; an existing file is replaced only when that exact name
    // was agreed to.
    void savePanelRules() {
        Fixture f;
        const QString media = f.home.filePath(QStringLiteral("media"));
        QDir().mkpath(media);
        QFile existing(media + QStringLiteral("/order.zip"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();

        UserDef::setOrderActionType(QStringLiteral("AcSave"));
        f.sheets.startOrderChain();
        SheetDriver::confirm(kInfo);
        f.alerts.enqueueFile(media + QStringLiteral("/order")); // becomes order.zip, which exists
        f.alerts.enqueueNg();                                   // do not replace
        f.alerts.enqueueFile(media + QStringLiteral("/new.ZIP"));
        SheetDriver::confirm(kAction);
        const QList<AlertRequest> asked = f.alerts.requests();
        QCOMPARE(asked.size(), 3);
        QCOMPARE(asked.at(0).kind, AlertRequest::Kind::SaveFile);
        QCOMPARE(asked.at(0).proposedName, QStringLiteral("1234_001122AABBCC_0000001.zip"));
        QCOMPARE(asked.at(1).kind, AlertRequest::Kind::OkNg);
        QVERIFY(asked.at(1).message.contains(QStringLiteral("「order.zip」")));
        QCOMPARE(UserDef::stringForKey(QStringLiteral("OrderSavePath")),
                 std::optional<QString>(media + QStringLiteral("/new.ZIP")));
        QCOMPARE(f.host.jobs, 1);

        // Agreeing to replace; then a cancelled save panel ends the chain without a job.
        f.alerts.clear();
        f.sheets.startOrderChain();
        SheetDriver::confirm(kInfo);
        f.alerts.enqueueFile(media + QStringLiteral("/order"));
        f.alerts.enqueueOk();
        SheetDriver::confirm(kAction);
        QCOMPARE(UserDef::stringForKey(QStringLiteral("OrderSavePath")),
                 std::optional<QString>(media + QStringLiteral("/order.zip")));
        QCOMPARE(f.host.jobs, 2);
        QCOMPARE(UserDef::stringForKey(QStringLiteral("OrderSavePath")).value(),
                 media + QStringLiteral("/order.zip"));

        f.alerts.clear();
        f.sheets.startOrderChain();
        SheetDriver::confirm(kInfo);
        SheetDriver::confirm(kAction); // the recorder cancels the save panel
        QCOMPARE(f.alerts.last().folder, media);
        QCOMPARE(f.host.jobs, 2);
        QCOMPARE(f.host.dropOn, 1);
    }

    // The wedding group: its own sheet, pop-ups from the album catalogue, month switch.
    void weddingSheet() {
        Fixture f;
        ProductData data{QString()};
        f.host.data = &data;
        f.host.layoutEdit = true;
        UserDef::setObject(QStringLiteral("3465"), QStringLiteral("CustomerCode"));
        f.sheets.startOrderChain();
        QDialog* sheet = SheetDriver::openSheet(kWedding);
        QVERIFY(sheet);
        auto* years = sheet->findChild<QComboBox*>(QStringLiteral("orderInfoYearPop"));
        QCOMPARE(years->count(), 3);
        QCOMPARE(years->currentText(), QString::number(QDate::currentDate().year()));
        QCOMPARE(SheetDriver::popText(kWedding, QStringLiteral("orderInfoMonthPop")),
                 QString::number(QDate::currentDate().month()));
        QCOMPARE(SheetDriver::popText(kWedding, QStringLiteral("orderInfoDayPop")),
                 QString::number(QDate::currentDate().day()));
        QCOMPARE(SheetDriver::text(kWedding, QStringLiteral("orderInfoDeliveryDate")),
                 QDate::currentDate().toString(QStringLiteral("yyyy/MM/")));

        QVERIFY(SheetDriver::selectPop(kWedding, QStringLiteral("orderInfoMonthPop"),
                                       QStringLiteral("1")));
        QVERIFY(SheetDriver::selectPop(kWedding, QStringLiteral("orderInfoDayPop"),
                                       QStringLiteral("31")));
        QVERIFY(SheetDriver::selectPop(kWedding, QStringLiteral("orderInfoMonthPop"),
                                       QStringLiteral("4")));
        auto* days = sheet->findChild<QComboBox*>(QStringLiteral("orderInfoDayPop"));
        QCOMPARE(days->count(), 30);
        QCOMPARE(days->currentText(), QStringLiteral("1"));
        SheetDriver::selectPop(kWedding, QStringLiteral("orderInfoDayPop"), QStringLiteral("29"));
        SheetDriver::selectPop(kWedding, QStringLiteral("orderInfoMonthPop"), QStringLiteral("2"));
        QCOMPARE(days->count(), 29);
        QCOMPARE(days->currentText(), QStringLiteral("29"));

        QVERIFY(SheetDriver::confirm(kWedding));
        QCOMPARE(SheetDriver::message(kWedding), QStringLiteral("システムNoを入力してください"));
        QCOMPARE(f.alerts.beeps().size(), 1);
        SheetDriver::setText(kWedding, QStringLiteral("orderInfoSystemNo"), QStringLiteral("W-77"));
        SheetDriver::confirm(kWedding);
        QCOMPARE(SheetDriver::message(kWedding), QStringLiteral("会場名を選択してください"));
        QVERIFY(SheetDriver::selectPop(kWedding, QStringLiteral("orderInfoVenuePop"),
                                       QStringLiteral("迎賓館ル・シエル")));
        QVERIFY(SheetDriver::selectPop(kWedding, QStringLiteral("orderInfoSalonPop"),
                                       QStringLiteral("銀座サロン")));
        // Typed on two lines (and a stray empty line): the break is kept for the report.
        SheetDriver::setText(kWedding, QStringLiteral("orderInfoBrideAndGroom"),
                             QStringLiteral("新郎 一郎\n新婦 花子\n"));
        SheetDriver::setText(kWedding, QStringLiteral("orderInfoStaffName"),
                             QStringLiteral("佐藤"));
        if (const QString shots = qEnvironmentVariable("HALVIX_SHOT_DIR"); !shots.isEmpty()) {
            SheetDriver::openSheet(kWedding)->grab().save(shots + QStringLiteral("/wedding.png"));
        }
        SheetDriver::confirm(kWedding);
        QCOMPARE(SheetDriver::message(kWedding),
                 QStringLiteral("最終お客様お渡し日は『YYYY/MM/DD』の形式で入力してください"));
        SheetDriver::setText(kWedding, QStringLiteral("orderInfoDeliveryDate"),
                             QStringLiteral("2030/6/5"));
        SheetDriver::confirm(kWedding);
        QVERIFY(SheetDriver::openSheet(kAction));
        const QVariantMap dic = UserDef::orderInfoDic().value_or(QVariantMap());
        QCOMPARE(dic.value(QStringLiteral("OrderInfoWeddingDateAndVenue")).toString(),
                 QStringLiteral("%1/02/29 迎賓館ル・シエル").arg(QDate::currentDate().year()));
        QCOMPARE(dic.value(QStringLiteral("OrderInfoSalon")).toString(),
                 QStringLiteral("銀座サロン"));
        QCOMPARE(dic.value(QStringLiteral("OrderInfoDeliveryDate")).toString(),
                 QStringLiteral("2030/06/05"));
        QCOMPARE(dic.value(QStringLiteral("OrderInfoSystemNo")).toString(), QStringLiteral("W-77"));
        QCOMPARE(dic.value(QStringLiteral("OrderInfoBrideAndGroom")).toString(),
                 QStringLiteral("新郎 一郎\n新婦 花子"));
        SheetDriver::cancel(kAction);
    }

    // Several customers: the customer check comes first; a name-and-date product adds its sheet.
    void customerCheckAndCharacterInput() {
        Fixture f;
        UserDef::setObject(qint64(1), QStringLiteral("MultiCustomerCheck"));
        f.host.charInput = true;
        f.sheets.startOrderChain();
        const QString check = QStringLiteral("orderCustomerCheckWindow");
        QVERIFY(SheetDriver::openSheet(check));
        QCOMPARE(SheetDriver::text(check, QStringLiteral("orderCustomerCode")),
                 QStringLiteral("1234"));
        QCOMPARE(SheetDriver::text(check, QStringLiteral("orderCustomerStudioName")),
                 QStringLiteral("テスト写真館"));
        SheetDriver::confirm(check);

        const QString chars = QStringLiteral("characterInputWindow");
        QVERIFY(SheetDriver::openSheet(chars));
        SheetDriver::setText(chars, QStringLiteral("charInputName"), QStringLiteral("Hanako"));
        SheetDriver::setText(chars, QStringLiteral("charInputDate"), QStringLiteral("2025/5/3"));
        SheetDriver::confirm(chars);
        // The lettering is stored as typed, not rewritten.
        QCOMPARE(UserDef::charInputName(), QStringLiteral("Hanako"));
        QCOMPARE(UserDef::charInputDate(), QStringLiteral("2025/5/3"));
        QVERIFY(SheetDriver::openSheet(kInfo));
        SheetDriver::cancel(kInfo);
        QCOMPARE(f.host.dropOn, 1);

        // Any year goes on a cover: the anniversary album of a wedding in 1995, a date written
        // the studio's own way.
        for (const QString& typed : {QStringLiteral("1995/6/24"), QStringLiteral("2100/01/01"),
                                     QStringLiteral("平成7年6月24日")}) {
            f.sheets.startOrderChain();
            SheetDriver::confirm(check);
            QVERIFY(SheetDriver::openSheet(chars));
            SheetDriver::setText(chars, QStringLiteral("charInputDate"), typed);
            SheetDriver::confirm(chars);
            QVERIFY2(SheetDriver::openSheet(kInfo), qPrintable(typed));
            QCOMPARE(UserDef::charInputDate(), typed);
            SheetDriver::cancel(kInfo);
        }

        // Nothing entered: no record.
        f.sheets.startOrderChain();
        SheetDriver::confirm(check);
        SheetDriver::confirm(chars);
        QVERIFY(!UserDef::isCharInputDic());
        SheetDriver::cancel(kInfo);
    }

    // The pool send sheet follows the pool and sends it all in one job.
    void poolSendSheet() {
        Fixture f;
        f.sheets.poolOrderSendWindowSheet();
        const QString pool = QStringLiteral("poolOrderSendWindow");
        QVERIFY(SheetDriver::openSheet(pool));
        QCOMPARE(f.host.dropOff, 1);
        QVERIFY(!SheetDriver::confirm(pool)); // nothing to send: the button is off
        f.host.pool = 2;
        f.host.poolText = QStringLiteral("a.zip\nb.zip");
        f.sheets.applicationWillBecomeActive();
        QCOMPARE(SheetDriver::text(pool, QStringLiteral("poolOrderListText")),
                 QStringLiteral("a.zip\nb.zip"));
        QVERIFY(SheetDriver::openSheet(pool)->findChild<QPushButton*>(
            QStringLiteral("poolOrderOpenFolderButton")));
        QVERIFY(SheetDriver::confirm(pool));
        QCOMPARE(f.host.jobs, 1);
        QCOMPARE(UserDef::stringForKey(QStringLiteral("ExecuteBt")),
                 std::optional<QString>(QStringLiteral("BtSendOnly")));
        QVERIFY(logText().contains(QStringLiteral("PoolOrder送信実行")));
        QCOMPARE(f.host.dropOn, 0);
        QCOMPARE(f.host.refreshes, 1);

        f.sheets.poolOrderSendWindowSheet();
        SheetDriver::cancel(pool);
        QCOMPARE(f.host.jobs, 1);
        QCOMPARE(f.host.dropOn, 1);
        QCOMPARE(f.host.refreshes, 2);
    }
};

QTEST_MAIN(TestOrderSheets)
#include "tst_OrderSheets.moc"
