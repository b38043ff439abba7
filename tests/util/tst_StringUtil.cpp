#include "util/StringUtil.h"

#include <QtTest>

class TestStringUtil : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void replaceScansOnceWithoutRescanning_data();
    void replaceScansOnceWithoutRescanning();
    void absentTextGivesEmptyText();
    void lineEndConversions_data();
    void lineEndConversions();
    void extraction_data();
    void extraction();
    void containsNeedsBothTexts();
    void splitLines_data();
    void splitLines();
    void dateTimeValidity_data();
    void dateTimeValidity();
    void dateTimeOrder_data();
    void dateTimeOrder();
};

void TestStringUtil::replaceScansOnceWithoutRescanning_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("with");
    QTest::addColumn<QString>("expected");
    QTest::newRow("aaaa aa→a") << "aaaa"
                               << "aa"
                               << "a"
                               << "aa";
    QTest::newRow("no overlap") << "aaa"
                                << "aa"
                                << "b"
                                << "ba";
    QTest::newRow("inserted text not rescanned") << "ab"
                                                 << "a"
                                                 << "aa"
                                                 << "aab";
    QTest::newRow("empty find keeps text") << "abc"
                                           << ""
                                           << "x"
                                           << "abc";
    QTest::newRow("japanese") << "写真・写真"
                              << "写真"
                              << "画像"
                              << "画像・画像";
    QTest::newRow("case sensitive") << "Aa"
                                    << "a"
                                    << "b"
                                    << "Ab";
}

void TestStringUtil::replaceScansOnceWithoutRescanning() {
    QFETCH(QString, text);
    QFETCH(QString, find);
    QFETCH(QString, with);
    QFETCH(QString, expected);
    QCOMPARE(orbel::replaceOfString(text, find, with), expected);
}

void TestStringUtil::absentTextGivesEmptyText() {
    const QString absent;
    const QString replaced =
        orbel::replaceOfString(absent, QStringLiteral("a"), QStringLiteral("b"));
    QVERIFY(!replaced.isNull());
    QVERIFY(replaced.isEmpty());
    QVERIFY(!orbel::deleteString(absent, QStringLiteral("a")).isNull());
    QVERIFY(orbel::splitLineToArray(absent).isEmpty());
    QCOMPARE(orbel::deleteString(QStringLiteral("a-b-c"), QStringLiteral("-")),
             QStringLiteral("abc"));
}

void TestStringUtil::lineEndConversions_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("crlf");
    QTest::addColumn<QString>("lf");
    QTest::addColumn<QString>("cr");
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<QString>("replaced"); // replaceLineFeedCode with "<br>"
    QTest::newRow("mixed") << "a\rb\nc\r\nd"
                           << "a\r\nb\r\nc\r\nd"
                           << "a\nb\nc\nd"
                           << "a\rb\rc\rd"
                           << "abcd"
                           << "a\rb<br>c<br>d";
    QTest::newRow("cr before crlf") << "a\r\r\nb"
                                    << "a\r\n\r\nb"
                                    << "a\n\nb"
                                    << "a\r\rb"
                                    << "ab"
                                    << "a\r<br>b";
    QTest::newRow("lf cr") << "a\n\rb"
                           << "a\r\n\r\nb"
                           << "a\n\nb"
                           << "a\r\rb"
                           << "ab"
                           << "a<br>\rb";
    QTest::newRow("already crlf") << "x\r\ny\r\n"
                                  << "x\r\ny\r\n"
                                  << "x\ny\n"
                                  << "x\ry\r"
                                  << "xy"
                                  << "x<br>y<br>";
    QTest::newRow("none") << "abc"
                          << "abc"
                          << "abc"
                          << "abc"
                          << "abc"
                          << "abc";
}

void TestStringUtil::lineEndConversions() {
    QFETCH(QString, text);
    QFETCH(QString, crlf);
    QFETCH(QString, lf);
    QFETCH(QString, cr);
    QFETCH(QString, deleted);
    QFETCH(QString, replaced);
    const QString toCrlf = orbel::convertLineFeedCodeToCRLF(text);
    QCOMPARE(toCrlf, crlf);
    QVERIFY(!toCrlf.contains(QStringLiteral("\r\r")));
    QCOMPARE(orbel::convertLineFeedCodeToLF(text), lf);
    QCOMPARE(orbel::convertLineFeedCodeToCR(text), cr);
    QCOMPARE(orbel::deleteLineFeedCode(text), deleted);
    QCOMPARE(orbel::replaceLineFeedCode(text, QStringLiteral("<br>")), replaced);
}

void TestStringUtil::extraction_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("expected");
    QTest::newRow("marker block") << "x<!--APP_VER_MAC\n2.1.0\nAPP_VER_MAC-->y"
                                  << "<!--APP_VER_MAC\n"
                                  << "\nAPP_VER_MAC-->"
                                  << "2.1.0";
    QTest::newRow("end before start") << "END middle START"
                                      << "START"
                                      << "END"
                                      << "";
    QTest::newRow("missing start") << "abc]"
                                   << "["
                                   << "]"
                                   << "";
    QTest::newRow("missing end") << "[abc"
                                 << "["
                                 << "]"
                                 << "";
    QTest::newRow("first occurrences") << "[a][b]"
                                       << "["
                                       << "]"
                                       << "a";
    QTest::newRow("adjacent keys") << "[]"
                                   << "["
                                   << "]"
                                   << "";
    QTest::newRow("end overlaps start key") << "<<>>"
                                            << "<<>"
                                            << ">"
                                            << "";
    QTest::newRow("empty key") << "abc"
                               << ""
                               << "c"
                               << "";
}

void TestStringUtil::extraction() {
    QFETCH(QString, text);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, expected);
    QCOMPARE(orbel::extractionStartKey(text, start, end), expected);
}

void TestStringUtil::containsNeedsBothTexts() {
    QVERIFY(orbel::contains(QStringLiteral("KINELO-OFF here"), QStringLiteral("KINELO-OFF")));
    QVERIFY(!orbel::contains(QStringLiteral("abc"), QStringLiteral("")));
    QVERIFY(!orbel::contains(QString(), QStringLiteral("a")));
    QVERIFY(!orbel::contains(QStringLiteral("abc"), QStringLiteral("abcd")));
}

void TestStringUtil::splitLines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("crlf with final line end") << "a\r\nb\r\n" << QStringList{"a", "b"};
    QTest::newRow("final line without end") << "a\nb" << QStringList{"a", "b"};
    QTest::newRow("empty lines kept") << "a\n\nb\n\n" << QStringList{"a", "", "b", ""};
    QTest::newRow("cr line ends") << "a\rb" << QStringList{"a", "b"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("only line end") << "\n" << QStringList{""};
}

void TestStringUtil::splitLines() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(orbel::splitLineToArray(text), lines);
}

void TestStringUtil::dateTimeValidity_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("normal") << "2026/12/06 09:05:03" << true;
    QTest::newRow("month 13") << "2026/13/06 09:05:03" << false;
    QTest::newRow("compressed") << "20261206090503" << true;
    QTest::newRow("dotted date") << "2026.12.06 09:05:03" << true;
    QTest::newRow("month 0") << "2026/00/06 09:05:03" << false;
    QTest::newRow("day 32") << "2026/12/32 09:05:03" << false;
    QTest::newRow("day 0") << "2026/12/00 09:05:03" << false;
    QTest::newRow("hour 24") << "2026/12/06 24:00:00" << false;
    QTest::newRow("minute 60") << "2026/12/06 23:60:00" << false;
    QTest::newRow("second 60") << "2026/12/06 23:59:60" << false;
    QTest::newRow("year 0") << "0000/12/06 09:05:03" << false;
    QTest::newRow("too short") << "2026/12/06 09:05" << false;
    QTest::newRow("letters") << "2026/1a/06 09:05:03" << false;
    QTest::newRow("sign") << "2026/12/06 09:05:-3" << false;
    QTest::newRow("empty") << "" << false;
}

void TestStringUtil::dateTimeValidity() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(orbel::isDateTimeStr(text), valid);
}

void TestStringUtil::dateTimeOrder_data() {
    QTest::addColumn<QString>("earlier");
    QTest::addColumn<QString>("later");
    QTest::addColumn<bool>("over");
    QTest::newRow("earlier date") << "2026/12/05 23:59:59"
                                  << "2026/12/06 00:00:00" << true;
    QTest::newRow("later date") << "2026/12/07 00:00:00"
                                << "2026/12/06 23:59:59" << false;
    QTest::newRow("same date earlier time") << "2026/12/06 09:05:03"
                                            << "2026/12/06 09:05:04" << true;
    QTest::newRow("equal") << "2026/12/06 09:05:03"
                           << "20261206090503" << false;
    QTest::newRow("invalid other") << "2026/12/06 09:05:03"
                                   << "2026/13/06 09:05:03" << false;
    QTest::newRow("invalid receiver") << "2026/12/06 25:05:03"
                                      << "2027/01/01 00:00:00" << false;
}

void TestStringUtil::dateTimeOrder() {
    QFETCH(QString, earlier);
    QFETCH(QString, later);
    QFETCH(bool, over);
    QCOMPARE(orbel::isOverCheckWithDateTimeStr(earlier, later), over);
    QCOMPARE(orbel::dateTimeStrFilter(QStringLiteral("2026/12/06 09:05.03")),
             QStringLiteral("20261206090503"));
}

QTEST_GUILESS_MAIN(TestStringUtil)
#include "tst_StringUtil.moc"
