#include "LabSim.h"
#include "TestHome.h"
#include "product/ProductAlbumData.h"
#include "product/ProductData.h"
#include "product/ProductPrintData.h"
#include "product/ProductResizeData.h"
#include "product/ProductSchoolData.h"
#include "service/UpdateInfo.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/Tool.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QPair>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

namespace {

QString albumText(const QString& albumName) {
    return QStringLiteral("<!--CSV_DATA_ALBUM_AL_ALBUM\n%1\nCSV_DATA_ALBUM_AL_ALBUM-->\n")
        .arg(albumName);
}

QString xmlText(const QString& listName, int version) {
    const QString ver = version > 0
                            ? QStringLiteral("<xml_ver><ver_no>%1</ver_no></xml_ver>").arg(version)
                            : QString();
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<data>%1"
                          "<tb_print_list><id>1</id><name>%2</name></tb_print_list>"
                          "<tb_school_list><id>1</id><name>%2</name></tb_school_list>"
                          "<tb_resize_list><id>1</id><name>%2</name></tb_resize_list></data>\n")
        .arg(ver, listName);
}

// The update information as the two pages give it: marker blocks between other text.
QString updateInfo(const QList<QPair<QString, QString>>& markers) {
    QString text = QStringLiteral("<html>MVL_DATA\n");
    for (const auto& [name, value] : markers) {
        text += QStringLiteral("<!--%1\n%2\n%1-->\n").arg(name, value);
    }
    return text + QStringLiteral("</html>\nMVL_DATA");
}

QString logText() {
    QFile file(Log::logFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

void store(const QString& key, const QVariant& value) {
    UserDef::setObject(value, key, true);
}

QString stored(const QString& key) {
    return UserDef::stringForKey(key).value_or(QStringLiteral("<absent>"));
}

// The catalogue copies shipped with the program, in a folder of the test's own.
class ShippedResources {
public:
    ShippedResources() : previous(qgetenv("HALVIX_RESOURCE_DIR")) {
        qputenv("HALVIX_RESOURCE_DIR", QFile::encodeName(dir.path()));
    }
    ~ShippedResources() { qputenv("HALVIX_RESOURCE_DIR", previous); }
    ShippedResources(const ShippedResources&) = delete;
    ShippedResources& operator=(const ShippedResources&) = delete;

    bool put(const QString& fileName, const QString& text) const {
        QFile file(dir.filePath(fileName));
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
    }
    bool putStandardSet() const {
        return put(QStringLiteral("AlbumData.txt"), albumText(QStringLiteral("ShippedAlbum"))) &&
               put(QStringLiteral("AlbumDateTime.txt"), QStringLiteral("2010/01/01 00:00:00\n")) &&
               put(QStringLiteral("tbl_print_new.xml"),
                   xmlText(QStringLiteral("ShippedPrint"), 2)) &&
               put(QStringLiteral("tbl_school.xml"), xmlText(QStringLiteral("ShippedSchool"), 2)) &&
               put(QStringLiteral("tbl_resize.xml"), xmlText(QStringLiteral("ShippedResize"), 2));
    }

private:
    QTemporaryDir dir;
    QByteArray previous;
};

} // namespace

class TestProductData : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LabSim> lab;
    std::unique_ptr<TestHome> home;
    std::unique_ptr<ShippedResources> shipped;

    QString url(const QString& path) const { return lab->httpBase() + path; }
    void serve(const QString& path, const QString& text) const {
        QVERIFY(lab->putHttpFile(path, text.toUtf8()));
    }
    // An update information that announces the album catalogue at /csvs/album.csv.
    QString albumAnnouncement(const QString& newestStamp) const {
        return updateInfo(
            {{QStringLiteral("ALBUM_TS"), newestStamp},
             {QStringLiteral("ALBUM_CSV_URL"), url(QStringLiteral("/csvs/album.csv"))},
             {QStringLiteral("ALBUM_SUPPORT_VER"), QStringLiteral("1.0")}});
    }
    void storeAlbum(const QString& stamp, const QString& text) const {
        store(QStringLiteral("AlbumDataDateTime"), stamp);
        store(QStringLiteral("AlbumData"), text);
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
        shipped = std::make_unique<ShippedResources>();
        QVERIFY(shipped->putStandardSet());
    }
    void cleanup() {
        shipped.reset();
        home.reset();
    }

    // --- Choosing the album catalogue ---

    void noMarkersUsesAndStoresShippedCopies() {
        const QString info = QStringLiteral("\n");
        ProductData data(info);

        QCOMPARE(data.albumData()->itemsAlbum(), QStringList{QStringLiteral("ShippedAlbum")});
        QCOMPARE(stored(QStringLiteral("AlbumData")), albumText(QStringLiteral("ShippedAlbum")));
        QCOMPARE(stored(QStringLiteral("AlbumDataDateTime")),
                 QStringLiteral("2010/01/01 00:00:00"));
        QCOMPARE(data.printData()->xmlData(), xmlText(QStringLiteral("ShippedPrint"), 2));
        QCOMPARE(stored(QStringLiteral("PrintData")), xmlText(QStringLiteral("ShippedPrint"), 2));
        QCOMPARE(stored(QStringLiteral("SchoolData")), xmlText(QStringLiteral("ShippedSchool"), 2));
        QCOMPARE(stored(QStringLiteral("ResizeData")), xmlText(QStringLiteral("ShippedResize"), 2));
        QCOMPARE(data.resizeData()->xmlData(), xmlText(QStringLiteral("ShippedResize"), 2));
        QVERIFY(!data.customDataFlg());
        QCOMPARE(UserDef::appStatus(), QStringLiteral("ProductData init end"));

        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("アルバム商品データの更新確認")));
        QVERIFY(log.contains(QStringLiteral("リソースのアルバムデータを読み込み")));
        QVERIFY(log.contains(QStringLiteral("ネットからの更新情報入手に失敗")));

        // The next start keeps the stored copies, not the shipped ones.
        store(QStringLiteral("PrintData"), xmlText(QStringLiteral("StoredPrint"), 7));
        QCOMPARE(ProductData::printXmlData(info), xmlText(QStringLiteral("StoredPrint"), 7));
        QCOMPARE(ProductData::albumStrData(info), albumText(QStringLiteral("ShippedAlbum")));
    }

    void storedStampNewerBySecondIsKept() {
        storeAlbum(QStringLiteral("2010/05/01 10:00:00"), albumText(QStringLiteral("Stored")));
        serve(QStringLiteral("/csvs/album.csv"), albumText(QStringLiteral("Served")));

        const QString text =
            ProductData::albumStrData(albumAnnouncement(QStringLiteral("2010/05/01 09:59:59")));

        QCOMPARE(text, albumText(QStringLiteral("Stored")));
        QCOMPARE(stored(QStringLiteral("AlbumData")), albumText(QStringLiteral("Stored")));
        QVERIFY(logText().contains(QStringLiteral("最新データを使用中 [2010/05/01 10:00:00]")));
    }

    void newerStampDownloadsAndStores() {
        storeAlbum(QStringLiteral("2010/05/01 10:00:00"), albumText(QStringLiteral("Stored")));
        serve(QStringLiteral("/csvs/album.csv"), albumText(QStringLiteral("Served")));

        const QString text =
            ProductData::albumStrData(albumAnnouncement(QStringLiteral("2010/05/01 10:00:01")));

        QCOMPARE(text, albumText(QStringLiteral("Served")));
        QCOMPARE(stored(QStringLiteral("AlbumData")), albumText(QStringLiteral("Served")));
        QCOMPARE(stored(QStringLiteral("AlbumDataDateTime")),
                 QStringLiteral("2010/05/01 10:00:01"));
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral(
            "更新されている 使用中[2010/05/01 10:00:00] 最新[2010/05/01 10:00:01]")));
        QVERIFY(log.contains(QStringLiteral("最新データに更新")));
    }

    void storedOlderThanShippedIsReplaced() {
        storeAlbum(QStringLiteral("2009/12/31 23:59:59"), albumText(QStringLiteral("Stored")));

        QCOMPARE(ProductData::albumStrData(QString()), albumText(QStringLiteral("ShippedAlbum")));
        QCOMPARE(stored(QStringLiteral("AlbumData")), albumText(QStringLiteral("ShippedAlbum")));
        QCOMPARE(stored(QStringLiteral("AlbumDataDateTime")),
                 QStringLiteral("2010/01/01 00:00:00"));
        QVERIFY(logText().contains(QStringLiteral("リソースのアルバムデータを読み込み")));

        // A stored stamp that is no date at all counts as unusable too.
        storeAlbum(QStringLiteral("2010/13/01 00:00:00"), albumText(QStringLiteral("Stored")));
        QCOMPARE(ProductData::albumStrData(QString()), albumText(QStringLiteral("ShippedAlbum")));

        // A stored copy newer than the shipped one stays.
        storeAlbum(QStringLiteral("2011/01/01 00:00:00"), albumText(QStringLiteral("Stored")));
        QCOMPARE(ProductData::albumStrData(QString()), albumText(QStringLiteral("Stored")));

        // Without a shipped copy even an unusable stored one is kept rather than lost.
        shipped.reset();
        shipped = std::make_unique<ShippedResources>();
        storeAlbum(QStringLiteral("not a stamp"), albumText(QStringLiteral("Stored")));
        QCOMPARE(ProductData::albumStrData(QString()), albumText(QStringLiteral("Stored")));
        QCOMPARE(stored(QStringLiteral("AlbumData")), albumText(QStringLiteral("Stored")));
    }

    void albumDownloadFailureKeepsStoredCopy_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("no album marker")
            << QStringLiteral("/csvs/album.csv")
            << QStringLiteral("<html><body>メンテナンス中です</body></html>")
            << QStringLiteral("読み込んだデータが不正");
        QTest::newRow("not found") << QStringLiteral("/csvs/missing.csv") << QString()
                                   << QStringLiteral("ネットからのデータ入手に失敗");
    }
    void albumDownloadFailureKeepsStoredCopy() {
        QFETCH(QString, path);
        QFETCH(QString, body);
        QFETCH(QString, logLine);
        storeAlbum(QStringLiteral("2010/05/01 10:00:00"), albumText(QStringLiteral("Stored")));
        serve(QStringLiteral("/csvs/album.csv"), body);
        const QString info =
            updateInfo({{QStringLiteral("ALBUM_TS"), QStringLiteral("2012/01/01 00:00:00")},
                        {QStringLiteral("ALBUM_CSV_URL"), url(path)}});

        QCOMPARE(ProductData::albumStrData(info), albumText(QStringLiteral("Stored")));
        QCOMPARE(stored(QStringLiteral("AlbumData")), albumText(QStringLiteral("Stored")));
        QCOMPARE(stored(QStringLiteral("AlbumDataDateTime")),
                 QStringLiteral("2010/05/01 10:00:00"));
        QVERIFY(logText().contains(logLine));
    }

    void albumForNewerProgramIsNotFetched() {
        storeAlbum(QStringLiteral("2010/05/01 10:00:00"), albumText(QStringLiteral("Stored")));
        serve(QStringLiteral("/csvs/album.csv"), albumText(QStringLiteral("Served")));
        const QString info =
            updateInfo({{QStringLiteral("ALBUM_TS"), QStringLiteral("2012/01/01 00:00:00")},
                        {QStringLiteral("ALBUM_CSV_URL"), url(QStringLiteral("/csvs/album.csv"))},
                        {QStringLiteral("ALBUM_SUPPORT_VER"), QStringLiteral("99.5")}});

        QCOMPARE(ProductData::albumStrData(info), albumText(QStringLiteral("Stored")));
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("SupportVer=99.5")));
        QVERIFY(log.contains(QStringLiteral("サポートされていないアルバムデータ")));
    }

    void developModeFetchesRealtimeAlbumWithoutStoring() {
        store(QStringLiteral("PhotoStudioName"), QStringLiteral("オーベル開発テスト"));
        storeAlbum(QStringLiteral("2030/01/01 00:00:00"), albumText(QStringLiteral("Stored")));
        serve(QStringLiteral("/csvs/album.csv"), albumText(QStringLiteral("Published")));
        serve(QStringLiteral("/csvs_realtime/album.csv"), albumText(QStringLiteral("Realtime")));

        // Even an announced stamp older than the stored one counts as newer here.
        const QString text =
            ProductData::albumStrData(albumAnnouncement(QStringLiteral("2010/01/01 00:00:00")));

        QCOMPARE(text, albumText(QStringLiteral("Realtime")));
        QCOMPARE(stored(QStringLiteral("AlbumData")), albumText(QStringLiteral("Stored")));
        QCOMPARE(stored(QStringLiteral("AlbumDataDateTime")),
                 QStringLiteral("2030/01/01 00:00:00"));
        QVERIFY(logText().contains(QStringLiteral("開発モードなのでローカルデータは更新しない")));
    }

    // --- Choosing the XML catalogues ---

    void newerXmlVersionIsDownloaded() {
        store(QStringLiteral("PrintData"), xmlText(QStringLiteral("StoredPrint"), 3));
        store(QStringLiteral("SchoolData"), xmlText(QStringLiteral("StoredSchool"), 3));
        store(QStringLiteral("ResizeData"), xmlText(QStringLiteral("StoredResize"), 3));
        serve(QStringLiteral("/xml/print.xml"), xmlText(QStringLiteral("ServedPrint"), 4));
        serve(QStringLiteral("/xml/school.xml"), xmlText(QStringLiteral("ServedSchool"), 4));
        serve(QStringLiteral("/xml/resize.xml"), xmlText(QStringLiteral("ServedResize"), 4));
        const QString info = updateInfo(
            {{QStringLiteral("PRINT_XML_MAC_VER"), QStringLiteral("1.0")},
             {QStringLiteral("PRINT_XML_VER"), QStringLiteral("4")},
             {QStringLiteral("PRINT_XML_URL"), url(QStringLiteral("/xml/print.xml"))},
             // The school catalogue needs a newer program: left alone.
             {QStringLiteral("SCHOOL_XML_MAC_VER"), QStringLiteral("99")},
             {QStringLiteral("SCHOOL_XML_VER"), QStringLiteral("4")},
             {QStringLiteral("SCHOOL_XML_URL"), url(QStringLiteral("/xml/school.xml"))},
             // The resize catalogue in use is already at the announced version.
             {QStringLiteral("RESIZE_XML_VER"), QStringLiteral("3")},
             {QStringLiteral("RESIZE_XML_URL"), url(QStringLiteral("/xml/resize.xml"))}});

        QCOMPARE(ProductData::printXmlData(info), xmlText(QStringLiteral("ServedPrint"), 4));
        QCOMPARE(stored(QStringLiteral("PrintData")), xmlText(QStringLiteral("ServedPrint"), 4));
        QCOMPARE(ProductData::schoolXmlData(info), xmlText(QStringLiteral("StoredSchool"), 3));
        QCOMPARE(ProductData::resizeXmlData(info), xmlText(QStringLiteral("StoredResize"), 3));
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("ネットからプリントデータ入手")));
        QVERIFY(!log.contains(QStringLiteral("ネットからスクールデータ入手")));
        QVERIFY(!log.contains(QStringLiteral("ネットからリサイズデータ入手")));
    }

    void badXmlBodyKeepsStoredCopy_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("error page")
            << QStringLiteral(
                   "<html><head><title>502</title></head><body>Bad Gateway</body></html>")
            << true;
        QTest::newRow("cut off") << xmlText(QStringLiteral("ServedPrint"), 4).left(60) << true;
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("unreachable") << xmlText(QStringLiteral("ServedPrint"), 4) << false;
    }
    void badXmlBodyKeepsStoredCopy() {
        QFETCH(QString, body);
        QFETCH(bool, reachable);
        store(QStringLiteral("PrintData"), xmlText(QStringLiteral("StoredPrint"), 3));
        serve(QStringLiteral("/xml/print.xml"), body);
        const QString address = reachable ? url(QStringLiteral("/xml/print.xml"))
                                          : QStringLiteral("http://127.0.0.1:1/xml/print.xml");
        const QString info = updateInfo({{QStringLiteral("PRINT_XML_VER"), QStringLiteral("4")},
                                         {QStringLiteral("PRINT_XML_URL"), address}});

        QCOMPARE(ProductData::printXmlData(info), xmlText(QStringLiteral("StoredPrint"), 3));
        QCOMPARE(stored(QStringLiteral("PrintData")), xmlText(QStringLiteral("StoredPrint"), 3));
        QCOMPARE(logText().contains(QStringLiteral("読み込んだデータが不正")), reachable);
    }

    // A body that would crash or stall the table reader is refused before it is stored: the
    // stored copy stays in use and is what the next start reads too.
    void hostileXmlBodyIsNeverStored_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("reason");
        QString deep = QStringLiteral("<data><xml_ver><ver_no>9</ver_no></xml_ver>"
                                      "<tb_print_list><id>1</id><name>");
        deep += QStringLiteral("<a>").repeated(80000) + QStringLiteral("</a>").repeated(80000);
        deep += QStringLiteral("</name></tb_print_list></data>");
        QTest::newRow("80,000 deep") << deep << QStringLiteral("要素の入れ子が32段を超えるデータ");
        QTest::newRow("entity")
            << QStringLiteral("<!DOCTYPE d [<!ENTITY e \"x\">]><d><xml_ver><ver_no>9</ver_no>"
                              "</xml_ver></d>")
            << QStringLiteral("実体宣言または未定義の実体参照を含むデータ");
    }
    void hostileXmlBodyIsNeverStored() {
        QFETCH(QString, body);
        QFETCH(QString, reason);
        store(QStringLiteral("PrintData"), xmlText(QStringLiteral("StoredPrint"), 3));
        serve(QStringLiteral("/xml/print.xml"), body);
        const QString info =
            updateInfo({{QStringLiteral("PRINT_XML_VER"), QStringLiteral("9")},
                        {QStringLiteral("PRINT_XML_URL"), url(QStringLiteral("/xml/print.xml"))}});

        ProductData data(info);
        QCOMPARE(data.printData()->xmlData(), xmlText(QStringLiteral("StoredPrint"), 3));
        QCOMPARE(data.printData()->tableInfoDicForTagNo(301)->allRecords().size(), 1);
        QCOMPARE(stored(QStringLiteral("PrintData")), xmlText(QStringLiteral("StoredPrint"), 3));
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("] ネットからプリントデータ入手\n")));
        QVERIFY(log.contains(QStringLiteral("] 読み込んだデータが不正\n")));
        QVERIFY(log.contains(QStringLiteral("] ") + reason + u'\n'));
    }

    // A hostile text stored by an older version is not read again: the shipped copy replaces it.
    void hostileStoredXmlFallsBackToShipped() {
        QString deep = QStringLiteral("<data><xml_ver><ver_no>9</ver_no></xml_ver>") +
                       QStringLiteral("<x>").repeated(80000) +
                       QStringLiteral("</x>").repeated(80000) + QStringLiteral("</data>");
        store(QStringLiteral("SchoolData"), deep);
        QCOMPARE(ProductData::schoolXmlData(QStringLiteral("\n")),
                 xmlText(QStringLiteral("ShippedSchool"), 2));
        QCOMPARE(stored(QStringLiteral("SchoolData")), xmlText(QStringLiteral("ShippedSchool"), 2));
        QVERIFY(logText().contains(QStringLiteral("保存されているSchoolDataが不正なため同梱のデータ"
                                                  "を使用：要素の入れ子が32段を超えるデータ")));
    }

    // A catalogue larger than any real one is refused while it arrives, and the refusal is logged.
    void oversizedXmlBodyIsRefused() {
        store(QStringLiteral("ResizeData"), xmlText(QStringLiteral("StoredResize"), 3));
        QByteArray huge = xmlText(QStringLiteral("Huge"), 9).toUtf8();
        huge.insert(huge.indexOf("</data>"),
                    QByteArray(Tool::kMaxHttpBodyBytes, ' ')); // valid XML, one byte too many
        QVERIFY(lab->putHttpFile(QStringLiteral("/xml/resize.xml"), huge));
        const QString address = url(QStringLiteral("/xml/resize.xml"));
        // A query can carry a password or its digest: the log names the address without it.
        const QString info = updateInfo(
            {{QStringLiteral("RESIZE_XML_VER"), QStringLiteral("9")},
             {QStringLiteral("RESIZE_XML_URL"), address + QStringLiteral("?pass=himitsu")}});

        QCOMPARE(ProductData::resizeXmlData(info), xmlText(QStringLiteral("StoredResize"), 3));
        QCOMPARE(stored(QStringLiteral("ResizeData")), xmlText(QStringLiteral("StoredResize"), 3));
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("受信データが大きすぎるため破棄（上限%1バイト）：%2")
                                 .arg(Tool::kMaxHttpBodyBytes)
                                 .arg(address)));
        QVERIFY(!log.contains(QStringLiteral("himitsu")));
        QVERIFY(!log.contains(QStringLiteral("ネットからリサイズデータ入手")));
    }

    void developModeUsesTestXmlWithoutStoring() {
        store(QStringLiteral("PhotoStudioName"), QStringLiteral("ミラベル開発テスト"));
        store(QStringLiteral("ResizeData"), xmlText(QStringLiteral("StoredResize"), 5));
        serve(QStringLiteral("/xml/tbl_resize_test.xml"), xmlText(QStringLiteral("TestResize"), 1));
        const QString info = updateInfo(
            {{QStringLiteral("RESIZE_XML_VER"), QStringLiteral("5")},
             {QStringLiteral("RESIZE_XML_URL"), url(QStringLiteral("/xml/tbl_resize.xml"))}});

        QCOMPARE(ProductData::resizeXmlData(info), xmlText(QStringLiteral("TestResize"), 1));
        QCOMPARE(stored(QStringLiteral("ResizeData")), xmlText(QStringLiteral("StoredResize"), 5));

        // A test file of 100 characters or fewer is no catalogue: the stored one is used.
        serve(QStringLiteral("/xml/tbl_resize_test.xml"), QStringLiteral("<a/>"));
        QCOMPARE(ProductData::resizeXmlData(info), xmlText(QStringLiteral("StoredResize"), 5));
    }

    void productXmlVer_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("version");
        QTest::newRow("version 12") << xmlText(QStringLiteral("x"), 12) << qint64(12);
        QTest::newRow("no xml_ver") << xmlText(QStringLiteral("x"), 0) << qint64(0);
        QTest::newRow("not under the root")
            << QStringLiteral("<d><t><xml_ver><ver_no>5</ver_no></xml_ver></t></d>") << qint64(0);
        QTest::newRow("no ver_no")
            << QStringLiteral("<d><xml_ver><v>5</v></xml_ver></d>") << qint64(0);
        QTest::newRow("first of two") << QStringLiteral("<d><xml_ver><ver_no>6</ver_no></xml_ver>"
                                                        "<xml_ver><ver_no>9</ver_no></xml_ver></d>")
                                      << qint64(6);
        QTest::newRow("unparsable")
            << QStringLiteral("<d><xml_ver><ver_no>5</ver_no></d>") << qint64(0);
        QTest::newRow("empty") << QString() << qint64(0);
    }
    void productXmlVer() {
        QFETCH(QString, text);
        QFETCH(qint64, version);
        QCOMPARE(ProductData::productXmlVer(text), version);
    }

    void availableForThisVersion() {
        QVERIFY(ProductData::isAvailableXmlThisAppVersion(Tool::applicationVersion()));
        QVERIFY(ProductData::isAvailableXmlThisAppVersion(QString()));
        QVERIFY(ProductData::isAvailableXmlThisAppVersion(QStringLiteral("0.5")));
        QVERIFY(!ProductData::isAvailableXmlThisAppVersion(QStringLiteral("99")));
        QVERIFY(!ProductData::isAvailableXmlThisAppVersion(QStringLiteral("99.1.2")));
        QVERIFY(logText().contains(QStringLiteral("TargetVer=99")));
        // Component by component (the program is 2.0.0): a decimal reading would take 2.0.1 for
        // 2.0 and 1.10 for 1.1.
        QCOMPARE(Tool::applicationVersion(), QStringLiteral("2.0.0"));
        QVERIFY(!ProductData::isAvailableXmlThisAppVersion(QStringLiteral("2.0.1")));
        QVERIFY(ProductData::isAvailableXmlThisAppVersion(QStringLiteral("2.0")));
        QVERIFY(ProductData::isAvailableXmlThisAppVersion(QStringLiteral("1.10")));
        QVERIFY(!ProductData::isAvailableXmlThisAppVersion(QStringLiteral("2.10")));
    }

    // --- Custom catalogues ---

    void customDataFallsBackToStandardFamily() {
        store(QStringLiteral("AlbumData"), albumText(QStringLiteral("StandardAlbum")));
        store(QStringLiteral("PrintData"), xmlText(QStringLiteral("StandardPrint"), 1));
        UserDef::saveCustomData(xmlText(QStringLiteral("OwnPrint"), 1), QStringLiteral("1234"),
                                QStringLiteral("CustomPrint"));

        QCOMPARE(
            ProductData::customDataForCode(QStringLiteral("1234"), QStringLiteral("CustomPrint")),
            xmlText(QStringLiteral("OwnPrint"), 1));
        QCOMPARE(
            ProductData::customDataForCode(QStringLiteral("5678"), QStringLiteral("CustomPrint")),
            xmlText(QStringLiteral("StandardPrint"), 1));
        QCOMPARE(
            ProductData::customDataForCode(QStringLiteral("1234"), QStringLiteral("CustomALBUM")),
            albumText(QStringLiteral("StandardAlbum")));
        // No stored school text, and a key of no family: nothing.
        QCOMPARE(
            ProductData::customDataForCode(QStringLiteral("1234"), QStringLiteral("CustomSchool")),
            QString());
        QCOMPARE(
            ProductData::customDataForCode(QStringLiteral("1234"), QStringLiteral("CustomOther")),
            QString());
    }

    void standardCustomerReloadsNothing() {
        ProductData data{QString()};
        const auto album = data.albumData();
        const auto print = data.printData();

        QVERIFY(!data.reloadData());
        QVERIFY(!data.customDataFlg());
        QCOMPARE(data.albumData(), album);
        QCOMPARE(data.printData(), print);
    }

    void customCustomerMissingPrintKeepsStandardPrint() {
        ProductData data{QString()};
        const auto print = data.printData();
        const auto resize = data.resizeData();
        store(QStringLiteral("CustomCustomerCode"), QStringLiteral("55,1234"));
        store(QStringLiteral("CustomerCode"), QStringLiteral("1234-01"));
        UserDef::saveCustomData(albumText(QStringLiteral("OwnAlbum")), QStringLiteral("1234"),
                                QStringLiteral("CustomAlbum"));
        UserDef::saveCustomData(xmlText(QStringLiteral("OwnSchool"), 1), QStringLiteral("1234"),
                                QStringLiteral("CustomSchool"));

        QVERIFY(data.reloadData());
        QVERIFY(data.customDataFlg());
        QCOMPARE(data.albumData()->itemsAlbum(), QStringList{QStringLiteral("OwnAlbum")});
        QCOMPARE(data.schoolData()->xmlData(), xmlText(QStringLiteral("OwnSchool"), 1));
        QCOMPARE(data.printData(), print); // standard text, already loaded: not rebuilt
        QCOMPARE(data.resizeData(), resize);

        // Nothing changed since: nothing to rebuild.
        const auto album = data.albumData();
        QVERIFY(!data.reloadData());
        QCOMPARE(data.albumData(), album);
    }

    void switchingCustomToStandardRebuilds() {
        ProductData data{QString()};
        store(QStringLiteral("CustomCustomerCode"), QStringLiteral("1234"));
        store(QStringLiteral("CustomerCode"), QStringLiteral("1234"));
        UserDef::saveCustomData(albumText(QStringLiteral("OwnAlbum")), QStringLiteral("1234"),
                                QStringLiteral("CustomAlbum"));
        QVERIFY(data.reloadData());
        const auto album = data.albumData();
        const auto print = data.printData();
        const auto school = data.schoolData();
        const auto resize = data.resizeData();

        store(QStringLiteral("CustomerCode"), QStringLiteral("777"));
        QVERIFY(data.reloadData());
        QVERIFY(!data.customDataFlg());
        QCOMPARE(data.albumData()->itemsAlbum(), QStringList{QStringLiteral("ShippedAlbum")});
        // Print and school carry the same text as before, and are rebuilt all the same.
        QVERIFY(data.printData() != print);
        QVERIFY(data.schoolData() != school);
        QVERIFY(data.albumData() != album);
        QCOMPARE(data.printData()->xmlData(), print->xmlData());
        QCOMPARE(data.resizeData(), resize);
        // The replaced object stays usable for whoever still holds it.
        QCOMPARE(album->itemsAlbum(), QStringList{QStringLiteral("OwnAlbum")});

        QVERIFY(!data.reloadData());
    }

    // --- The update information pages ---

    void readDataHttpNormalisesAndChecksPages() {
        serve(QStringLiteral("/page/good.html"), QStringLiteral("MVL_DATA\r\na\rb\r\n"));
        serve(QStringLiteral("/page/bad.html"), QStringLiteral("<html>工事中</html>"));

        QCOMPARE(UpdateInfo::readDataHttp(url(QStringLiteral("/page/good.html"))),
                 QStringLiteral("MVL_DATA\na\nb\n"));
        QCOMPARE(UpdateInfo::readDataHttp(url(QStringLiteral("/page/bad.html"))), QString());
        QCOMPARE(UpdateInfo::readDataHttp(QStringLiteral("http://127.0.0.1:1/x.html")), QString());

        const QString log = logText();
        QVERIFY(log.contains(url(QStringLiteral("/page/bad.html"))));
        QVERIFY(log.contains(QStringLiteral("正しくないデータを受信")));
        QVERIFY(log.contains(QStringLiteral("data(16文字)=<html>工事中</html>")));
        QVERIFY(log.contains(QStringLiteral("サーバーとの通信に失敗")));
    }

    void updateInfoJoinsBothPagesAndStoresCodes() {
        serve(QStringLiteral("/halv_ix2/appinfo.html"),
              QStringLiteral("MVL_DATA app\r\n<!--CUSTOM_CUSTOMER_CODE\r\n12,345\r\n"
                             "CUSTOM_CUSTOMER_CODE-->\r\n<!--FTP2_TARGET_CODE\r\n678\r\n"
                             "FTP2_TARGET_CODE-->\r\nKINELO-OFF"));
        serve(QStringLiteral("/album_info_8.html"), QStringLiteral("MVL_DATA album"));

        const QString info = UpdateInfo::fetchUpdateInfo();
        QVERIFY(info.startsWith(QStringLiteral("MVL_DATA app\n")));
        QVERIFY(info.endsWith(QStringLiteral("KINELO-OFF\nMVL_DATA album")));
        QVERIFY(UpdateInfo::isKineloOff(info));
        QVERIFY(!UpdateInfo::isFfTabOn(info));

        QVERIFY(UpdateInfo::storeCustomCustomerCode(info));
        UpdateInfo::storeFtp2TargetCode(info);
        QCOMPARE(stored(QStringLiteral("CustomCustomerCode")), QStringLiteral("12,345"));
        QCOMPARE(stored(QStringLiteral("Ftp2TargetCode")), QStringLiteral("678"));

        // A page without the blocks keeps the last known custom list but clears the FTP2 list.
        QVERIFY(!UpdateInfo::storeCustomCustomerCode(QStringLiteral("MVL_DATA")));
        UpdateInfo::storeFtp2TargetCode(QStringLiteral("MVL_DATA"));
        QCOMPARE(stored(QStringLiteral("CustomCustomerCode")), QStringLiteral("12,345"));
        QCOMPARE(stored(QStringLiteral("Ftp2TargetCode")), QString());
    }
};

QTEST_GUILESS_MAIN(TestProductData)
#include "tst_ProductData.moc"
