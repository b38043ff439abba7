#include "TestHome.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/PlistVariant.h"

#include <QFile>
#include <QTest>

namespace {

const QString kStr = QStringLiteral("Str");
const QString kInt = QStringLiteral("Int");
const QString kDic = QStringLiteral("Dic");
const QString kArr = QStringLiteral("Arr");

void set(const QString& key, const QVariant& value) {
    UserDef::setObject(value, key);
}

bool makeFile(const QString& path, qsizetype size) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(QByteArray(size, 'k')) == size;
}

} // namespace

class TestUserDef : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void typedReadersOnWrongTypes() {
        TestHome home;
        set(kStr, QStringLiteral("12"));
        set(kInt, 42);
        set(kDic, QVariantMap{{QStringLiteral("a"), QStringLiteral("b")}});
        set(kArr, QVariantList{QStringLiteral("x")});

        QCOMPARE(UserDef::stringForKey(kStr), std::optional<QString>(QStringLiteral("12")));
        QCOMPARE(UserDef::stringForKey(kInt), std::optional<QString>(QStringLiteral("42")));
        QCOMPARE(UserDef::stringForKey(kDic), std::nullopt);
        QCOMPARE(UserDef::stringForKey(kArr), std::nullopt);
        QCOMPARE(UserDef::stringForKey(QStringLiteral("Missing")), std::nullopt);

        QCOMPARE(UserDef::integerForKey(kInt), 42);
        QCOMPARE(UserDef::integerForKey(kStr), 0);
        QCOMPARE(UserDef::integerForKey(kDic), 0);
        QCOMPARE(UserDef::integerForKey(QStringLiteral("Missing")), 0);

        QVERIFY(UserDef::dictionaryForKey(kDic).has_value());
        QCOMPARE(UserDef::dictionaryForKey(kStr), std::nullopt);
        QCOMPARE(UserDef::dictionaryForKey(kArr), std::nullopt);
        QVERIFY(UserDef::arrayForKey(kArr).has_value());
        QCOMPARE(UserDef::arrayForKey(kDic), std::nullopt);
        QCOMPARE(UserDef::arrayForKey(kInt), std::nullopt);

        QCOMPARE(UserDef::objectForKeyFromDic(QStringLiteral("a"), kDic).toString(),
                 QStringLiteral("b"));
        QVERIFY(!UserDef::objectForKeyFromDic(QStringLiteral("a"), kArr).isValid());
        QVERIFY(!UserDef::objectForKeyFromDic(QStringLiteral("zz"), kDic).isValid());

        // Readers built on them fall back the same way.
        set(QStringLiteral("PrintDic"), QStringLiteral("not a dictionary"));
        QCOMPARE(UserDef::printDic(), std::nullopt);
        set(QStringLiteral("CharInputDic"),
            QVariantMap{{QStringLiteral("OrderCharName"), QVariantList()}});
        QVERIFY(UserDef::isCharInputDic());
        QCOMPARE(UserDef::charInputName(), QString());
        set(QStringLiteral("AppStatus"), QVariantMap());
        QCOMPARE(UserDef::appStatus(), QString());
        set(QStringLiteral("AlbumSetTitles"), QStringLiteral("a"));
        QCOMPARE(UserDef::albumSetNum(), 0);
        set(QStringLiteral("AlbumKineloDic"), QVariantList());
        QVERIFY(!UserDef::isAlbumKineloFile());

        // Storing an invalid value removes the key.
        UserDef::setObject(QVariant(), kStr);
        QVERIFY(!UserDef::objectForKey(kStr).isValid());
    }

    void dictionaryTriplesAndLettering() {
        TestHome home;
        QVERIFY(!UserDef::isCharInputDic());
        QCOMPARE(UserDef::charInputName(), QString());
        UserDef::setCharInputDic({{QStringLiteral("OrderCharName"), QStringLiteral("山田")}});
        QVERIFY(UserDef::isCharInputDic());
        QCOMPARE(UserDef::charInputName(), QStringLiteral("山田"));
        QCOMPARE(UserDef::charInputDate(), QString());
        UserDef::removeCharInputDic();
        QVERIFY(!UserDef::isCharInputDic());

        UserDef::setResizeDic({{QStringLiteral("ResizeOrderNumKey"), QStringLiteral("2")}});
        QCOMPARE(UserDef::objectForKeyFromResizeDic(QStringLiteral("ResizeOrderNumKey")).toString(),
                 QStringLiteral("2"));
        UserDef::setFotoFusionDic({});
        QCOMPARE(UserDef::fotoFusionDic(), std::optional(QVariantMap()));
        UserDef::setSchoolOrderArray({QStringLiteral("row")});
        QCOMPARE(UserDef::schoolOrderArray(), std::optional(QVariantList{QStringLiteral("row")}));
        QCOMPARE(UserDef::printOrderArray(), std::nullopt);
    }

    void appStatusIsWrittenThrough() {
        TestHome home;
        QCOMPARE(UserDef::appStatus(), QString());
        UserDef::setAppStatus(QStringLiteral("AppCtrl init"));
        // A restart that drops everything unflushed still sees it.
        SettingsStore::resetForTesting();
        QCOMPARE(UserDef::appStatus(), QStringLiteral("AppCtrl init"));
        UserDef::backupPreviousAppStatus();
        SettingsStore::resetForTesting();
        QCOMPARE(UserDef::previousAppStatus(), QStringLiteral("AppCtrl init"));
    }

    // The window's set-up writes its breadcrumbs behind; the run's end and the breadcrumb that
    // closes the set-up are on disk when their call returns, and so is every one after it.
    void appStatusWrittenBehindDuringTheSetUp() {
        TestHome home;
        const auto onDisk = [] {
            QFile file(SettingsStore::settingsFilePath());
            const std::optional<QVariant> plist =
                file.open(QIODevice::ReadOnly) ? plistFromData(file.readAll()) : std::nullopt;
            return plist ? plist->toMap().value(QStringLiteral("AppStatus")).toString()
                         : QStringLiteral("(unreadable)");
        };
        UserDef::setAppStatus(QStringLiteral("AppCtrl init"));
        UserDef::beginAppStatusWriteBehind();
        UserDef::setAppStatus(QStringLiteral("AppCtrl awakeFromNib3"));
        // Nobody flushes: the writer thread takes it to the disk by itself.
        QTRY_COMPARE_WITH_TIMEOUT(onDisk(), QStringLiteral("AppCtrl awakeFromNib3"), 30000);
        UserDef::setAppStatus(QStringLiteral("AppCtrl awakeFromNib end"));
        UserDef::endAppStatusWriteBehind();
        QCOMPARE(onDisk(), QStringLiteral("AppCtrl awakeFromNib end"));

        // A run ended during the set-up: the clean end is written through at once.
        UserDef::beginAppStatusWriteBehind();
        UserDef::setAppStatus(QStringLiteral("AppCtrl awakeFromNib5"));
        UserDef::setAppStatus(QString());
        QCOMPARE(onDisk(), QString());
        UserDef::endAppStatusWriteBehind();

        // After the set-up every breadcrumb is written through again.
        UserDef::setAppStatus(QStringLiteral("JOB Thread Zip"));
        SettingsStore::resetForTesting();
        QCOMPARE(UserDef::appStatus(), QStringLiteral("JOB Thread Zip"));
    }

    void customerCodeCutsBranch() {
        TestHome home;
        QCOMPARE(UserDef::customerCode(), std::nullopt);
        set(QStringLiteral("CustomerCode"), QStringLiteral("1234-01"));
        QCOMPARE(UserDef::customerCode(), std::optional<QString>(QStringLiteral("1234")));
        set(QStringLiteral("CustomerCode"), QStringLiteral("1234"));
        QCOMPARE(UserDef::customerCode(), std::optional<QString>(QStringLiteral("1234")));

        const QVariantList customers{
            QVariantMap{{QStringLiteral("PhotoStudioName"), QStringLiteral("本店")},
                        {QStringLiteral("CustomerCode"), QStringLiteral("5678-02")}},
            QVariantMap{{QStringLiteral("PhotoStudioName"), QStringLiteral("支店")},
                        {QStringLiteral("CustomerCode"), QStringLiteral("9999")}}};
        set(QStringLiteral("Customers"), customers);
        QCOMPARE(UserDef::customerCodeTop(), std::optional<QString>(QStringLiteral("1234")));
        set(QStringLiteral("MultiCustomerCheck"), 1);
        QCOMPARE(UserDef::customerCodeTop(), std::optional<QString>(QStringLiteral("5678")));
        QCOMPARE(UserDef::customerCodeForPhotoStudioName(QStringLiteral("支店")),
                 QStringLiteral("9999"));
        QCOMPARE(UserDef::customerCodeForPhotoStudioName(QStringLiteral("なし")), QString());
        QCOMPARE(UserDef::photoStudioNames(),
                 (QStringList{QStringLiteral("本店"), QStringLiteral("支店")}));
    }

    void zipNameAndMacAddress() {
        TestHome home;
        QString machine = QStringLiteral("001122AABBC"); // 11 characters
        auto reader = [&] { return machine; };
        QCOMPARE(UserDef::macAddress(reader), QStringLiteral("000000000000"));
        QVERIFY(!UserDef::objectForKey(QStringLiteral("MacAddr")).isValid());
        machine = QStringLiteral("001122AABBCCD"); // 13 characters
        QCOMPARE(UserDef::macAddress(reader), QStringLiteral("000000000000"));
        QVERIFY(!UserDef::objectForKey(QStringLiteral("MacAddr")).isValid());
        machine = QStringLiteral("001122AABBCC");
        QCOMPARE(UserDef::macAddress(reader), machine);
        QCOMPARE(UserDef::stringForKey(QStringLiteral("MacAddr")), std::optional(machine));
        // Once cached, a changed machine address does not matter.
        machine = QStringLiteral("FFEEDDCCBBAA");
        QCOMPARE(UserDef::macAddress(reader), QStringLiteral("001122AABBCC"));
        QCOMPARE(UserDef::macAddress(), QStringLiteral("001122AABBCC"));

        set(QStringLiteral("CustomerCode"), QStringLiteral("1234-01"));
        QCOMPARE(UserDef::nextZipName(), QStringLiteral("1234_001122AABBCC_0000001"));
        set(QStringLiteral("BagNo"), 41);
        QCOMPARE(UserDef::nextZipName(), QStringLiteral("1234_001122AABBCC_0000042"));
        set(QStringLiteral("BagNo"), 12345677);
        QCOMPARE(UserDef::nextZipName(), QStringLiteral("1234_001122AABBCC_12345678"));
    }

    void tabsAndOrderAction() {
        TestHome home;
        QVERIFY(UserDef::isFullPathTab());
        QVERIFY(!UserDef::isPrintTab());
        const struct {
            const char* label;
            bool (*is)();
            bool fullPath;
        } tabs[] = {{"プリント", &UserDef::isPrintTab, false},
                    {"スクール", &UserDef::isSchoolTab, false},
                    {"アルバム", &UserDef::isAlbumTab, true},
                    {"リサイズ", &UserDef::isResizeTab, false},
                    {"その他", &UserDef::isEtcTab, true}};
        for (const auto& tab : tabs) {
            set(QStringLiteral("MainTabLabel"), QString::fromUtf8(tab.label));
            QVERIFY2(tab.is(), tab.label);
            QCOMPARE(UserDef::isFullPathTab(), tab.fullPath);
            QVERIFY(UserDef::isMainTab(QString::fromUtf8(tab.label)));
        }

        set(QStringLiteral("MainTabLabel"), QStringLiteral("アルバム"));
        UserDef::setResizeDic({{QStringLiteral("ResizeResizeCbKey"), QStringLiteral("On")}});
        QVERIFY(!UserDef::isResizeMode());
        set(QStringLiteral("MainTabLabel"), QStringLiteral("リサイズ"));
        QVERIFY(UserDef::isResizeMode());
        UserDef::setResizeDic({{QStringLiteral("ResizeOrderNumKey"), QStringLiteral("1")}});
        QVERIFY(!UserDef::isResizeMode());

        // Nothing chosen yet: the order is sent.
        QVERIFY(UserDef::isSend());
        UserDef::setExecuteButton(QStringLiteral("BtSendOnly"));
        UserDef::setOrderActionType(QStringLiteral("AcSave"));
        QVERIFY(UserDef::isSendOnly());
        QVERIFY(UserDef::isOrderActionSave());
        QVERIFY(UserDef::isSend());
        UserDef::setExecuteButton(QStringLiteral("BtSend"));
        UserDef::setOrderActionType(QStringLiteral("AcAfterSend"));
        QVERIFY(!UserDef::isSend());
        UserDef::setOrderActionType(QStringLiteral("AcSave"));
        QVERIFY(!UserDef::isSend());
        UserDef::setOrderActionType(QStringLiteral("AcNowSend"));
        QVERIFY(UserDef::isOrderActionNowSend());
        QVERIFY(UserDef::isSend());
    }

    void studioModes() {
        TestHome home;
        QVERIFY(!UserDef::isTestMode() && !UserDef::isAlbumTestMode() &&
                !UserDef::isTestSendMode() && !UserDef::isDevelopMode());
        set(QStringLiteral("PhotoStudioName"), QStringLiteral("オーベル開発テスト"));
        QVERIFY(UserDef::isAlbumTestMode());
        QVERIFY(UserDef::isDevelopMode());
        QVERIFY(!UserDef::isTestMode()); // no customer code
        set(QStringLiteral("CustomerCode"), QStringLiteral("3500-9"));
        QVERIFY(UserDef::isTestMode());
        set(QStringLiteral("PhotoStudioName"), QStringLiteral("オーベルテスト送信"));
        QVERIFY(UserDef::isTestSendMode());
        QVERIFY(!UserDef::isTestMode());
        QVERIFY(!UserDef::isDevelopMode());
        set(QStringLiteral("CustomerCode"), QStringLiteral("3501"));
        QVERIFY(!UserDef::isTestSendMode());
    }

    void ftp2AndCustomCustomerLists() {
        TestHome home;
        QVERIFY(!UserDef::isFtp2SendMode());
        set(QStringLiteral("Ftp2TargetCode"), QStringLiteral("12,345"));
        QVERIFY(!UserDef::isFtp2SendMode()); // no customer code
        set(QStringLiteral("CustomerCode"), QStringLiteral("345"));
        QVERIFY(UserDef::isFtp2SendMode());
        set(QStringLiteral("CustomerCode"), QStringLiteral("34"));
        QVERIFY(!UserDef::isFtp2SendMode());
        set(QStringLiteral("CustomerCode"), QStringLiteral("12-3"));
        QVERIFY(UserDef::isFtp2SendMode());
        // An empty code is no code, even against an empty list element.
        set(QStringLiteral("Ftp2TargetCode"), QStringLiteral("12,,345"));
        set(QStringLiteral("CustomerCode"), QString());
        QVERIFY(!UserDef::isFtp2SendMode());

        set(QStringLiteral("CustomCustomerCode"), QStringLiteral("3465,9103"));
        QVERIFY(UserDef::isCustomCustomerForCode(QStringLiteral("9103")));
        QVERIFY(!UserDef::isCustomCustomerForCode(QStringLiteral("910")));
        QVERIFY(!UserDef::isCustomCustomerForCode(std::nullopt));
        set(QStringLiteral("CustomerCode"), QStringLiteral("3465-1"));
        QVERIFY(UserDef::isCustomCustomer());
        QVERIFY(UserDef::isCustomCustomer3465());
        QVERIFY(UserDef::isCustomCustomer3465Group());
        QVERIFY(!UserDef::is3465LayoutEditRequest());
        UserDef::setAlbumDic(
            {{QStringLiteral("AlOptoinArray"),
              QVariantList{QStringLiteral("箔押し"), QStringLiteral("レイアウト編集あり")}}});
        QVERIFY(UserDef::is3465LayoutEditRequest());
        set(QStringLiteral("CustomerCode"), QStringLiteral("9158"));
        QVERIFY(UserDef::isCustomCustomer3465Group());
        QVERIFY(!UserDef::is3465LayoutEditRequest());
    }

    void passwordDigestsAndCustomData() {
        TestHome home;
        UserDef::saveCustomerMD5(QStringLiteral("abc")); // no customer: nothing happens
        QVERIFY(!UserDef::objectForKey(QStringLiteral("CustomerMD5Dic")).isValid());
        set(QStringLiteral("CustomerCode"), QStringLiteral("3465-1"));
        set(QStringLiteral("CustomCustomerCode"), QStringLiteral("3465"));
        QVERIFY(!UserDef::isCustomOK());
        UserDef::saveCustomerMD5(QStringLiteral("d41d8cd9"));
        SettingsStore::resetForTesting(); // written through
        QCOMPARE(UserDef::passMD5(), std::optional<QString>(QStringLiteral("d41d8cd9")));
        QVERIFY(UserDef::isPassMD5ForCode(QStringLiteral("3465")));
        QVERIFY(!UserDef::isPassMD5ForCode(QStringLiteral("1111")));
        QVERIFY(UserDef::isCustomOK());

        UserDef::saveCustomData(QStringLiteral("album,csv"), QStringLiteral("CustomAlbum"));
        UserDef::saveCustomData(QStringLiteral("print"), QStringLiteral("9103"),
                                QStringLiteral("CustomPrint"));
        SettingsStore::resetForTesting();
        QCOMPARE(UserDef::customDataForKey(QStringLiteral("CustomAlbum")),
                 std::optional<QString>(QStringLiteral("album,csv")));
        QCOMPARE(UserDef::objectForKeyFromDic(QStringLiteral("9103-CustomPrint"),
                                              QStringLiteral("CustomDataDic"))
                     .toString(),
                 QStringLiteral("print"));
        QVERIFY(!UserDef::isCustomDataForKey(QStringLiteral("CustomPrint")));

        UserDef::customDataSaveOrDelete(std::nullopt, QStringLiteral("3465"),
                                        QStringLiteral("CustomAlbum"));
        QVERIFY(UserDef::isCustomDataForKey(QStringLiteral("CustomAlbum")));
        UserDef::customDataSaveOrDelete(QStringLiteral("xx DELETE-DATA xx"), QStringLiteral("3465"),
                                        QStringLiteral("CustomAlbum"));
        QVERIFY(!UserDef::isCustomDataForKey(QStringLiteral("CustomAlbum")));
        UserDef::customDataSaveOrDelete(QStringLiteral("school"), QStringLiteral("3465"),
                                        QStringLiteral("CustomSchool"));
        QCOMPARE(UserDef::customDataForKey(QStringLiteral("CustomSchool")),
                 std::optional<QString>(QStringLiteral("school")));
        UserDef::saveCustomData(QStringLiteral("lost"), std::optional<QString>(),
                                QStringLiteral("CustomPrint"));
        QCOMPARE(UserDef::dictionaryForKey(QStringLiteral("CustomDataDic"))->size(), 2);
    }

    void kineloRecords() {
        TestHome home;
        QCOMPARE(UserDef::albumKinloOrderType(), 0);
        QCOMPARE(UserDef::albumKineloAddFiles(), std::nullopt);
        QCOMPARE(UserDef::albumKineloAllFileSize(), 0.0);

        const QString a = home.filePath(QStringLiteral("a.jpg"));
        const QString b = home.filePath(QStringLiteral("b.jpg"));
        QVERIFY(makeFile(a, 1000));
        QVERIFY(makeFile(b, 234));
        UserDef::setAlbumKineloAddFiles({a, b, home.filePath(QStringLiteral("missing.jpg"))});
        SettingsStore::resetForTesting(); // written through
        QVERIFY(UserDef::isAlbumKineloFile());
        QCOMPARE(UserDef::albumKinloOrderType(), 1);
        QCOMPARE(UserDef::albumKineloAddFiles()->size(), 3);
        QCOMPARE(UserDef::albumKineloAllFileSize(), 1234.0);
        QCOMPARE(UserDef::albumKineloMovFilePath(), std::nullopt);

        UserDef::setAlbumKineloMovFilePath(a, b);
        QCOMPARE(UserDef::albumKinloOrderType(), 2);
        QCOMPARE(UserDef::albumKineloAddFiles(), std::nullopt); // the whole record was replaced
        QCOMPARE(UserDef::albumKineloPicFilePath(), std::optional(b));
        QCOMPARE(UserDef::albumKineloAllFileSize(), 1234.0);
        UserDef::setAlbumKineloOrderFileOnly();
        QCOMPARE(UserDef::albumKinloOrderType(), 0);
        QCOMPARE(UserDef::albumKineloAllFileSize(), 0.0);
        QVERIFY(UserDef::isAlbumKineloFile());

        set(QStringLiteral("AlbumKineloDic"),
            QVariantMap{{QStringLiteral("OrderType"), QStringLiteral("3")}});
        QCOMPARE(UserDef::albumKinloOrderType(), 0);

        UserDef::setPrintKineloMovFilePath(a, b);
        QVERIFY(UserDef::isPrintKineloFile());
        QCOMPARE(UserDef::printKinloOrderType(), 2);
        QCOMPARE(UserDef::printKineloMovFilePath(), std::optional(a));
        QCOMPARE(UserDef::printKineloAllFileSize(), 1234.0);
        UserDef::removePrintKineloFile();
        QVERIFY(!UserDef::isPrintKineloFile());
        QCOMPARE(UserDef::printKinloOrderType(), 0);
        QCOMPARE(UserDef::printKineloMovFilePath(), std::nullopt);
        QCOMPARE(UserDef::printKineloPicFilePath(), std::nullopt);
        QCOMPARE(UserDef::printKineloAddFiles(), std::nullopt);
        QCOMPARE(UserDef::printKineloAllFileSize(), 0.0);
        // The album record is the album tab's own.
        QVERIFY(UserDef::isAlbumKineloFile());
        UserDef::removeAlbumKineloFile();
        QVERIFY(!UserDef::isAlbumKineloFile());
        QCOMPARE(UserDef::albumKineloPicFilePath(), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestUserDef)
#include "tst_UserDef.moc"
