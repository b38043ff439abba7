#include "TestHome.h"
#include "util/ShiftJisCodec.h"
#include "util/Tool.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestToolTextFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void shiftJisBytes_data();
    void shiftJisBytes();
    void shiftJisRoundTrip();
    void createReplacesAndAppendAppends();
    void appendOnMissingFileCreatesIt();
    void failuresAreReported();
};

void TestToolTextFile::shiftJisBytes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << "PrintReport4" << QByteArray("PrintReport4");
    QTest::newRow("kanji") << QStringLiteral("漢字") << QByteArray::fromHex("8abf8e9a");
    QTest::newRow("circled one (NEC)") << QStringLiteral("①") << QByteArray::fromHex("8740");
    QTest::newRow("kabushiki (NEC)") << QStringLiteral("㈱") << QByteArray::fromHex("878a");
    QTest::newRow("taka (IBM)") << QStringLiteral("髙") << QByteArray::fromHex("fbfc");
    QTest::newRow("wave dash") << QStringLiteral("〜") << QByteArray::fromHex("8160");
    QTest::newRow("fullwidth tilde") << QStringLiteral("～") << QByteArray::fromHex("8160");
    QTest::newRow("double vertical line") << QStringLiteral("‖") << QByteArray::fromHex("8161");
    QTest::newRow("minus sign") << QStringLiteral("−") << QByteArray::fromHex("817c");
    QTest::newRow("cent pound not") << QStringLiteral("¢£¬") << QByteArray::fromHex("8191819281ca");
    QTest::newRow("em dash") << QStringLiteral("—") << QByteArray::fromHex("815c");
    QTest::newRow("yen sign") << QStringLiteral("¥500") << QByteArray("\\500");
    QTest::newRow("halfwidth katakana") << QStringLiteral("ｱｲ") << QByteArray::fromHex("b1b2");
    QTest::newRow("emoji is one ?") << QStringLiteral("a😀b") << QByteArray("a?b");
    QTest::newRow("unmappable hangul") << QStringLiteral("한") << QByteArray("?");
    QTest::newRow("CR LF kept") << QStringLiteral("一\r\n二\n三\r")
                                << QByteArray::fromHex("88ea0d0a93f10a8e4f0d");
    // A Mac's file names keep voiced kana decomposed: カ + U+3099 is ガ (834B), not "カ?".
    QTest::newRow("decomposed voiced kana")
        << QStringLiteral("カ\u3099ド.jpg") << QByteArray::fromHex("834b8368") + ".jpg";
    QTest::newRow("empty") << "" << QByteArray();
}

void TestToolTextFile::shiftJisBytes() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Tool::encodeText(text, TextEncoding::ShiftJis), bytes);
}

void TestToolTextFile::shiftJisRoundTrip() {
    const QString text = QStringLiteral("お客様コード: 1234\r\n株式会社 髙橋写真館 ①②③ ㈱\r\n");
    QCOMPARE(shiftjis::decode(shiftjis::encode(text)), text);
    QCOMPARE(shiftjis::decode(QByteArray::fromHex("8160")), QStringLiteral("～"));
    QCOMPARE(Tool::encodeText(QStringLiteral("写真 ①"), TextEncoding::Utf8),
             QStringLiteral("写真 ①").toUtf8());
}

void TestToolTextFile::createReplacesAndAppendAppends() {
    TestHome home;
    const QString path = home.filePath(QStringLiteral("PrintReport4.txt"));
    QVERIFY(Tool::createTextFileWithPath(path, QStringLiteral("長い最初の内容\r\n"),
                                         TextEncoding::ShiftJis));
    QVERIFY(Tool::createTextFileWithPath(path, QStringLiteral("注文\r\n"), TextEncoding::ShiftJis));
    QCOMPARE(readFile(path), Tool::encodeText(QStringLiteral("注文\r\n"), TextEncoding::ShiftJis));
    QVERIFY(Tool::appendTextFileWithPath(path, QStringLiteral("①\r\n"), TextEncoding::ShiftJis));
    QCOMPARE(readFile(path), QByteArray::fromHex("928d95b60d0a87400d0a"));

    const QString log = home.filePath(QStringLiteral("log.txt"));
    QVERIFY(
        Tool::createTextFileWithPath(QStringLiteral("~/log.txt"), QString(), TextEncoding::Utf8));
    QVERIFY(QFile::exists(log));
    QCOMPARE(readFile(log), QByteArray());
    QVERIFY(Tool::appendTextFileWithPath(log, QStringLiteral("起動\n"), TextEncoding::Utf8));
    QVERIFY(Tool::appendTextFileWithPath(log, QStringLiteral("終了\n"), TextEncoding::Utf8));
    QCOMPARE(readFile(log), QStringLiteral("起動\n終了\n").toUtf8());
}

void TestToolTextFile::appendOnMissingFileCreatesIt() {
    TestHome home;
    const QString path = home.filePath(QStringLiteral("new.txt"));
    QVERIFY(!QFile::exists(path));
    QVERIFY(Tool::appendTextFileWithPath(path, QStringLiteral("一行目\n"), TextEncoding::Utf8));
    QCOMPARE(readFile(path), QStringLiteral("一行目\n").toUtf8());
}

void TestToolTextFile::failuresAreReported() {
    TestHome home;
    QVERIFY(!Tool::createTextFileWithPath(home.filePath(QStringLiteral("no/folder/x.txt")),
                                          QStringLiteral("x"), TextEncoding::Utf8));
    QVERIFY(!Tool::appendTextFileWithPath(home.filePath(QStringLiteral("no/folder/x.txt")),
                                          QStringLiteral("x"), TextEncoding::Utf8));
    QVERIFY(!Tool::appendTextFileWithPath(home.path(), QStringLiteral("x"), TextEncoding::Utf8));
    QVERIFY(!Tool::createTextFileWithPath(QString(), QStringLiteral("x"), TextEncoding::Utf8));
    // A full disk: the bytes do not land, and the caller hears about it.
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        QVERIFY(!Tool::createTextFileWithPath(QStringLiteral("/dev/full"), QStringLiteral("注文"),
                                              TextEncoding::ShiftJis));
        QVERIFY(!Tool::appendTextFileWithPath(QStringLiteral("/dev/full"), QStringLiteral("注文"),
                                              TextEncoding::Utf8));
    }
}

QTEST_GUILESS_MAIN(TestToolTextFile)
#include "tst_ToolTextFile.moc"
