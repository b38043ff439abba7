#include "TestHome.h"
#include "util/StringUtil.h"
#include "util/SystemInfo.h"
#include "util/Tool.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>
#include <sys/utsname.h>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// One interface folder as the kernel shows it.
bool addInterface(const QString& root, const QString& name, const QByteArray& type,
                  const QByteArray& address, bool physical = false) {
    const QString folder = root + QLatin1Char('/') + name;
    if (!writeFile(folder + "/type", type + "\n") ||
        !writeFile(folder + "/address", address + "\n")) {
        return false;
    }
    return !physical || QDir().mkpath(folder + "/device");
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, QFile::encodeName(value));
    }
    ~ScopedEnv() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

} // namespace

class TestToolSystem : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sizeTexts_data();
    void sizeTexts();
    void macAddressWithoutInterfaces();
    void macAddressFirstEthernetByName();
    void macAddressPrefersDevices();
    void operatingSystemText();
    void macOSReleaseRule_data();
    void macOSReleaseRule();
    void osReleaseParsing();
    void processorAndMemory();
    void resources();
    void dateTimeTexts();
};

void TestToolSystem::sizeTexts_data() {
    QTest::addColumn<double>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0.0 << "0 byte";
    QTest::newRow("9999") << 9999.0 << "9999 byte";
    QTest::newRow("10000") << 10000.0 << "10.0 KB";
    QTest::newRow("99949") << 99949.0 << "99.9 KB";
    QTest::newRow("123456") << 123456.0 << "123 KB";
    QTest::newRow("999499") << 999499.0 << "999 KB";
    QTest::newRow("1000000") << 1000000.0 << "1.0 MB";
    QTest::newRow("2500000") << 2500000.0 << "2.5 MB";
    QTest::newRow("150000000") << 150000000.0 << "150 MB";
    QTest::newRow("1e9") << 1e9 << "1.00 GB";
    QTest::newRow("4.147e9") << 4.147e9 << "4.15 GB";
    QTest::newRow("2.147e9") << 2.147e9 << "2.15 GB";
}

void TestToolSystem::sizeTexts() {
    QFETCH(double, bytes);
    QFETCH(QString, text);
    QCOMPARE(Tool::autoDataByteStringWithByte(bytes), text);
    QCOMPARE(Tool::intToStr(-42), QStringLiteral("-42"));
    QCOMPARE(Tool::intToStr(Q_INT64_C(4147000000)), QStringLiteral("4147000000"));
}

void TestToolSystem::macAddressWithoutInterfaces() {
    TestHome home;
    const QString root = home.filePath(QStringLiteral("net"));
    QVERIFY(QDir().mkpath(root));
    QVERIFY(addInterface(root, "lo", "772", "00:00:00:00:00:00"));
    QVERIFY(addInterface(root, "wwan0", "65534", "")); // no hardware address
    QVERIFY(addInterface(root, "eth9", "1", "00:00:00:00:00:00"));
    const ScopedEnv env("HALVIX_SYS_CLASS_NET", root);

    const std::optional<QList<QVariantMap>> all = Tool::getMACAddressArray();
    QVERIFY(all.has_value());
    QVERIFY(all->isEmpty());
    QCOMPARE(Tool::getMACAddress(), QStringLiteral(""));
    QCOMPARE(Tool::getMacAddressUpperStr(), QStringLiteral(""));

    const ScopedEnv missing("HALVIX_SYS_CLASS_NET", home.filePath(QStringLiteral("nothing")));
    QVERIFY(!Tool::getMACAddressArray().has_value());
    QCOMPARE(Tool::getMacAddressUpperStr(), QStringLiteral(""));
}

void TestToolSystem::macAddressFirstEthernetByName() {
    TestHome home;
    const QString root = home.filePath(QStringLiteral("net"));
    QVERIFY(addInterface(root, "lo", "772", "00:00:00:00:00:00"));
    QVERIFY(addInterface(root, "enp3s0", "1", "0A:1b:2C:3d:4E:5f"));
    QVERIFY(addInterface(root, "eno1", "1", "00:11:22:aa:bb:cc"));
    QVERIFY(addInterface(root, "dummy", "1", "not an address"));
    const ScopedEnv env("HALVIX_SYS_CLASS_NET", root);

    const std::optional<QList<QVariantMap>> all = Tool::getMACAddressArray();
    QVERIFY(all.has_value());
    QCOMPARE(all->size(), 2);
    QCOMPARE(all->at(0).value("IOMACAddress").toString(), QStringLiteral("00:11:22:aa:bb:cc"));
    QCOMPARE(all->at(1).value("IOMACAddress").toString(), QStringLiteral("0a:1b:2c:3d:4e:5f"));
    QCOMPARE(Tool::getMACAddress(), QStringLiteral("00:11:22:aa:bb:cc"));
    QCOMPARE(Tool::getMacAddressUpperStr(), QStringLiteral("001122AABBCC"));
}

void TestToolSystem::macAddressPrefersDevices() {
    TestHome home;
    const QString root = home.filePath(QStringLiteral("net"));
    QVERIFY(addInterface(root, "br-0a1", "1", "02:42:00:00:00:01"));
    QVERIFY(addInterface(root, "docker0", "1", "02:42:00:00:00:02"));
    QVERIFY(addInterface(root, "wlp2s0", "1", "a4:5e:60:00:00:03", true));
    const ScopedEnv env("HALVIX_SYS_CLASS_NET", root);
    // A bridge's address changes when it is rebuilt; the machine's own card identifies it.
    QCOMPARE(Tool::getMacAddressUpperStr(), QStringLiteral("A45E60000003"));
    QCOMPARE(Tool::getMACAddressArray()->size(), 3);
}

void TestToolSystem::operatingSystemText() {
    const QString text = Tool::operatingSystemVersionString();
    struct utsname names {};
    QCOMPARE(uname(&names), 0);
    QVERIFY2(text.endsWith(QStringLiteral(" (") + QString::fromUtf8(names.release) + ")"),
             qPrintable(text));
    QFile osRelease(QStringLiteral("/etc/os-release"));
    if (osRelease.open(QIODevice::ReadOnly)) {
        const QString pretty =
            systeminfo::prettyNameFromOsRelease(QString::fromUtf8(osRelease.readAll()));
        QVERIFY(!pretty.isEmpty());
        QVERIFY2(text.startsWith(pretty + " ("), qPrintable(text));
    }
    // Linux is none of the macOS releases, whatever digits its kernel release holds.
    QVERIFY(!Tool::isTigerOperatingSystem());
    QVERIFY(!Tool::isLeopardOperatingSystem());
    QVERIFY(!Tool::isSnowLeopardOperatingSystem());
    QVERIFY(!Tool::isLionOperatingSystem());
    QVERIFY(!Tool::isMountainLionOperatingSystem());
    QVERIFY(!Tool::isMavericksOperatingSystem());
    QVERIFY(!Tool::isYosemiteOperatingSystem());
}

void TestToolSystem::macOSReleaseRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("release");
    QTest::addColumn<bool>("matches");
    QTest::newRow("tiger") << "Version 10.4.11 (Build 8S165)"
                           << "10.4" << true;
    QTest::newRow("snow leopard") << "Version 10.6.8 (Build 10K549)"
                                  << "10.6" << true;
    QTest::newRow("10.10.5 is no leopard") << "Version 10.10.5 (Build 14F27)"
                                           << "10.5" << false;
    QTest::newRow("10.10.4 is no tiger") << "Version 10.10.4 (Build 14E46)"
                                         << "10.4" << false;
    QTest::newRow("yosemite") << "Version 10.10.5 (Build 14F27)"
                              << "10.10" << true;
    QTest::newRow("lion is no tiger") << "Version 10.7.5 (Build 11G63)"
                                      << "10.4" << false;
}

void TestToolSystem::macOSReleaseRule() {
    QFETCH(QString, text);
    QFETCH(QString, release);
    QFETCH(bool, matches);
    QCOMPARE(systeminfo::isMacOSRelease(text, release), matches);
}

void TestToolSystem::osReleaseParsing() {
    QCOMPARE(systeminfo::prettyNameFromOsRelease(
                 "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
             QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
    QCOMPARE(systeminfo::prettyNameFromOsRelease("PRETTY_NAME='Mine \\\"X\\\"'"),
             QStringLiteral("Mine \"X\""));
    QCOMPARE(systeminfo::prettyNameFromOsRelease("PRETTY_NAME=Plain"), QStringLiteral("Plain"));
    QCOMPARE(systeminfo::prettyNameFromOsRelease("NAME=x\n"), QString());
}

void TestToolSystem::processorAndMemory() {
    QCOMPARE(systeminfo::processorFromCpuinfo(
                 "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) "
                 "CPU @ 2.20GHz\nprocessor\t: 1\nmodel name\t: other\n"),
             QStringLiteral("Intel(R) Xeon(R) CPU @ 2.20GHz"));
    QCOMPARE(systeminfo::processorFromCpuinfo("processor : 0\nBogoMIPS : 48.00\n"), QString());
    QCOMPARE(systeminfo::memoryFromMeminfo("MemTotal:       16318504 kB\nMemFree: 1 kB\n"),
             QStringLiteral("15.56 gigabytes"));
    QCOMPARE(systeminfo::memoryFromMeminfo("MemFree: 1 kB\n"), QString());

    // The host description answers by key, as the system's host tool did.
    QVERIFY(!Tool::processorType().isEmpty());
    QVERIFY2(Tool::primaryMemory().endsWith(QStringLiteral(" gigabytes")),
             qPrintable(Tool::primaryMemory()));
    QCOMPARE(Tool::hostinfoResultForKey(QStringLiteral("Primary memory available: ")),
             Tool::primaryMemory());
    QCOMPARE(Tool::hostinfoResultForKey(QStringLiteral("Kernel configured for: ")),
             QStringLiteral(""));
}

void TestToolSystem::resources() {
    TestHome home;
    const QString folder = home.filePath(QStringLiteral("share/halvix2"));
    QVERIFY(writeFile(folder + "/AlbumData.txt", QStringLiteral("[アルバム]\r\nA,B\r\n").toUtf8()));
    QVERIFY(writeFile(folder + "/Broken.txt", QByteArray("abc\xff\xfe", 5)));
    QVERIFY(writeFile(folder + "/not_image.jpg", "jpeg"));
    const ScopedEnv env("HALVIX_RESOURCE_DIR", folder);

    QCOMPARE(Tool::resourceFolderPath(), folder);
    QCOMPARE(Tool::readResourceTextFile(QStringLiteral("AlbumData")),
             std::optional<QString>(QStringLiteral("[アルバム]\r\nA,B\r\n")));
    QVERIFY(!Tool::readResourceTextFile(QStringLiteral("GeneralData")).has_value());
    QVERIFY(!Tool::readResourceTextFile(QStringLiteral("Broken")).has_value());
    QCOMPARE(Tool::resourcePath(QStringLiteral("not_image"), QStringLiteral("jpg")),
             folder + "/not_image.jpg");
    QCOMPARE(Tool::resourcePath(QStringLiteral("missing"), QStringLiteral("jpg")), QString());
    QCOMPARE(Tool::resourcePath(QStringLiteral("../halvix2/not_image"), QStringLiteral("jpg")),
             QString());
    QVERIFY(QRegularExpression(QStringLiteral(R"(^\d+\.\d+(\.\d+)?$)"))
                .match(Tool::applicationVersion())
                .hasMatch());
}

void TestToolSystem::dateTimeTexts() {
    const QRegularExpression normal(QStringLiteral(R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d$)"));
    const QString now = Tool::nowDateTimeNomal();
    QVERIFY2(normal.match(now).hasMatch(), qPrintable(now));
    QVERIFY(orbel::isDateTimeStr(now));
    QVERIFY(QRegularExpression(QStringLiteral(R"(^\d{14}$)"))
                .match(Tool::nowDateTimeAllCompress())
                .hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral(R"(^\d{8}_\d{6}$)"))
                .match(Tool::nowDateTimeCompress())
                .hasMatch());
    QVERIFY(
        QRegularExpression(QStringLiteral(R"(^\d{8}$)")).match(Tool::nowDateCompress()).hasMatch());
    QVERIFY(
        QRegularExpression(QStringLiteral(R"(^\d{6}$)")).match(Tool::nowTimeCompress()).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral(R"(^\d{4}/\d\d/\d\d$)"))
                .match(Tool::nowDateNomal())
                .hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral(R"(^\d\d:\d\d:\d\d$)"))
                .match(Tool::nowTimeNomal())
                .hasMatch());
    // Local time: the date part is the local date (read around it, in case midnight passes).
    const QString before = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    const QString today = Tool::nowDateTimeWithFormat("%Y-%m-%d");
    const QString after = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    QVERIFY2(today == before || today == after, qPrintable(today));
    QCOMPARE(Tool::nowDateTimeWithFormat("literal %%"), QStringLiteral("literal %"));
    QCOMPARE(Tool::nowDateTimeWithFormat(""), QStringLiteral(""));
}

QTEST_GUILESS_MAIN(TestToolSystem)
#include "tst_ToolSystem.moc"
