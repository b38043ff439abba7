#include "PlistBombs.h"
#include "util/PlistVariant.h"
#include "util/ProcessRunner.h"

#include <QDateTime>
#include <QTest>

namespace {

// Python's plistlib writes the files here: an independent writer and reader to check against.
std::optional<QByteArray> python(const QString& script, const QByteArray& input = {}) {
    ProcessOptions options;
    options.stdinData = input;
    const ProcessResult r =
        runProcess(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script}, options);
    if (!r.succeeded()) {
        return std::nullopt;
    }
    return r.stdoutData;
}

QVariantMap sample() {
    QVariantMap inner;
    inner.insert(QStringLiteral("OrderType"), QStringLiteral("1"));
    inner.insert(QStringLiteral("AddFileArray"),
                 QVariantList{QStringLiteral("/home/a/写真 1.jpg"), QStringLiteral("/b<&>.jpg")});
    QVariantMap map;
    map.insert(QStringLiteral("text"), QStringLiteral("プリント & <タグ> \"引用\" 😀"));
    map.insert(QStringLiteral("empty"), QString());
    map.insert(QStringLiteral("bag"), qint64(41));
    map.insert(QStringLiteral("negative"), qint64(-7));
    map.insert(QStringLiteral("large"), qint64(9000000000LL));
    map.insert(QStringLiteral("real"), 2.5);
    map.insert(QStringLiteral("flag"), true);
    map.insert(QStringLiteral("data"), QByteArray("\x00\x01\xff", 3));
    map.insert(QStringLiteral("date"), QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3), Qt::UTC));
    map.insert(QStringLiteral("日本語キー"), inner);
    map.insert(QStringLiteral("emptyList"), QVariantList());
    map.insert(QStringLiteral("emptyDic"), QVariantMap());
    return map;
}

} // namespace

class TestPlistVariant : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTripKeepsEveryType() {
        const QVariantMap map = sample();
        const QByteArray xml = plistXmlFromVariant(map);
        QVERIFY(xml.startsWith("<?xml"));
        QVERIFY(xml.contains("<!DOCTYPE plist"));
        const auto back = plistFromData(xml);
        QVERIFY(back.has_value());
        QCOMPARE(back->typeId(), int(QMetaType::QVariantMap));
        const QVariantMap m = back->toMap();
        QCOMPARE(m.keys(), map.keys());
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            QCOMPARE(m.value(it.key()).typeId(), it.value().typeId());
            QCOMPARE(m.value(it.key()), it.value());
        }
    }

    void integerWidthsAndStringLists() {
        const QVariantList in{QVariant(int(5)), QVariant(uint(6)),
                              QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")})};
        const auto back = plistFromData(plistXmlFromVariant(in));
        QVERIFY(back.has_value());
        const QVariantList out = back->toList();
        QCOMPARE(out.size(), 3);
        QCOMPARE(out.at(0).typeId(), int(QMetaType::LongLong));
        QCOMPARE(out.at(0).toLongLong(), 5);
        QCOMPARE(out.at(1).toLongLong(), 6);
        QCOMPARE(out.at(2).typeId(), int(QMetaType::QVariantList));
        QCOMPARE(out.at(2).toStringList(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    }

    void readsWhatAnotherWriterWrote() {
        const QString script = QStringLiteral(
            "import plistlib, sys, datetime\n"
            "v = {'s': 'スクール', 'i': -3, 'r': 0.5, 'b': False, 'd': b'ab',\n"
            "     't': datetime.datetime(2026, 12, 6, 9, 5, 3), 'a': ['x', {'k': 1}]}\n"
            "fmt = plistlib.FMT_BINARY if sys.argv[1] == 'bin' else plistlib.FMT_XML\n"
            "sys.stdout.buffer.write(plistlib.dumps(v, fmt=fmt))\n");
        for (const char* format : {"xml", "bin"}) {
            const ProcessResult r =
                runProcess(QStringLiteral("/usr/bin/python3"),
                           {QStringLiteral("-c"), script, QString::fromLatin1(format)});
            QVERIFY2(r.succeeded(), r.stderrData.constData());
            const auto parsed = plistFromData(r.stdoutData);
            QVERIFY2(parsed.has_value(), format);
            const QVariantMap m = parsed->toMap();
            QCOMPARE(m.value(QStringLiteral("s")).toString(), QStringLiteral("スクール"));
            QCOMPARE(m.value(QStringLiteral("i")).toLongLong(), -3);
            QCOMPARE(m.value(QStringLiteral("r")).toDouble(), 0.5);
            QCOMPARE(m.value(QStringLiteral("b")).typeId(), int(QMetaType::Bool));
            QCOMPARE(m.value(QStringLiteral("b")).toBool(), false);
            QCOMPARE(m.value(QStringLiteral("d")).toByteArray(), QByteArray("ab"));
            QCOMPARE(m.value(QStringLiteral("t")).toDateTime(),
                     QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3), Qt::UTC));
            const QVariantList a = m.value(QStringLiteral("a")).toList();
            QCOMPARE(a.size(), 2);
            QCOMPARE(a.at(1).toMap().value(QStringLiteral("k")).toLongLong(), 1);
        }
    }

    void anotherReaderReadsWhatWeWrote() {
        const QByteArray xml = plistXmlFromVariant(sample());
        const auto out = python(
            QStringLiteral("import plistlib, sys\n"
                           "v = plistlib.loads(sys.stdin.buffer.read())\n"
                           "print(v['text'], v['bag'], v['negative'], v['date'].isoformat(),\n"
                           "      v['日本語キー']['AddFileArray'][0], sep='|')\n"),
            xml);
        QVERIFY(out.has_value());
        QCOMPARE(QString::fromUtf8(out->trimmed()),
                 QStringLiteral("プリント & <タグ> \"引用\" 😀|41|-7|2026-12-06T09:05:03|"
                                "/home/a/写真 1.jpg"));
    }

    // libplist copies a shared object for every reference: a list of a few hundred bytes asks
    // for gigabytes, one that holds itself never ends. Both are refused before libplist sees
    // them; a list sharing a little within the budget reads as before.
    void expansionPastTheBudgetIsRefused() {
        const QByteArray shared = plistbomb::sharedReferences("k", 4, 3);
        // Python reads it too: a sound property list, with 3^4 strings once expanded.
        const auto count =
            python(QStringLiteral("import plistlib, sys\n"
                                  "def n(v): return sum(map(n, v)) if isinstance(v, list) else 1\n"
                                  "print(n(plistlib.loads(sys.stdin.buffer.read())['k']))\n"),
                   shared);
        QVERIFY(count.has_value());
        QCOMPARE(count->trimmed(), QByteArray("81"));
        const PlistRead small = plistReadData(shared);
        QVERIFY(small.value.has_value());
        QVERIFY(!small.overBudget);
        QVariant level = small.value->toMap().value(QStringLiteral("k"));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(level.toList().size(), 3);
            level = level.toList().constLast();
        }
        QCOMPARE(level.toString(), QStringLiteral("x"));

        // 2^19 strings and as many arrays: just past a million values.
        const QByteArray over = plistbomb::sharedReferences("k", 19, 2);
        QCOMPARE(plistFromData(over), std::nullopt);
        QVERIFY(plistReadData(over).overBudget);
        // Under 200 bytes for 2^33 values.
        const QByteArray huge = plistbomb::sharedReferences("TitleArray", 32, 2);
        QVERIFY(huge.size() < 200);
        QCOMPARE(plistFromData(huge), std::nullopt);
        QVERIFY(plistReadData(huge).overBudget);
        const QByteArray cycle = plistbomb::cycle("k");
        QCOMPARE(plistFromData(cycle), std::nullopt);
        QVERIFY(plistReadData(cycle).overBudget);

        // A table of more objects than the budget has values is refused unread, however few of
        // them the root reaches.
        QByteArray wide("bplist00\x51x");
        wide += QByteArray(kPlistMaxNodes + 1, '\x08');
        wide += QByteArray(6, '\0') + "\x01\x01";
        for (quint64 value : {quint64(kPlistMaxNodes + 1), quint64(0), quint64(10)}) {
            for (int shift = 56; shift >= 0; shift -= 8) {
                wide += char((value >> shift) & 0xFF);
            }
        }
        QVERIFY(plistReadData(wide).overBudget);

        // Damaged tables are not followed outside the file.
        QByteArray cut = shared;
        cut[cut.size() - 1] = char(0x7F); // the offset table "behind" the trailer
        QCOMPARE(plistFromData(cut), std::nullopt);
        QVERIFY(!plistReadData(cut).overBudget);
    }

    // An XML list shares nothing, but a file of a million tiny elements expands as much.
    void xmlPastTheBudgetIsRefused() {
        QByteArray xml("<?xml version=\"1.0\"?>\n<!DOCTYPE plist>\n<plist version=\"1.0\"><array>");
        xml += QByteArray("<true/>").repeated(kPlistMaxNodes);
        xml += "</array></plist>\n";
        QCOMPARE(plistFromData(xml), std::nullopt);
        QVERIFY(plistReadData(xml).overBudget);
        QVERIFY(plistFromData(plistXmlFromVariant(sample())).has_value());
    }

    void rejectsWhatIsNoPropertyList() {
        QCOMPARE(plistFromData(QByteArray()), std::nullopt);
        QCOMPARE(plistFromData(QByteArray("this is not a plist")), std::nullopt);
        QCOMPARE(plistFromData(QByteArray("bplist00\x01\x02", 10)), std::nullopt);
        QByteArray truncated = plistXmlFromVariant(sample());
        truncated.chop(truncated.size() / 2);
        QCOMPARE(plistFromData(truncated), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestPlistVariant)
#include "tst_PlistVariant.moc"
