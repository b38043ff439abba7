#include "LabSim.h"
#include "TestHome.h"
#include "service/CustomAuth.h"
#include "service/LabConfig.h"
#include "settings/UserDef.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

namespace {

const QString kAlbumText =
    QStringLiteral("<!--CSV_DATA_ALBUM_AL_ALBUM\nOwn\nCSV_DATA_ALBUM_AL_ALBUM-->");
const QString kPrintText = QStringLiteral("<root><order_set_print/><tb_print_list/></root>");
const QString kSchoolText = QStringLiteral("<root><order_set_school/><tb_school_list/></root>");

QString md5Of(const QString& text) {
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

std::optional<QString> customData(const QString& code, const QString& key) {
    return UserDef::customDataForCode(code, key);
}

QVariantMap customer(const QString& code) {
    return {{QStringLiteral("PhotoStudioName"), QStringLiteral("写真館") + code},
            {QStringLiteral("CustomerCode"), code}};
}

// Points the program at an authentication server that nobody answers on, for one test.
class UnreachableAuthServer {
public:
    UnreachableAuthServer() : previous(qgetenv("HALVIX_LAB_CONF")) {
        QFile file(dir.filePath(QStringLiteral("lab.conf")));
        if (file.open(QIODevice::WriteOnly)) {
            file.write("auth_server=http://127.0.0.1:1\n");
        }
        file.close();
        qputenv("HALVIX_LAB_CONF", QFile::encodeName(file.fileName()));
        LabConfig::reload();
    }
    ~UnreachableAuthServer() {
        qputenv("HALVIX_LAB_CONF", previous);
        LabConfig::reload();
    }
    UnreachableAuthServer(const UnreachableAuthServer&) = delete;
    UnreachableAuthServer& operator=(const UnreachableAuthServer&) = delete;

private:
    QTemporaryDir dir;
    QByteArray previous;
};

} // namespace

class TestCustomAuth : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LabSim> lab;
    std::unique_ptr<TestHome> home;

    // The lab's customers: code to password and the data it hands out per requested key.
    void setLabCustomers(const QJsonObject& customers) const {
        QFile file(lab->rootDir() + QStringLiteral("/auth/customers.json"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(file.write(QJsonDocument(customers).toJson()) > 0);
    }
    static QJsonObject labCustomer(const QString& password, const QJsonObject& data) {
        return {{QStringLiteral("password"), password}, {QStringLiteral("data"), data}};
    }
    static QJsonObject fullData() {
        return {{QStringLiteral("CustomAlbum"), kAlbumText},
                {QStringLiteral("CustomPrint2"), kPrintText},
                {QStringLiteral("CustomShcool"), kSchoolText}};
    }
    // The current customer, listed as custom, with the digest of password stored.
    static void becomeCustomer(const QString& code, const QString& password) {
        UserDef::setObject(code, QStringLiteral("CustomerCode"), true);
        UserDef::saveCustomerMD5(md5Of(password));
    }

private Q_SLOTS:
    void initTestCase() {
        lab = std::make_unique<LabSim>();
        QVERIFY2(lab->isRunning(), qPrintable(lab->errorText()));
    }
    void cleanupTestCase() { lab.reset(); }
    void init() {
        home = std::make_unique<TestHome>();
        QVERIFY(home->isValid());
        lab->clearFaults();
    }
    void cleanup() { home.reset(); }

    void passwordWithAmpersandAndBlankAuthenticates() {
        const QString password = QStringLiteral("a&b c+d#e");
        setLabCustomers({{QStringLiteral("4321"), labCustomer(password, fullData())}});

        const QString md5 = CustomAuth::strTomd5(password);
        QCOMPARE(md5, md5Of(password));
        QCOMPARE(CustomAuth::authAnswerForCode(QStringLiteral("4321"), md5),
                 std::optional<QString>(QStringLiteral("OK")));
        QCOMPARE(CustomAuth::authAnswerForCode(QStringLiteral("4321"),
                                               CustomAuth::strTomd5(QStringLiteral("a"))),
                 std::optional<QString>(QStringLiteral("NG")));

        UserDef::setObject(QStringLiteral("4321"), QStringLiteral("CustomCustomerCode"), true);
        UserDef::setObject(QStringLiteral("4321"), QStringLiteral("CustomerCode"), true);
        UserDef::saveCustomerMD5(md5);
        QVERIFY(!CustomAuth::isNeedToAuth());
    }

    void needToAuthFollowsListDigestAndServer() {
        setLabCustomers({{QStringLiteral("4321"), labCustomer(QStringLiteral("pw"), fullData())}});
        UserDef::setObject(QStringLiteral("4321"), QStringLiteral("CustomerCode"), true);

        // Not in the list: never asked, whatever is stored.
        UserDef::saveCustomerMD5(md5Of(QStringLiteral("wrong")));
        QVERIFY(!CustomAuth::isNeedToAuth());

        UserDef::setObject(QStringLiteral("99,4321"), QStringLiteral("CustomCustomerCode"), true);
        QVERIFY(CustomAuth::isNeedToAuth()); // the server refuses the stored digest
        UserDef::saveCustomerMD5(md5Of(QStringLiteral("pw")));
        QVERIFY(!CustomAuth::isNeedToAuth());

        UserDef::removeObjectForKey(QStringLiteral("CustomerMD5Dic"), true);
        QVERIFY(CustomAuth::isNeedToAuth()); // nothing stored yet
    }

    void unreachableServerCountsAsPassed() {
        UserDef::setObject(QStringLiteral("4321"), QStringLiteral("CustomCustomerCode"), true);
        becomeCustomer(QStringLiteral("4321"), QStringLiteral("pw"));
        UserDef::saveCustomData(kPrintText, QStringLiteral("4321"), QStringLiteral("CustomPrint"));

        UnreachableAuthServer offline;
        QVERIFY(!CustomAuth::isNeedToAuth());
        QCOMPARE(CustomAuth::strTomd5(QStringLiteral("pw")), QString());
        QCOMPARE(CustomAuth::readHttpCustomDataForCode(QStringLiteral("4321"),
                                                       QStringLiteral("CustomPrint2")),
                 std::nullopt);
        CustomAuth::customDataLoadForCode(QStringLiteral("4321"));
        QCOMPARE(customData(QStringLiteral("4321"), QStringLiteral("CustomPrint")), kPrintText);
    }

    void dataLoadSavesAndDeleteDataRemoves() {
        // The lab has only an album catalogue for this customer: print and school come back as
        // delete orders.
        setLabCustomers(
            {{QStringLiteral("4321"),
              labCustomer(QStringLiteral("pw"), {{QStringLiteral("CustomAlbum"), kAlbumText}})}});
        UserDef::setObject(QStringLiteral("4321"), QStringLiteral("CustomCustomerCode"), true);
        becomeCustomer(QStringLiteral("4321"), QStringLiteral("pw"));
        UserDef::saveCustomData(kPrintText, QStringLiteral("4321"), QStringLiteral("CustomPrint"));

        CustomAuth::customDataLoadForCode(QStringLiteral("4321"));

        QCOMPARE(customData(QStringLiteral("4321"), QStringLiteral("CustomAlbum")), kAlbumText);
        QCOMPARE(customData(QStringLiteral("4321"), QStringLiteral("CustomPrint")), std::nullopt);
        QCOMPARE(customData(QStringLiteral("4321"), QStringLiteral("CustomSchool")), std::nullopt);
    }

    void answerWithoutMarkerKeepsStoredData() {
        setLabCustomers(
            {{QStringLiteral("4321"),
              labCustomer(QStringLiteral("pw"),
                          {{QStringLiteral("CustomAlbum"), kAlbumText},
                           {QStringLiteral("CustomPrint2"), QStringLiteral("<html>error</html>")},
                           // A school text answered for the print key is no print catalogue.
                           {QStringLiteral("CustomShcool"), kPrintText}})}});
        UserDef::setObject(QStringLiteral("4321"), QStringLiteral("CustomCustomerCode"), true);
        becomeCustomer(QStringLiteral("4321"), QStringLiteral("pw"));
        UserDef::saveCustomData(kPrintText, QStringLiteral("4321"), QStringLiteral("CustomPrint"));
        UserDef::saveCustomData(kSchoolText, QStringLiteral("4321"),
                                QStringLiteral("CustomSchool"));

        QTest::ignoreMessage(QtInfoMsg, "CustomData-NG");
        QTest::ignoreMessage(QtInfoMsg, "CustomData-NG");
        CustomAuth::customDataLoadForCode(QStringLiteral("4321"));

        QCOMPARE(customData(QStringLiteral("4321"), QStringLiteral("CustomAlbum")), kAlbumText);
        QCOMPARE(customData(QStringLiteral("4321"), QStringLiteral("CustomPrint")), kPrintText);
        QCOMPARE(customData(QStringLiteral("4321"), QStringLiteral("CustomSchool")), kSchoolText);
    }

    void refusedCustomerLoadsNothing() {
        setLabCustomers({{QStringLiteral("4321"), labCustomer(QStringLiteral("pw"), fullData())}});
        UserDef::setObject(QStringLiteral("4321"), QStringLiteral("CustomCustomerCode"), true);
        becomeCustomer(QStringLiteral("4321"), QStringLiteral("not the password"));
        UserDef::saveCustomData(kPrintText, QStringLiteral("4321"), QStringLiteral("CustomPrint"));

        CustomAuth::customDataLoadForCode(QStringLiteral("4321"));

        // A refusal is no delete order: what the customer had stays.
        QCOMPARE(customData(QStringLiteral("4321"), QStringLiteral("CustomPrint")), kPrintText);
        QCOMPARE(customData(QStringLiteral("4321"), QStringLiteral("CustomAlbum")), std::nullopt);
    }

    void codeTwelveIsNotCustomForList123() {
        setLabCustomers({{QStringLiteral("12"), labCustomer(QStringLiteral("pw"), fullData())},
                         {QStringLiteral("123"), labCustomer(QStringLiteral("pw"), fullData())}});
        UserDef::setObject(QStringLiteral("123,45"), QStringLiteral("CustomCustomerCode"), true);
        UserDef::setObject(QStringLiteral("12"), QStringLiteral("CustomerCode"), true);

        QVERIFY(!CustomAuth::isNeedToAuthForCode(QStringLiteral("12")));
        QVERIFY(CustomAuth::isNeedToAuthForCode(QStringLiteral("123"))); // no digest stored
        UserDef::saveCustomerMD5(md5Of(QStringLiteral("pw")));
        CustomAuth::autoAllCustomDataLoad();
        QCOMPARE(customData(QStringLiteral("12"), QStringLiteral("CustomAlbum")), std::nullopt);
    }

    void autoLoadCoversEveryCustomCustomer() {
        QJsonObject otherData = fullData();
        otherData[QStringLiteral("CustomAlbum")] =
            QStringLiteral("<!--CSV_DATA_ALBUM_AL_ALBUM\nOther\nCSV_DATA_ALBUM_AL_ALBUM-->");
        setLabCustomers({{QStringLiteral("1111"), labCustomer(QStringLiteral("pw"), fullData())},
                         {QStringLiteral("2222"), labCustomer(QStringLiteral("pw"), otherData)},
                         {QStringLiteral("3333"), labCustomer(QStringLiteral("pw"), fullData())},
                         {QStringLiteral("4444"), labCustomer(QStringLiteral("own"), fullData())}});
        UserDef::setObject(QStringLiteral("1111,2222,4444"), QStringLiteral("CustomCustomerCode"),
                           true);
        UserDef::setObject(QVariantList{customer(QStringLiteral("2222-02")),
                                        customer(QStringLiteral("3333")),
                                        customer(QStringLiteral("4444"))},
                           QStringLiteral("Customers"), true);
        becomeCustomer(QStringLiteral("1111-01"), QStringLiteral("pw"));

        CustomAuth::autoAllCustomDataLoad();

        QCOMPARE(customData(QStringLiteral("1111"), QStringLiteral("CustomPrint")), kPrintText);
        QCOMPARE(customData(QStringLiteral("1111"), QStringLiteral("CustomSchool")), kSchoolText);
        // A branch entry of the list loads its customer's catalogues, with the current digest.
        QCOMPARE(customData(QStringLiteral("2222"), QStringLiteral("CustomAlbum")),
                 otherData[QStringLiteral("CustomAlbum")].toString());
        // Not custom: nothing requested.
        QCOMPARE(customData(QStringLiteral("3333"), QStringLiteral("CustomAlbum")), std::nullopt);
        // Another password than the current customer's: the server refuses, nothing stored.
        QCOMPARE(customData(QStringLiteral("4444"), QStringLiteral("CustomAlbum")), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestCustomAuth)
#include "tst_CustomAuth.moc"
