// The program's command line: its own options answer, mistakes end the run, and everything the
// launchers (FotoFusion, the session manager, Qt's users) send still starts the program.
#include "app/CommandLine.h"

#include <QtTest>

Q_DECLARE_METATYPE(CommandLine::Action)

class TestCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void answers_data();
    void answers();
    void unknownOptionIsNamedOnOneLine();
};

void TestCommandLine::answers_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLine::Action>("action");
    using A = CommandLine::Action;
    const QString ff = QStringLiteral("/Library/Application Support/FotoFusion/Bottles/fotofusion/"
                                      "dosdevices/y:/album/m.xml");
    QTest::newRow("nothing") << QStringList{} << A::Run;
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << A::Help;
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << A::Help;
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << A::Version;
    QTest::newRow("-v") << QStringList{QStringLiteral("-v")} << A::Version;
    QTest::newRow("fotofusion") << QStringList{QStringLiteral("-manifest"), ff,
                                               QStringLiteral("-archive"),
                                               QStringLiteral("/tmp/a b/archive.zip")}
                                << A::Run;
    QTest::newRow("fotofusion reversed, repeated")
        << QStringList{QStringLiteral("-archive"),  QStringLiteral("/a.zip"),
                       QStringLiteral("-manifest"), QStringLiteral("/m1.xml"),
                       QStringLiteral("-manifest"), QStringLiteral("/m2.xml")}
        << A::Run;
    QTest::newRow("manifest last, no path")
        << QStringList{QStringLiteral("-archive"), QStringLiteral("/a.zip"),
                       QStringLiteral("-manifest")}
        << A::Run;
    QTest::newRow("manifest path starting with a dash")
        << QStringList{QStringLiteral("-manifest"), QStringLiteral("-odd.xml")} << A::Run;
    QTest::newRow("positional") << QStringList{QStringLiteral("/some/file.jpg")} << A::Run;
    QTest::newRow("qt options") << QStringList{QStringLiteral("-platform"),
                                               QStringLiteral("offscreen"),
                                               QStringLiteral("-style=fusion"),
                                               QStringLiteral("-session"),
                                               QStringLiteral("1234_abc"),
                                               QStringLiteral("-reverse")}
                                << A::Run;
    QTest::newRow("--bogus") << QStringList{QStringLiteral("--bogus")} << A::Error;
    QTest::newRow("-x") << QStringList{QStringLiteral("-x")} << A::Error;
    QTest::newRow("bogus beside fotofusion")
        << QStringList{QStringLiteral("-manifest"), QStringLiteral("/m.xml"),
                       QStringLiteral("-archive"), QStringLiteral("/a.zip"),
                       QStringLiteral("--bogus")}
        << A::Error;
    QTest::newRow("help with a mistake")
        << QStringList{QStringLiteral("--help"), QStringLiteral("-x")} << A::Error;
    QTest::newRow("version with a value") << QStringList{QStringLiteral("--version=2")} << A::Error;
    QTest::newRow("platform without value") << QStringList{QStringLiteral("-platform")} << A::Error;
}

void TestCommandLine::answers() {
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Action, action);
    const CommandLine::Answer answer =
        CommandLine::parse(QStringList{QStringLiteral("/usr/bin/halvix2")} + arguments);
    QCOMPARE(answer.action, action);
    switch (action) {
    case CommandLine::Action::Run:
        QCOMPARE(answer.text, QString());
        break;
    case CommandLine::Action::Help:
        QCOMPARE(answer.exitCode, 0);
        QVERIFY(answer.text.startsWith(QStringLiteral("使い方: halvix2")));
        QVERIFY(answer.text.contains(QStringLiteral("--version")));
        QVERIFY(answer.text.contains(QStringLiteral("HALVIX_LAB_CONF")));
        break;
    case CommandLine::Action::Version:
        QCOMPARE(answer.exitCode, 0);
        QCOMPARE(answer.text, QStringLiteral("HALVIX 2 " HALVIX_VERSION "\n"));
        break;
    case CommandLine::Action::Error:
        QCOMPARE(answer.exitCode, 2);
        QVERIFY(answer.text.startsWith(QStringLiteral("halvix2: ")));
        QCOMPARE(answer.text.count(u'\n'), 1);
        QVERIFY(answer.text.endsWith(u'\n'));
        break;
    }
}

void TestCommandLine::unknownOptionIsNamedOnOneLine() {
    const CommandLine::Answer bogus =
        CommandLine::parse({QStringLiteral("halvix2"), QStringLiteral("-manifest"),
                            QStringLiteral("/m.xml"), QStringLiteral("--bogus=1")});
    QCOMPARE(bogus.text,
             QStringLiteral("halvix2: 不明なオプションです: --bogus（使い方: halvix2 --help）\n"));
    const CommandLine::Answer shortOne =
        CommandLine::parse({QStringLiteral("halvix2"), QStringLiteral("-x")});
    QVERIFY2(shortOne.text.contains(QStringLiteral("不明なオプションです: -x（")),
             qPrintable(shortOne.text));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_CommandLine.moc"
