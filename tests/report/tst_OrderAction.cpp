#include "TestHome.h"
#include "report/OrderAction.h"
#include "settings/UserDef.h"

#include <QDir>
#include <QtTest>

class TestOrderAction : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void standardDateRules() {
        OrderAction::OrderInfo info{QStringLiteral("2024/2/30"), QString(), QString()};
        QCOMPARE(OrderAction::orderInfoValueCheck(info), std::nullopt);
        QCOMPARE(info.date, QStringLiteral("2024/02/30"));

        info.date = QStringLiteral("1999/12/31");
        QCOMPARE(
            OrderAction::orderInfoValueCheck(info),
            std::optional<QString>(QStringLiteral("日付は『YYYY/MM/DD』の形式で入力してください")));
        QCOMPARE(info.date, QStringLiteral("1999/12/31"));
        info.date = QStringLiteral("2024-02-01");
        QCOMPARE(OrderAction::orderInfoValueCheck(info),
                 std::optional<QString>(
                     QStringLiteral("撮影日は『YYYY/MM/DD』の形式で入力してください")));
        for (const char* bad :
             {"2100/1/1", "2024/13/1", "2024/0/1", "2024/1/32", "2024/1/0", "2024/a/1"}) {
            info.date = QString::fromLatin1(bad);
            QVERIFY2(OrderAction::orderInfoValueCheck(info).has_value(), bad);
        }
        // Digits and slashes typed in full width mean the same date.
        info.date = QStringLiteral("２０２５／４／１");
        QCOMPARE(OrderAction::orderInfoValueCheck(info), std::nullopt);
        QCOMPARE(info.date, QStringLiteral("2025/04/01"));
        info.date.clear();
        QCOMPARE(OrderAction::orderInfoValueCheck(info), std::nullopt);
    }

    void nameAndNumberRules() {
        OrderAction::OrderInfo info{QString(), QStringLiteral("山田花子山田花子山田"), QString()};
        QCOMPARE(OrderAction::orderInfoValueCheck(info), std::nullopt);
        info.name += QStringLiteral("子");
        QCOMPARE(OrderAction::orderInfoValueCheck(info),
                 std::optional<QString>(QStringLiteral("お客様名は10文字以内で入力してください")));

        info.name.clear();
        info.no = QStringLiteral("ＡＢ－１２３４");
        QCOMPARE(OrderAction::orderInfoValueCheck(info), std::nullopt);
        QCOMPARE(info.no, QStringLiteral("AB-1234"));
        const auto numberMessage =
            std::optional<QString>(QStringLiteral("管理番号は半角10文字以内で入力してください"));
        info.no = QStringLiteral("12番");
        QCOMPARE(OrderAction::orderInfoValueCheck(info), numberMessage);
        info.no = QStringLiteral("ｶﾅ1");
        QCOMPARE(OrderAction::orderInfoValueCheck(info), numberMessage);
        info.no = QStringLiteral("12345678901");
        QCOMPARE(OrderAction::orderInfoValueCheck(info), numberMessage);
        // The first failure wins: a bad date is reported before a bad number.
        info.date = QStringLiteral("2024-01-01");
        QVERIFY(OrderAction::orderInfoValueCheck(info)->startsWith(QStringLiteral("撮影日")));

        OrderAction::OrderInfo pasted{QStringLiteral("2024/1/2\n"), QStringLiteral("山田\t様"),
                                      QStringLiteral("A1\r\n")};
        QCOMPARE(OrderAction::orderInfoValueCheck(pasted), std::nullopt);
        QCOMPARE(OrderAction::orderInfoDic(pasted),
                 (QVariantMap{{QStringLiteral("OrderInfoDate"), QStringLiteral("2024/01/02")},
                              {QStringLiteral("OrderInfoName"), QStringLiteral("山田様")},
                              {QStringLiteral("OrderInfoNo"), QStringLiteral("A1")}}));
        QVERIFY(OrderAction::orderInfoDic(OrderAction::OrderInfo{}).isEmpty());
    }

    void weddingRules() {
        OrderAction::OrderInfo3465 info;
        info.year = 2025;
        info.month = 4;
        info.day = 1;
        info.venue = QStringLiteral("-");
        info.salon = QStringLiteral("-");
        const auto message = [&info] {
            return OrderAction::orderInfoCustomValueCheck(info).value_or(QStringLiteral("OK"));
        };
        QCOMPARE(message(), QStringLiteral("システムNoを入力してください"));
        info.systemNo = QStringLiteral("S-1");
        QCOMPARE(message(), QStringLiteral("会場名を選択してください"));
        info.venue = QStringLiteral("ホテル青山");
        QCOMPARE(message(), QStringLiteral("新郎・新婦名を入力してください"));
        info.brideAndGroom = QStringLiteral("一郎・花子");
        QCOMPARE(message(), QStringLiteral("ご担当者名を入力してください"));
        info.staffName = QStringLiteral("佐藤");
        QCOMPARE(message(), QStringLiteral("サロン名を選択してください"));
        info.salon = QStringLiteral("銀座");
        QCOMPARE(message(), QStringLiteral("OK"));
        info.deliveryShown = true;
        info.deliveryDate = QStringLiteral("2025/05/");
        QCOMPARE(message(),
                 QStringLiteral("最終お客様お渡し日は『YYYY/MM/DD』の形式で入力してください"));
        info.deliveryDate = QStringLiteral("2025/5/9");
        QCOMPARE(message(), QStringLiteral("OK"));
        QCOMPARE(info.deliveryDate, QStringLiteral("2025/05/09"));
        QCOMPARE(
            OrderAction::orderInfo3465Dic(info),
            (QVariantMap{{QStringLiteral("OrderInfoSystemNo"), QStringLiteral("S-1")},
                         {QStringLiteral("OrderInfoWeddingDateAndVenue"),
                          QStringLiteral("2025/04/01 ホテル青山")},
                         {QStringLiteral("OrderInfoBrideAndGroom"), QStringLiteral("一郎・花子")},
                         {QStringLiteral("OrderInfoStaffName"), QStringLiteral("佐藤")},
                         {QStringLiteral("OrderInfoSalon"), QStringLiteral("銀座")},
                         {QStringLiteral("OrderInfoDeliveryDate"), QStringLiteral("2025/05/09")}}));
        info.deliveryShown = false;
        QVERIFY(
            !OrderAction::orderInfo3465Dic(info).contains(QStringLiteral("OrderInfoDeliveryDate")));
    }

    void daysOfMonths() {
        QCOMPARE(OrderAction::daysOfMonth(1), 31);
        QCOMPARE(OrderAction::daysOfMonth(2), 29);
        QCOMPARE(OrderAction::daysOfMonth(4), 30);
        QCOMPARE(OrderAction::daysOfMonth(11), 30);
        QCOMPARE(OrderAction::daysOfMonth(12), 31);
    }

    void actionsAndSavePath() {
        TestHome home;
        QCOMPARE(OrderAction::orderActionTagForType(std::nullopt), 301);
        QCOMPARE(OrderAction::orderActionTagForType(QStringLiteral("AcAfterSend")), 302);
        QCOMPARE(OrderAction::orderActionTagForType(QStringLiteral("AcSave")), 303);
        QCOMPARE(OrderAction::orderActionTagForType(QStringLiteral("bogus")), 301);
        QCOMPARE(OrderAction::orderActionTypeForTag(301), QStringLiteral("AcNowSend"));
        QCOMPARE(OrderAction::orderActionTypeForTag(303), QStringLiteral("AcSave"));
        QVERIFY(OrderAction::orderActionText(302).startsWith(
            QStringLiteral("オーダーを後で一括して送信します。\n")));
        QCOMPARE(OrderAction::nowSendTitle(0), QStringLiteral("すぐに送信する"));
        QCOMPARE(OrderAction::nowSendTitle(2),
                 QStringLiteral("すぐに送信する（このオーダのみ送信）"));

        QCOMPARE(OrderAction::savePathWithZip(QStringLiteral("/s/order")),
                 QStringLiteral("/s/order.zip"));
        QCOMPARE(OrderAction::savePathWithZip(QStringLiteral("/s/order.zip")),
                 QStringLiteral("/s/order.zip"));
        QCOMPARE(OrderAction::savePathWithZip(QStringLiteral("/s/order.ZIP")),
                 QStringLiteral("/s/order.ZIP"));
        QCOMPARE(OrderAction::savePathWithZip(QStringLiteral("/s/order.zip.txt")),
                 QStringLiteral("/s/order.zip.txt.zip"));

        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
        UserDef::setObject(qint64(41), QStringLiteral("BagNo"));
        QCOMPARE(OrderAction::nextArchiveFileName(),
                 QStringLiteral("1234_001122AABBCC_0000042.zip"));
        QCOMPARE(OrderAction::saveFolder(), QDir::homePath());
        const QString media = home.filePath(QStringLiteral("media"));
        QDir().mkpath(media);
        UserDef::setOrderSavePath(media + QStringLiteral("/old.zip"));
        QCOMPARE(OrderAction::saveFolder(), media);
    }
};

QTEST_GUILESS_MAIN(TestOrderAction)
#include "tst_OrderAction.moc"
