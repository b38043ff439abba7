// The Debian package, made from this build as scripts/package makes it: what it holds and
// depends on, what lintian and the desktop's validators say of it, and the program unpacked from
// it answering --help and --version and running under an X server of its own.
#include "LabSim.h"
#include "TestHome.h"
#include "util/PlistVariant.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace {

struct Ran {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QString describe() const {
        return QStringLiteral("exit %1\n%2\n%3")
            .arg(exitCode)
            .arg(QString::fromUtf8(out), QString::fromUtf8(err));
    }
};

// Runs a program to its end; one that overstays is killed and still waited for.
Ran run(const QString& program, const QStringList& arguments,
        const std::optional<QProcessEnvironment>& env = std::nullopt, int timeoutMs = 300000) {
    QProcess process;
    if (env) {
        process.setProcessEnvironment(*env);
    }
    process.start(program, arguments);
    Ran ran;
    ran.finished = process.waitForFinished(timeoutMs);
    if (!ran.finished) {
        process.kill();
        process.waitForFinished(-1);
    }
    ran.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    ran.out = process.readAllStandardOutput();
    ran.err = process.readAllStandardError();
    return ran;
}

QString firstMissing(const QStringList& tools) {
    for (const QString& tool : tools) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            return tool;
        }
    }
    return {};
}

#define REQUIRE_TOOLS(...)                                                                         \
    do {                                                                                           \
        const QString missing = firstMissing({__VA_ARGS__});                                       \
        if (!missing.isEmpty()) {                                                                  \
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/packages.txt lists it)") \
                                 .arg(missing)));                                                  \
        }                                                                                          \
    } while (false)

// Names of the packages of a Depends-style field, alternatives included.
QStringList packageNames(const QString& field) {
    QStringList names;
    for (const QString& part : field.split(QRegularExpression(QStringLiteral("[,|]")))) {
        const QString name = part.trimmed().section(QLatin1Char(' '), 0, 0).section(u':', 0, 0);
        if (!name.isEmpty()) {
            names.append(name);
        }
    }
    return names;
}

QString settingOnDisk(const QString& home, const QString& key) {
    QFile file(home + QStringLiteral("/.config/halvix2/settings.plist"));
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("<no settings>");
    }
    const std::optional<QVariant> plist = plistFromData(file.readAll());
    return plist ? plist->toMap().value(key).toString() : QStringLiteral("<damaged settings>");
}

QString logOnDisk(const QString& home) {
    QString text;
    const QDir logs(home + QStringLiteral("/MVL_WorkArea/Halvix2Log"));
    for (const QString& name : logs.entryList({QStringLiteral("*.log")}, QDir::Files)) {
        QFile file(logs.filePath(name));
        if (file.open(QIODevice::ReadOnly)) {
            text += QString::fromUtf8(file.readAll());
        }
    }
    return text;
}

// The program's environment: a home of its own, nothing pointing back into the build folder.
QProcessEnvironment programEnvironment(const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "HALVIX_RESOURCE_DIR",
                             "HALVIX_SIPS", "DISPLAY", "WAYLAND_DISPLAY"}) {
        env.remove(QString::fromLatin1(name));
    }
    return env;
}

// Every file and folder below a folder, hidden ones included.
QStringList everythingUnder(const QString& folder) {
    QStringList paths;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        paths.append(it.next());
    }
    paths.sort();
    return paths;
}

// "WxH" of a PNG file, from its header.
QString pngSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray head = file.read(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR") {
        return QStringLiteral("not a PNG");
    }
    const auto be32 = [&head](int at) {
        quint32 value = 0;
        for (int i = 0; i < 4; ++i) {
            value = (value << 8) | static_cast<quint8>(head[at + i]);
        }
        return value;
    };
    return QStringLiteral("%1x%2").arg(be32(16)).arg(be32(20));
}

// Warnings this package keeps on purpose, each with its reason.
const QStringList kAcceptedLintianWarnings = {};

} // namespace

class TestDebianPackage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void controlFieldsAndContents();
    void lintianFindsNoError();
    void desktopEntryAndMetainfoValidate();
    void helpAndVersionAnswerWithoutWindowOrSettings();
    void unpackedProgramShowsItsWindowAndQuitsCleanly();

private:
    QTemporaryDir work;
    QString deb;
    QString root; // the package unpacked with dpkg-deb -x
};

void TestDebianPackage::initTestCase() {
    REQUIRE_TOOLS(QStringLiteral("cpack"), QStringLiteral("dpkg-deb"),
                  QStringLiteral("dpkg-shlibdeps"), QStringLiteral("file"));
    QVERIFY(work.isValid());
    const Ran cpack = run(QStringLiteral("cpack"),
                          {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                           QStringLiteral(HALVIX_BINARY_DIR "/CPackConfig.cmake"),
                           QStringLiteral("-B"), work.filePath(QStringLiteral("out"))});
    QVERIFY2(cpack.finished && cpack.exitCode == 0, qPrintable(cpack.describe()));
    deb = work.filePath(QStringLiteral("out/halvix2_" HALVIX_VERSION "_amd64.deb"));
    QVERIFY2(QFileInfo::exists(deb), qPrintable(cpack.describe()));
    root = work.filePath(QStringLiteral("root"));
    const Ran unpack = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root});
    QVERIFY2(unpack.exitCode == 0, qPrintable(unpack.describe()));
}

void TestDebianPackage::controlFieldsAndContents() {
    const auto field = [this](const QString& name) {
        return QString::fromUtf8(
            run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, name}).out.trimmed());
    };
    QCOMPARE(field(QStringLiteral("Package")), QStringLiteral("halvix2"));
    QCOMPARE(field(QStringLiteral("Version")), QStringLiteral(HALVIX_VERSION));
    QCOMPARE(field(QStringLiteral("Architecture")), QStringLiteral("amd64"));

    const QStringList depends = packageNames(field(QStringLiteral("Depends")));
    // The programs the order pipeline runs, the Japanese fonts and Qt's Japanese dialogs, and
    // libraries found in the binaries themselves.
    for (const char* wanted : {"zip", "unzip", "curl", "ftp", "fonts-noto-cjk",
                               "qt6-translations-l10n", "libqt6widgets6", "libqt6gui6", "libcurl4",
                               "libssl3", "libvips42", "libplist3", "libc6"}) {
        QVERIFY2(
            depends.contains(QString::fromLatin1(wanted)),
            qPrintable(QStringLiteral("%1 missing from %2")
                           .arg(QString::fromLatin1(wanted), depends.join(QStringLiteral(", ")))));
    }
    // Nothing only the build or the tests need.
    const QStringList buildOnly = {
        QStringLiteral("cmake"),        QStringLiteral("ninja-build"),
        QStringLiteral("clang-format"), QStringLiteral("build-essential"),
        QStringLiteral("pkg-config"),   QStringLiteral("xvfb"),
        QStringLiteral("python3"),      QStringLiteral("python3-pyftpdlib"),
        QStringLiteral("imagemagick"),  QStringLiteral("libvips-tools"),
        QStringLiteral("lintian"),      QStringLiteral("dpkg-dev")};
    for (const QString& name : depends + packageNames(field(QStringLiteral("Recommends")))) {
        QVERIFY2(!name.endsWith(QStringLiteral("-dev")) && !buildOnly.contains(name),
                 qPrintable(name));
    }

    const QString listing =
        QString::fromUtf8(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb}).out);
    QStringList paths;
    for (const QString& line : listing.split(u'\n', Qt::SkipEmptyParts)) {
        paths.append(line.section(QStringLiteral(" ./"), 1).section(QStringLiteral(" -> "), 0, 0));
    }
    for (const QString& path : paths) {
        QVERIFY2(path.isEmpty() || path == QStringLiteral("usr/") ||
                     path.startsWith(QStringLiteral("usr/")),
                 qPrintable(path));
    }
    QStringList wanted = {QStringLiteral("usr/bin/halvix2"),
                          QStringLiteral("usr/bin/halvix-sips"),
                          QStringLiteral("usr/share/halvix2/tbl_print_new.xml"),
                          QStringLiteral("usr/share/halvix2/AlbumData.txt"),
                          QStringLiteral("usr/share/halvix2/halvix2.png"),
                          QStringLiteral("usr/share/applications/halvix2.desktop"),
                          QStringLiteral("usr/share/metainfo/jp.miravell.halvix2.metainfo.xml"),
                          QStringLiteral("usr/share/man/man1/halvix2.1.gz"),
                          QStringLiteral("usr/share/man/ja/man1/halvix2.1.gz"),
                          QStringLiteral("usr/share/man/man1/halvix-sips.1.gz"),
                          QStringLiteral("usr/share/doc/halvix2/copyright"),
                          QStringLiteral("usr/share/doc/halvix2/changelog.gz")};
    for (const char* size :
         {"16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
        wanted.append(QStringLiteral("usr/share/icons/hicolor/%1/apps/halvix2.png")
                          .arg(QString::fromLatin1(size)));
    }
    for (const QString& path : wanted) {
        QVERIFY2(paths.contains(path), qPrintable(path));
    }
    // Each icon is as large as the folder it is in says.
    QDirIterator icons(root + QStringLiteral("/usr/share/icons/hicolor"), {QStringLiteral("*.png")},
                       QDir::Files, QDirIterator::Subdirectories);
    while (icons.hasNext()) {
        const QString icon = icons.next();
        const QString size = QFileInfo(QFileInfo(icon).path()).path().section(u'/', -1);
        QCOMPARE(pngSize(icon), size);
    }
}

void TestDebianPackage::lintianFindsNoError() {
    REQUIRE_TOOLS(QStringLiteral("lintian"));
    const Ran lintian =
        run(QStringLiteral("lintian"), {QStringLiteral("--tag-display-limit"), QStringLiteral("0"),
                                        QStringLiteral("--fail-on"), QStringLiteral("error"), deb});
    QVERIFY2(lintian.finished, qPrintable(lintian.describe()));
    QStringList unexpected;
    for (const QString& line : QString::fromUtf8(lintian.out).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(QStringLiteral("E: "))) {
            unexpected.append(line);
        } else if (line.startsWith(QStringLiteral("W: "))) {
            const QString tag = line.section(QStringLiteral(": "), 2, 2).section(u' ', 0, 0);
            if (!kAcceptedLintianWarnings.contains(tag)) {
                unexpected.append(line);
            }
        }
    }
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(u'\n')));
    QVERIFY2(lintian.exitCode == 0, qPrintable(lintian.describe()));
}

void TestDebianPackage::desktopEntryAndMetainfoValidate() {
    REQUIRE_TOOLS(QStringLiteral("desktop-file-validate"), QStringLiteral("appstreamcli"));
    const Ran desktop = run(QStringLiteral("desktop-file-validate"),
                            {root + QStringLiteral("/usr/share/applications/halvix2.desktop")});
    QVERIFY2(desktop.exitCode == 0 && desktop.out.trimmed().isEmpty(),
             qPrintable(desktop.describe()));
    const Ran metainfo =
        run(QStringLiteral("appstreamcli"),
            {QStringLiteral("validate"), QStringLiteral("--no-net"),
             root + QStringLiteral("/usr/share/metainfo/jp.miravell.halvix2.metainfo.xml")});
    QVERIFY2(metainfo.exitCode == 0, qPrintable(metainfo.describe()));
    // The release the software centre shows is this version.
    QFile file(root + QStringLiteral("/usr/share/metainfo/jp.miravell.halvix2.metainfo.xml"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("<release version=\"" HALVIX_VERSION "\""));
}

void TestDebianPackage::helpAndVersionAnswerWithoutWindowOrSettings() {
    TestHome home;
    const QString program = root + QStringLiteral("/usr/bin/halvix2");
    // No display: a program that built its window here would abort.
    QProcessEnvironment env = programEnvironment(home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    const QStringList before = everythingUnder(home.path());

    const Ran help = run(program, {QStringLiteral("--help")}, env, 30000);
    QVERIFY2(help.exitCode == 0, qPrintable(help.describe()));
    QVERIFY(QString::fromUtf8(help.out).startsWith(QStringLiteral("使い方: halvix2")));
    QVERIFY(help.err.isEmpty());

    const Ran version = run(program, {QStringLiteral("--version")}, env, 30000);
    QVERIFY2(version.exitCode == 0, qPrintable(version.describe()));
    QCOMPARE(version.out, QByteArray("HALVIX 2 " HALVIX_VERSION "\n"));
    QVERIFY(version.err.isEmpty());

    for (const QString& bogus : {QStringLiteral("--bogus"), QStringLiteral("-x")}) {
        const Ran wrong = run(program, {bogus}, env, 30000);
        QVERIFY2(wrong.exitCode == 2, qPrintable(wrong.describe()));
        QVERIFY(wrong.out.isEmpty());
        const QString line = QString::fromUtf8(wrong.err);
        QVERIFY2(line.count(u'\n') == 1 && line.contains(bogus), qPrintable(line));
    }
    // Nothing was written: no settings, no work area, no lock.
    QCOMPARE(everythingUnder(home.path()), before);
}

void TestDebianPackage::unpackedProgramShowsItsWindowAndQuitsCleanly() {
    REQUIRE_TOOLS(QStringLiteral("Xvfb"), QStringLiteral("xwininfo"));
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));

    // An X server of its own; -displayfd 1 makes it pick a free display and name it on stdout.
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp")});
    QVERIFY(xvfb.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return xvfb.canReadLine() || xvfb.state() != QProcess::Running; },
                            30000));
    const QString display = QStringLiteral(":") + QString::fromLatin1(xvfb.readLine().trimmed());
    QVERIFY2(display.size() > 1, qPrintable(QString::fromUtf8(xvfb.readAllStandardError())));

    // The image tool found its libraries: it reads a shipped picture.
    const Ran sips = run(root + QStringLiteral("/usr/bin/halvix-sips"),
                         {QStringLiteral("-g"), QStringLiteral("allxml"),
                          root + QStringLiteral("/usr/share/halvix2/not_image.jpg")});
    QVERIFY2(sips.exitCode == 0 && sips.out.contains("<key>pixelWidth</key>"),
             qPrintable(sips.describe()));

    QProcessEnvironment env = programEnvironment(home.path());
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HALVIX_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("HALVIX_LAB_CONF"), lab.labConfPath());
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(root + QStringLiteral("/usr/bin/halvix2"), {});
    QVERIFY(program.waitForStarted());
    const bool started = QTest::qWaitFor(
        [&] {
            return settingOnDisk(home.path(), QStringLiteral("AppStatus")) ==
                       QStringLiteral("AppCtrl awakeFromNib end") ||
                   program.state() != QProcess::Running;
        },
        90000);
    if (!started || program.state() != QProcess::Running) {
        program.kill();
        program.waitForFinished(-1);
        QFAIL(program.readAllStandardError().constData());
    }
    // The main window is mapped on the X server.
    bool shown = false;
    QByteArray seen;
    shown = QTest::qWaitFor(
        [&] {
            const Ran tree = run(QStringLiteral("xwininfo"),
                                 {QStringLiteral("-display"), display, QStringLiteral("-root"),
                                  QStringLiteral("-tree")},
                                 std::nullopt, 10000);
            seen = tree.out + tree.err;
            for (const QByteArray& line : tree.out.split('\n')) {
                const QByteArray trimmed = line.trimmed();
                // The main window is titled "HALVIX" (Qt adds " — HALVIX 2"); the dialogs'
                // titles only end in the program's name.
                if (!trimmed.contains(" \"HALVIX\"") &&
                    !trimmed.contains(" \"HALVIX \u2014 HALVIX 2\"")) {
                    continue;
                }
                const QString id = QString::fromLatin1(trimmed.left(trimmed.indexOf(' ')));
                const Ran window =
                    run(QStringLiteral("xwininfo"),
                        {QStringLiteral("-display"), display, QStringLiteral("-id"), id},
                        std::nullopt, 10000);
                if (window.out.contains("Map State: IsViewable")) {
                    shown = true;
                }
            }
            return shown;
        },
        20000);
    // The shipped catalogues were found beside the unpacked program.
    const QString log = logOnDisk(home.path());

    program.terminate();
    const bool ended = program.waitForFinished(30000);
    if (!ended) {
        program.kill();
        program.waitForFinished(-1);
    }
    xvfb.terminate();
    if (!xvfb.waitForFinished(10000)) {
        xvfb.kill();
        xvfb.waitForFinished(-1);
    }
    QVERIFY2(shown, seen.constData());
    QVERIFY(log.contains(QStringLiteral("リソースのアルバムデータを読み込み")));
    QVERIFY(ended);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), QString());
}

QTEST_GUILESS_MAIN(TestDebianPackage)
#include "tst_DebianPackage.moc"
