// The check for a display before anything is written: which platform Qt would use, and whether
// what it needs is there.
#include "XvfbServer.h"
#include "app/DisplayCheck.h"

#include <QTest>

namespace {

QProcessEnvironment environment(const QList<QPair<QString, QString>>& values) {
    QProcessEnvironment env;
    for (const auto& [name, value] : values)
        env.insert(name, value);
    return env;
}

} // namespace

class TestDisplayCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void needsWhatThePlatformNeeds_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QProcessEnvironment>("env");
        QTest::addColumn<QString>("missing"); // "" = the program may start
        const QStringList plain{QStringLiteral("halvix2")};
        QTest::newRow("ssh: nothing set")
            << plain << environment({}) << QStringLiteral("DISPLAY が設定されていません");
        QTest::newRow("xcb asked, no DISPLAY")
            << plain << environment({{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")}})
            << QStringLiteral("DISPLAY が設定されていません");
        QTest::newRow("display nobody serves")
            << plain << environment({{QStringLiteral("DISPLAY"), QStringLiteral(":4711")}})
            << QStringLiteral("ディスプレイ :4711 に接続できません");
        QTest::newRow("remote display is Qt's business")
            << plain << environment({{QStringLiteral("DISPLAY"), QStringLiteral("host.example:0")}})
            << QString();
        QTest::newRow("offscreen needs none")
            << plain
            << environment({{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}})
            << QString();
        QTest::newRow("-platform offscreen wins")
            << QStringList{QStringLiteral("halvix2"), QStringLiteral("-platform"),
                           QStringLiteral("offscreen")}
            << environment({{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")}})
            << QString();
        QTest::newRow("wayland without its socket")
            << plain
            << environment({{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland")},
                            {QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-9")},
                            {QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/nonexistent")}})
            << QStringLiteral("WAYLAND_DISPLAY");
        QTest::newRow("list falls back to offscreen")
            << plain
            << environment({{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb;offscreen")}})
            << QString();
    }
    void needsWhatThePlatformNeeds() {
        QFETCH(QStringList, arguments);
        QFETCH(QProcessEnvironment, env);
        QFETCH(QString, missing);
        const std::optional<QString> line = DisplayCheck::missingDisplay(arguments, env);
        if (missing.isEmpty()) {
            QVERIFY2(!line, qPrintable(line.value_or(QString())));
            return;
        }
        QVERIFY(line);
        QVERIFY2(line->contains(missing), qPrintable(*line));
        QVERIFY(!line->contains(u'\n'));
        QVERIFY(line->startsWith(QStringLiteral("halvix2: 画面を表示できません")));
    }

    // A real X server answers on its socket.
    void runningXServerIsFound() {
        XvfbServer x;
        QVERIFY2(x.isRunning(), qPrintable(x.errorText()));
        const std::optional<QString> line = DisplayCheck::missingDisplay(
            {QStringLiteral("halvix2")}, environment({{QStringLiteral("DISPLAY"), x.display()}}));
        QVERIFY2(!line, qPrintable(line.value_or(QString())));
    }
};

QTEST_GUILESS_MAIN(TestDisplayCheck)
#include "tst_DisplayCheck.moc"
