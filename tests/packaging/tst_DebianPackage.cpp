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
    void bothProgramsAreHardened();
    void sameCommitGivesTheSamePackage();
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
    for (const char* wanted :
         {"zip", "unzip", "curl", "fonts-noto-cjk", "libqt6widgets6", "libqt6gui6", "libcurl4",
          "libssl3", "libvips42", "libplist3", "libc6"}) {
        QVERIFY2(
            depends.contains(QString::fromLatin1(wanted)),
            qPrintable(QStringLiteral("%1 missing from %2")
                           .arg(QString::fromLatin1(wanted), depends.join(QStringLiteral(", ")))));
    }
    // No ftp client (the program runs none; "ftp" is only a transitional package), and Qt's
    // translations are welcome but not required.
    QVERIFY2(!depends.contains(QStringLiteral("ftp")) && !depends.contains(QStringLiteral("tnftp")),
             qPrintable(depends.join(QStringLiteral(", "))));
    const QStringList recommends = packageNames(field(QStringLiteral("Recommends")));
    QVERIFY(recommends.contains(QStringLiteral("qt6-translations-l10n")));
    QVERIFY(!depends.contains(QStringLiteral("qt6-translations-l10n")));
    QCOMPARE(field(QStringLiteral("Homepage")), QStringLiteral("https://www.miravell.jp/halvix2/"));
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
    // The image tool is a helper, not a command: outside the search path.
    QVERIFY(!paths.contains(QStringLiteral("usr/bin/halvix-sips")));
    QStringList wanted = {QStringLiteral("usr/bin/halvix2"),
                          QStringLiteral("usr/libexec/halvix2/halvix-sips"),
                          QStringLiteral("usr/libexec/halvix2/halvix-sips-vips"),
                          QStringLiteral("usr/share/halvix2/tbl_print_new.xml"),
                          QStringLiteral("usr/share/halvix2/AlbumData.txt"),
                          QStringLiteral("usr/share/halvix2/halvix2.png"),
                          QStringLiteral("usr/share/applications/jp.miravell.halvix2.desktop"),
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
                                        QStringLiteral("--display-info"),
                                        QStringLiteral("--fail-on"), QStringLiteral("error"), deb});
    QVERIFY2(lintian.finished, qPrintable(lintian.describe()));
    QStringList unexpected;
    for (const QString& line : QString::fromUtf8(lintian.out).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(QStringLiteral("E: ")) ||
            (line.startsWith(QStringLiteral("I: ")) &&
             line.contains(QStringLiteral("hardening")))) {
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
    const Ran desktop =
        run(QStringLiteral("desktop-file-validate"),
            {root + QStringLiteral("/usr/share/applications/jp.miravell.halvix2.desktop")});
    QVERIFY2(desktop.exitCode == 0 && desktop.out.trimmed().isEmpty(),
             qPrintable(desktop.describe()));
    const Ran metainfo =
        run(QStringLiteral("appstreamcli"),
            {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--pedantic"),
             root + QStringLiteral("/usr/share/metainfo/jp.miravell.halvix2.metainfo.xml")});
    QVERIFY2(metainfo.exitCode == 0 && !metainfo.out.contains("P: ") &&
                 !metainfo.out.contains("W: ") && !metainfo.out.contains("I: "),
             qPrintable(metainfo.describe()));
    QFile file(root + QStringLiteral("/usr/share/metainfo/jp.miravell.halvix2.metainfo.xml"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray xml = file.readAll();
    // The release the software centre shows is this version, with its notes.
    QVERIFY(xml.contains("<release version=\"" HALVIX_VERSION "\""));
    QVERIFY(xml.contains("<description>\n        <p>\n          HALVIX 2 for Debian 12"));
    // The component is the desktop entry of the same name, and the addresses are there.
    QVERIFY(xml.contains("<id>jp.miravell.halvix2</id>"));
    QVERIFY(
        xml.contains("<launchable type=\"desktop-id\">jp.miravell.halvix2.desktop</launchable>"));
    QVERIFY(xml.contains("<url type=\"homepage\">https://"));
    QVERIFY(xml.contains("<url type=\"bugtracker\">https://"));
    // Every screenshot named is shipped in the source tree, made by the window tests, and at
    // least one shows the program at 1024x700.
    const QRegularExpression image(QStringLiteral("<image[^>]*>[^<]*/([^/<]+\\.png)</image>"));
    QStringList shots;
    for (const QRegularExpressionMatch& match : image.globalMatch(QString::fromUtf8(xml)))
        shots.append(match.captured(1));
    QVERIFY(!shots.isEmpty());
    bool small = false;
    for (const QString& shot : shots) {
        const QString size =
            pngSize(QStringLiteral(HALVIX_SOURCE_DIR "/packaging/screenshots/") + shot);
        QVERIFY2(size.contains(u'x'), qPrintable(shot + u' ' + size));
        small = small || size == QStringLiteral("1024x700");
    }
    QVERIFY(small);
}

// Debian's hardening, as hardening-check sees it, on every program of the package.
void TestDebianPackage::bothProgramsAreHardened() {
    REQUIRE_TOOLS(QStringLiteral("hardening-check"));
    for (const QString& program :
         {QStringLiteral("/usr/bin/halvix2"), QStringLiteral("/usr/libexec/halvix2/halvix-sips"),
          QStringLiteral("/usr/libexec/halvix2/halvix-sips-vips")}) {
        const Ran check = run(QStringLiteral("hardening-check"), {root + program});
        const QString out = QString::fromUtf8(check.out);
        for (const char* line : {"Position Independent Executable: yes", "Stack protected: yes",
                                 "Fortify Source functions: yes", "Read-only relocations: yes",
                                 "Immediate binding: yes", "Control flow integrity: yes"}) {
            QVERIFY2(out.contains(QString::fromLatin1(line)),
                     qPrintable(program + QStringLiteral(": ") + QString::fromLatin1(line) +
                                QStringLiteral("\n") + check.describe()));
        }
        QVERIFY2(check.exitCode == 0, qPrintable(check.describe()));
    }
}

// Reproducible: the package made again from the same build (its own staging, later time stamps
// on disk) is the same file, byte for byte.
void TestDebianPackage::sameCommitGivesTheSamePackage() {
    const Ran again = run(QStringLiteral("cpack"),
                          {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                           QStringLiteral(HALVIX_BINARY_DIR "/CPackConfig.cmake"),
                           QStringLiteral("-B"), work.filePath(QStringLiteral("again"))});
    QVERIFY2(again.finished && again.exitCode == 0, qPrintable(again.describe()));
    QFile first(deb);
    QFile second(work.filePath(QStringLiteral("again/halvix2_" HALVIX_VERSION "_amd64.deb")));
    QVERIFY(first.open(QIODevice::ReadOnly));
    QVERIFY(second.open(QIODevice::ReadOnly));
    const QByteArray a = first.readAll();
    const QByteArray b = second.readAll();
    QVERIFY(!a.isEmpty());
    QVERIFY2(a == b,
             qPrintable(QStringLiteral("%1 and %2 bytes differ").arg(a.size()).arg(b.size())));
    // Every time stamp in it is the last commit's, not the build's.
    const Ran commit =
        run(QStringLiteral("git"),
            {QStringLiteral("-C"), QStringLiteral(HALVIX_SOURCE_DIR), QStringLiteral("log"),
             QStringLiteral("-1"), QStringLiteral("--format=%ct")});
    if (commit.exitCode != 0)
        return; // not a git checkout: the release's date is used
    const QString stamp = QDateTime::fromSecsSinceEpoch(commit.out.trimmed().toLongLong())
                              .toLocalTime()
                              .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const Ran listing = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb});
    const QStringList lines = QString::fromUtf8(listing.out).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    for (const QString& line : lines)
        QVERIFY2(line.contains(stamp), qPrintable(stamp + u' ' + line));
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
    const Ran sips = run(root + QStringLiteral("/usr/libexec/halvix2/halvix-sips"),
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
