#include "AlertRecorder.h"
#include "LabSim.h"
#include "TestHome.h"
#include "app/AppCtrl.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "ui/MainWindow.h"
#include "ui/PhotoStudioNamePop.h"
#include "ui/PreferencesCtrl.h"
#include "util/Tool.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

void setCustomer() {
    UserDef::setObject(QStringLiteral("青空写真館"), QStringLiteral("PhotoStudioName"));
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("aozora@example.jp"), QStringLiteral("CustomerEmail"));
}

} // namespace

// The preferences, the password window and the version-up inside the real application window.
class TestPreferencesWiring : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A new installation starts with the preferences; the window blocks the tabs and the
    // guarded menus until the customer is saved.
    void startUpOpensPreferencesUntilTheCustomerIsSet() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        AppCtrl ctrl(QStringList{QStringLiteral("halvix2")});
        MainWindow window(ctrl);
        window.show();
        ctrl.awakeFromNib(window);
        ctrl.waitForStartUpCheck();

        auto* prefs = window.findChild<QWidget*>(QStringLiteral("preferencesWindow"));
        QVERIFY(prefs && prefs->isVisible());
        QVERIFY(ctrl.prefWindowVisible());
        QVERIFY(!window.menuAction(QStringLiteral("preferencesMenuItem"))->isEnabled());
        QVERIFY(ctrl.isTabLocked());

        const auto field = [&](const char* name) {
            return prefs->findChild<QLineEdit*>(QString::fromLatin1(name));
        };
        field("photoStudioNameField")->setText(QStringLiteral("青空写真館"));
        field("customerCodeField")->setText(QStringLiteral("01234"));
        Q_EMIT field("customerCodeField")->editingFinished();
        field("customerEmailField")->setText(QStringLiteral("aozora@example.jp"));
        QTest::mouseClick(prefs->findChild<QPushButton*>(QStringLiteral("userPrefSaveBt")),
                          Qt::LeftButton);

        QVERIFY(!prefs->isVisible());
        QVERIFY(!ctrl.prefWindowVisible());
        QCOMPARE(UserDef::stringForKey(QStringLiteral("CustomerCode")),
                 std::optional<QString>(QStringLiteral("1234")));
        QVERIFY(window.menuAction(QStringLiteral("preferencesMenuItem"))->isEnabled());
        QVERIFY(!ctrl.isTabLocked());

        // The menu opens it again.
        window.menuAction(QStringLiteral("preferencesMenuItem"))->trigger();
        QVERIFY(prefs->isVisible());
        QVERIFY(ctrl.prefWindowVisible());
        QVERIFY(!window.findChild<PhotoStudioNamePop*>(QStringLiteral("photoStudioNamePop"))
                     ->isEnabled());
        QCOMPARE(alerts.count(), 0);
    }

    // The lab announces 9.9.9: the start-up fetches it, the installer script runs (it writes a
    // marker) and the run ends through the termination path.
    void startUpVersionUpNeverRunsTheInstaller() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        setCustomer();
        const QString page = lab.httpFilePath(QStringLiteral("/halv_ix2/appinfo.html"));
        QByteArray text = readFile(page);
        QVERIFY(text.contains("<!--APP_VER_MAC\n2.0.0\nAPP_VER_MAC-->"));
        text.replace("<!--APP_VER_MAC\n2.0.0\nAPP_VER_MAC-->",
                     "<!--APP_VER_MAC\n9.9.9\nAPP_VER_MAC-->");
        QVERIFY(writeFile(page, text));
        const QString marker = home.filePath(QStringLiteral("installed.txt"));
        const QString source = home.filePath(QStringLiteral("src"));
        QVERIFY(writeFile(source + QStringLiteral("/Halvix2_v999/Halvix2_Install.mpkg"),
                          "#!/bin/sh\necho installed > '" + marker.toUtf8() + "'\n"));
        const QString zip = home.filePath(QStringLiteral("Halvix2_v999.zip"));
        QVERIFY(
            Tool::zipWithOption(QStringLiteral("-r"), zip, QStringLiteral("Halvix2_v999"), source));
        QVERIFY(lab.putFtpFile(QStringLiteral("/upver/m/"), QStringLiteral("Halvix2_v999.zip"),
                               readFile(zip)));

        AppCtrl ctrl(QStringList{QStringLiteral("halvix2")});
        MainWindow window(ctrl);
        window.show();
        ctrl.awakeFromNib(window);
        ctrl.waitForStartUpCheck();

        QCOMPARE(alerts.messages().value(0),
                 QStringLiteral("新しいバージョン（v9.9.9）があります"));
        // Downloaded and told, never run: code from the network is not executed.
        QTRY_VERIFY_WITH_TIMEOUT(alerts.messages().contains(QStringLiteral(
                                     "新しいバージョン（v9.9.9）をダウンロードしました")),
                                 20000);
        QVERIFY(!QFile::exists(marker));
        QVERIFY(!ctrl.isTerminated());
    }
};

QTEST_MAIN(TestPreferencesWiring)
#include "tst_PreferencesWiring.moc"
