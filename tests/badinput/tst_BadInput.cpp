// Hostile and broken input for every reader that takes text from the network or the disk: each
// case must be refused or read, never crash, hang or exhaust memory.
#include "PlistBombs.h"
#include "TestHome.h"
#include "product/ProductData.h"
#include "product/ProductPrintData.h"
#include "product/ProductXmlReader.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/PlistVariant.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

namespace {

// An element nested `depth` deep inside a record of a catalogue.
QString nestedCatalogue(int depth) {
    QString text = QStringLiteral("<data><xml_ver><ver_no>7</ver_no></xml_ver><tb_print_list>"
                                  "<id>1</id><name>");
    text.reserve(text.size() + depth * 7 + 100);
    for (int i = 0; i < depth; ++i) {
        text += QStringLiteral("<a>");
    }
    text += u'x';
    for (int i = 0; i < depth; ++i) {
        text += QStringLiteral("</a>");
    }
    return text + QStringLiteral("</name></tb_print_list></data>");
}

QByteArray shippedPrintCatalogue() {
    QFile file(QFile::decodeName(qgetenv("HALVIX_RESOURCE_DIR")) +
               QStringLiteral("/tbl_print_new.xml"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray settingsPlist(const QByteArray& stringValue) {
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
                             "<dict><key>CustomerCode</key><string>") +
           stringValue + QByteArrayLiteral("</string></dict></plist>\n");
}

// A binary property list of one string object: ASCII (marker 0x5), or UTF-16 big-endian (0x6)
// with bytes holding the code units; at most 14 characters.
QByteArray binaryPlistOfString(const QByteArray& bytes, bool utf16 = false) {
    QByteArray data("bplist00");
    data += char((utf16 ? 0x60 : 0x50) | (utf16 ? bytes.size() / 2 : bytes.size()));
    data += bytes;
    const char offsetTableAt = char(data.size());
    data += char(8); // the object's offset
    QByteArray trailer(6, '\0');
    trailer += char(1);                       // offset size
    trailer += char(1);                       // reference size
    trailer += QByteArray(7, '\0') + char(1); // one object
    trailer += QByteArray(8, '\0');           // the top object is object 0
    trailer += QByteArray(7, '\0') + offsetTableAt;
    return data + trailer;
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void catalogueNestingIsLimited_data() {
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("read");
        // The name column is at depth 3; its inner elements add to that.
        QTest::newRow("32 levels") << ProductXmlReader::kMaxDepth - 3 << true;
        QTest::newRow("33 levels") << ProductXmlReader::kMaxDepth - 2 << false;
        QTest::newRow("80,000 levels") << 80000 << false;
    }
    void catalogueNestingIsLimited() {
        QFETCH(int, depth);
        QFETCH(bool, read);
        const QString text = nestedCatalogue(depth);
        const ProductXmlReader::Result result = ProductXmlReader::read(text);
        QCOMPARE(result.document.has_value(), read);
        if (read) {
            QCOMPARE(result.document->elements.at(1).record.value(QStringLiteral("name")),
                     QVariant(QStringLiteral("x")));
            QCOMPARE(ProductData::productXmlVer(text), qint64(7));
        } else {
            QCOMPARE(result.refusal, ProductXmlReader::Refusal::TooDeep);
            QCOMPARE(ProductData::productXmlVer(text), qint64(0));
            TestHome home;
            const ProductPrintData print(text);
            QVERIFY(print.tableInfoDicForTagNo(301)->allRecords().isEmpty());
        }
    }

    // About 2 MB of nesting, as a hostile server might send it: refused, also for the version.
    void twoMegabytesOfNestingGiveNoVersion() {
        QString text = QStringLiteral("<data><xml_ver><ver_no>9</ver_no></xml_ver>");
        while (text.size() < 2 * 1024 * 1024) {
            text += QStringLiteral("<tb_print_list>");
        }
        QCOMPARE(ProductData::productXmlVer(text), qint64(0));
        QCOMPARE(ProductXmlReader::read(text).refusal, ProductXmlReader::Refusal::TooDeep);
    }

    void catalogueReadingIsTimeBoxed() {
        const QString shipped = QString::fromUtf8(shippedPrintCatalogue());
        QVERIFY(!shipped.isEmpty());
        QVERIFY(ProductXmlReader::read(shipped).document.has_value());
        // A budget that is over before the first token: refused as too slow, not read in part.
        const ProductXmlReader::Result result =
            ProductXmlReader::read(shipped, std::chrono::milliseconds(0));
        QVERIFY(!result.document.has_value());
        QCOMPARE(result.refusal, ProductXmlReader::Refusal::TooSlow);
        QVERIFY(!ProductXmlReader::refusalText(result.refusal).isEmpty());
    }

    // Random damage to a real catalogue: every variant is either read whole or refused.
    void damagedCataloguesNeverCrash() {
        const QByteArray shipped = shippedPrintCatalogue();
        QVERIFY(!shipped.isEmpty());
        QRandomGenerator random(20261208);
        int refused = 0;
        for (int round = 0; round < 300; ++round) {
            QByteArray damaged = shipped;
            const int changes = 1 + int(random.bounded(8));
            for (int i = 0; i < changes; ++i) {
                const qsizetype at = random.bounded(damaged.size());
                switch (random.bounded(3)) {
                case 0:
                    damaged[at] = char(random.bounded(256));
                    break;
                case 1:
                    damaged.remove(at, 1 + random.bounded(40));
                    break;
                default:
                    damaged.insert(at, damaged.mid(random.bounded(damaged.size()), 60));
                    break;
                }
            }
            const ProductXmlReader::Result result =
                ProductXmlReader::read(QString::fromUtf8(damaged));
            if (!result.document) {
                ++refused;
                QVERIFY(result.refusal != ProductXmlReader::Refusal::None);
            }
        }
        QVERIFY(refused > 0); // the damage was real
    }

    void nulInsideASettingsStringIsRefused() {
        QByteArray withNul = settingsPlist(QByteArray("12", 2) + '\0' + QByteArray("34"));
        QCOMPARE(plistFromData(withNul), std::nullopt);
        // The same file without the NUL is an ordinary settings file.
        const std::optional<QVariant> clean = plistFromData(settingsPlist("1234"));
        QVERIFY(clean.has_value());
        QCOMPARE(clean->toMap().value(QStringLiteral("CustomerCode")),
                 QVariant(QStringLiteral("1234")));
    }

    void nulInsideABinaryStringIsRefused() {
        const std::optional<QVariant> plain = plistFromData(binaryPlistOfString("abc"));
        QVERIFY(plain.has_value());
        QCOMPARE(plain->toString(), QStringLiteral("abc"));
        // libplist itself cuts an ASCII string at a NUL...
        const std::optional<QVariant> ascii =
            plistFromData(binaryPlistOfString(QByteArray("a\0b", 3)));
        QVERIFY(ascii.has_value());
        QCOMPARE(ascii->toString(), QStringLiteral("a"));
        // ...but keeps one inside a UTF-16 string, where fetching it would abort the program.
        QCOMPARE(plistFromData(binaryPlistOfString(QByteArray("\0a\0\0\0b", 6), true)),
                 std::nullopt);
    }

    // A settings file with a NUL in a string starts the store empty, as any damaged file does.
    void settingsFileWithNulStartsEmpty() {
        TestHome home;
        const QString path = home.filePath(QStringLiteral(".config/halvix2/settings.plist"));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray bad = settingsPlist(QByteArray("35\0"
                                                        "00",
                                                        5));
        QVERIFY(file.write(bad) == bad.size());
        file.close();
        QVERIFY(SettingsStore::shared().snapshot().isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    // Damaged binary lists: the size check before libplist reads offsets, counts and references
    // from the file itself, and must stay inside it whatever they say.
    void damagedBinaryListsNeverCrashOrExpand() {
        const QByteArray good =
            plistbomb::binaryPlist({{plistbomb::Object::Kind::Dict, {}, {1, 2, 3, 4}},
                                    {plistbomb::Object::Kind::Ascii, "CustomerCode", {}},
                                    {plistbomb::Object::Kind::Ascii, "AlbumSetTitles", {}},
                                    {plistbomb::Object::Kind::Ascii, "3500", {}},
                                    {plistbomb::Object::Kind::Array, {}, {3, 3, 1}}});
        QVERIFY(plistFromData(good).has_value());
        QRandomGenerator random(11);
        for (int round = 0; round < 3000; ++round) {
            QByteArray damaged = good;
            const int changes = 1 + int(random.bounded(3));
            for (int i = 0; i < changes; ++i) {
                damaged[random.bounded(damaged.size())] = char(random.bounded(256));
            }
            const PlistRead read = plistReadData(damaged);
            QVERIFY(!(read.value && read.overBudget));
        }
    }

    void damagedSettingsNeverCrash() {
        const QByteArray good = plistXmlFromVariant(QVariantMap{
            {QStringLiteral("CustomerCode"), QStringLiteral("3500")},
            {QStringLiteral("BagNo"), qint64(41)},
            {QStringLiteral("PrintDic"),
             QVariantMap{{QStringLiteral("PrintOrderMasterMemoKey"), QStringLiteral("メモ")}}},
            {QStringLiteral("AlbumSetTitles"),
             QVariantList{QStringLiteral("a"), QStringLiteral("b")}}});
        QVERIFY(plistFromData(good).has_value());
        QRandomGenerator random(8);
        for (int round = 0; round < 300; ++round) {
            QByteArray damaged = good;
            const int changes = 1 + int(random.bounded(4));
            for (int i = 0; i < changes; ++i) {
                const qsizetype at = random.bounded(damaged.size());
                // Control bytes, NUL among them, are the likeliest damage of a torn write.
                damaged[at] =
                    random.bounded(2) == 0 ? char(random.bounded(32)) : char(random.bounded(256));
            }
            const std::optional<QVariant> value = plistFromData(damaged);
            if (damaged.contains('\0')) {
                QCOMPARE(value, std::nullopt);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_BadInput.moc"
