// Kinelo orders on the album tab: each order type from the sheet to the archive at the lab, and
// the video-only products that allow only a video with a picture.
#include "AppShellFixture.h"
#include "ui/AlbumKineloSheet.h"
#include "ui/AlbumTabPage.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

using namespace shell;

namespace {

const QString kSheet = QStringLiteral("albumKineloInputWindow");
const QString kRemote = QStringLiteral("/ntordrsm2/");

bool chooseAlbum(App& app, const QString& title) {
    auto* pop = app.find<QComboBox>(QStringLiteral("alAlbumPop"));
    const int at = pop->findText(title);
    if (at < 0) {
        return false;
    }
    pop->setCurrentIndex(at);
    Q_EMIT pop->activated(at);
    return pop->currentText() == title;
}

template <typename T>
T* inSheet(const QString& name) {
    QDialog* sheet = SheetDriver::openSheet(kSheet);
    return sheet ? sheet->findChild<T*>(name) : nullptr;
}

QPushButton* execute() {
    return inSheet<QPushButton>(QStringLiteral("okButton"));
}

// The album tab with one photo dropped and the Kinelo sheet open.
void openSheet(App& app, const QString& folder, const QString& album) {
    QVERIFY(app.selectTab(OrderTab::Album));
    QVERIFY(chooseAlbum(app, album));
    if (app.ctrl->selectFilesOf(OrderTab::Album).isEmpty()) {
        QVERIFY(writeJpeg(folder + QStringLiteral("/p1.jpg")));
        QVERIFY(dropFiles(app.find<QWidget>(QStringLiteral("albumDragDropView")), {folder}));
    }
    auto* button = app.find<QPushButton>(QStringLiteral("albumKineloButton"));
    QVERIFY(button && !button->isHidden() && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(waitSheet(kSheet));
    QVERIFY(app.ctrl->kineloWindowOpen());
    QVERIFY(!app.ctrl->isMenuUseOk());
}

} // namespace

class TestAlbumKinelo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachOrderTypeReachesTheArchive_data();
    void eachOrderTypeReachesTheArchive();
    void videoOnlyProductsForceTheVideoType();
    void kineloOffFromTheLabHidesTheButton();
};

void TestAlbumKinelo::eachOrderTypeReachesTheArchive_data() {
    QTest::addColumn<int>("tag");
    QTest::addColumn<QStringList>("kineloEntries");
    QTest::addColumn<QString>("reportText");
    QTest::newRow("order sheet only")
        << 10 << QStringList() << QStringLiteral("アルバムデーターのみを使用する");
    QTest::newRow("added files") << 11
                                 << QStringList{QStringLiteral("kinelo/soucefile/extra1.jpg"),
                                                QStringLiteral("kinelo/soucefile/notes.txt")}
                                 << QStringLiteral("アルバム用データ+追加カットを使用する");
    QTest::newRow("video and picture")
        << 12
        << QStringList{QStringLiteral("kinelo/MOV_clip.mov"), QStringLiteral("kinelo/PIC_face.jpg")}
        << QStringLiteral("clip.mov,face.jpg");
}

void TestAlbumKinelo::eachOrderTypeReachesTheArchive() {
    QFETCH(int, tag);
    QFETCH(QStringList, kineloEntries);
    QFETCH(QString, reportText);
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    App app;
    openSheet(app, home.filePath(QStringLiteral("photos")), QStringLiteral("婚礼デザインアルバム"));
    QCOMPARE(inSheet<QPushButton>(QStringLiteral("cancelButton"))->text(),
             QStringLiteral("閉じる"));
    QVERIFY(inSheet<QRadioButton>(QStringLiteral("kineloOrderType10"))->isChecked());

    if (tag == 11) {
        QTest::mouseClick(inSheet<QRadioButton>(QStringLiteral("kineloOrderType11")),
                          Qt::LeftButton);
        QVERIFY(!execute()->isEnabled());
        const QString extra = home.filePath(QStringLiteral("extra"));
        QVERIFY(writeJpeg(extra + QStringLiteral("/extra1.jpg")));
        QVERIFY(writeText(extra + QStringLiteral("/notes.txt"), "cut list"));
        auto* drop = inSheet<QWidget>(QStringLiteral("albumKineloDragDropView"));
        QVERIFY(dropFiles(drop, {extra + QStringLiteral("/extra1.jpg")}));
        QVERIFY(dropFiles(drop, {extra + QStringLiteral("/notes.txt")}));
        QCOMPARE(app.window->albumKineloSheet()->fileCount(), 2);
        // The same name in another letter case is refused.
        QVERIFY(writeJpeg(home.filePath(QStringLiteral("other/EXTRA1.JPG"))));
        QVERIFY(dropFiles(drop, {home.filePath(QStringLiteral("other/EXTRA1.JPG"))}));
        QCOMPARE(alerts.last().message,
                 QStringLiteral("登録されているのと同じファイル名が含まれています。"));
        QCOMPARE(app.window->albumKineloSheet()->fileCount(), 2);
        QCOMPARE(inSheet<QPushButton>(QStringLiteral("albumKineloRemoveButton"))->text(),
                 QStringLiteral("全削除"));
        QVERIFY(execute()->isEnabled());
    } else if (tag == 12) {
        QTest::mouseClick(inSheet<QRadioButton>(QStringLiteral("kineloOrderType12")),
                          Qt::LeftButton);
        QCOMPARE(alerts.last().message, QStringLiteral("ご注意"));
        QVERIFY(!execute()->isEnabled());
        const QString mov = home.filePath(QStringLiteral("media/clip.mov"));
        const QString pic = home.filePath(QStringLiteral("media/face.jpg"));
        QVERIFY(writeText(mov, QByteArray(4096, 'm')));
        QVERIFY(writeJpeg(pic));
        alerts.enqueueFile(mov);
        QTest::mouseClick(inSheet<QPushButton>(QStringLiteral("albumKineloMovSelectButton")),
                          Qt::LeftButton);
        QCOMPARE(inSheet<QLineEdit>(QStringLiteral("albumKineloMovFilePath"))->text(), mov);
        QVERIFY(!execute()->isEnabled());
        QVERIFY(dropFiles(inSheet<QWidget>(QStringLiteral("albumKineloPicFilePath")), {pic}));
        QCOMPARE(inSheet<QLineEdit>(QStringLiteral("albumKineloPicFilePath"))->text(), pic);
        QVERIFY(execute()->isEnabled());
    }
    // HALVIX_SHOT_DIR keeps a picture of each filled pane for a look at the layout.
    if (const QString shots = qEnvironmentVariable("HALVIX_SHOT_DIR"); !shots.isEmpty()) {
        SheetDriver::openSheet(kSheet)->grab().save(
            shots + QStringLiteral("/kinelo-sheet-%1.png").arg(tag));
    }
    QVERIFY(SheetDriver::confirm(kSheet));
    QVERIFY(SheetDriver::openSheetName().isEmpty());
    QVERIFY(!app.ctrl->kineloWindowOpen());
    QVERIFY(app.ctrl->isDragDropOn());
    QCOMPARE(UserDef::albumKinloOrderType(), qint64(tag - 10));
    // OK with added files keeps the list; the other types empty it.
    QCOMPARE(app.window->albumKineloSheet()->fileCount(), tag == 11 ? 2 : 0);
    QCOMPARE(app.find<QPushButton>(QStringLiteral("albumKineloButton"))->text(),
             QStringLiteral("キネロファイル登録済み"));

    QTest::mouseClick(app.find<QPushButton>(QStringLiteral("albumSendButton")), Qt::LeftButton);
    QVERIFY(waitSheet(QStringLiteral("orderInfoWindow")));
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderInfoWindow")));
    QVERIFY(waitSheet(QStringLiteral("orderAcWindow")));
    QVERIFY(SheetDriver::chooseOrderAction(301));
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderAcWindow")));
    QVERIFY(app.waitJob());

    const QStringList sent = lab.ftpFolderFiles(kRemote);
    QCOMPARE(sent.size(), 1);
    const QString archive = lab.ftpLocalPath(kRemote) + u'/' + sent.first();
    QStringList kinelo;
    for (const QString& entry : unzipList(archive)) {
        if (entry.startsWith(QStringLiteral("kinelo/")) && !entry.endsWith(u'/')) {
            kinelo.append(entry);
        }
    }
    kinelo.sort();
    QCOMPARE(kinelo, kineloEntries);
    const QByteArray sjis = unzipEntry(archive, QStringLiteral("PrintReport4.txt"));
    QVERIFY(sjis.contains(Tool::encodeText(reportText, TextEncoding::ShiftJis)));
    // The registration went with the order.
    QVERIFY(!UserDef::isAlbumKineloFile());
    QCOMPARE(app.window->albumKineloSheet()->fileCount(), 0);
    QCOMPARE(app.find<QPushButton>(QStringLiteral("albumKineloButton"))->text(),
             QStringLiteral("キネロのお申し込み"));
}

void TestAlbumKinelo::videoOnlyProductsForceTheVideoType() {
    TestHome home;
    LabSim lab;
    AlertRecorder alerts;
    App app;
    const QString photos = home.filePath(QStringLiteral("photos"));
    openSheet(app, photos, QStringLiteral("RAW現像"));
    QVERIFY(inSheet<QRadioButton>(QStringLiteral("kineloOrderType12"))->isChecked());
    QVERIFY(!inSheet<QRadioButton>(QStringLiteral("kineloOrderType10"))->isEnabled());
    QVERIFY(!inSheet<QRadioButton>(QStringLiteral("kineloOrderType11"))->isEnabled());
    QCOMPARE(alerts.last().message, QStringLiteral("ご注意"));
    QVERIFY(SheetDriver::cancel(kSheet));
    QVERIFY(!UserDef::isAlbumKineloFile());

    // Added files registered for another album...
    openSheet(app, photos, QStringLiteral("婚礼デザインアルバム"));
    QVERIFY(inSheet<QRadioButton>(QStringLiteral("kineloOrderType11"))->isEnabled());
    QTest::mouseClick(inSheet<QRadioButton>(QStringLiteral("kineloOrderType11")), Qt::LeftButton);
    QVERIFY(writeJpeg(home.filePath(QStringLiteral("extra/a.jpg"))));
    auto* drop = inSheet<QWidget>(QStringLiteral("albumKineloDragDropView"));
    QVERIFY(dropFiles(drop, {home.filePath(QStringLiteral("extra/a.jpg"))}));
    // A selected row is removed alone; the button says so.
    auto* table = inSheet<QTableView>(QStringLiteral("albumKineloFileTable"));
    table->selectRow(0);
    auto* remove = inSheet<QPushButton>(QStringLiteral("albumKineloRemoveButton"));
    QCOMPARE(remove->text(), QStringLiteral("選択ファイルを削除"));
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(app.window->albumKineloSheet()->fileCount(), 0);
    QVERIFY(!execute()->isEnabled());
    QVERIFY(dropFiles(drop, {home.filePath(QStringLiteral("extra/a.jpg"))}));
    QVERIFY(SheetDriver::confirm(kSheet));
    QCOMPARE(UserDef::albumKinloOrderType(), qint64(1));
    // ...do not let a video-only product be sent.
    QVERIFY(chooseAlbum(app, QStringLiteral("RAW現像")));
    auto* send = app.find<QPushButton>(QStringLiteral("albumSendButton"));
    QVERIFY(!send->isEnabled());
    QVERIFY(!send->toolTip().isEmpty());
    QTest::mouseClick(app.find<QPushButton>(QStringLiteral("albumKineloButton")), Qt::LeftButton);
    QVERIFY(waitSheet(kSheet));
    QVERIFY(inSheet<QRadioButton>(QStringLiteral("kineloOrderType12"))->isChecked());
    QCOMPARE(inSheet<QPushButton>(QStringLiteral("cancelButton"))->text(),
             QStringLiteral("キネロ登録の削除"));
    // Removing the registration frees Send again and empties the list.
    QVERIFY(SheetDriver::cancel(kSheet));
    QVERIFY(!UserDef::isAlbumKineloFile());
    QCOMPARE(app.window->albumKineloSheet()->fileCount(), 0);
    QVERIFY(send->isEnabled());
}

void TestAlbumKinelo::kineloOffFromTheLabHidesTheButton() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    const QString page = lab.httpFilePath(QStringLiteral("/halv_ix2/appinfo.html"));
    QVERIFY(lab.putHttpFile(QStringLiteral("/halv_ix2/appinfo.html"),
                            readAll(page) + "\n<!--KINELO-OFF-->\n"));
    {
        App app;
        QVERIFY(app.selectTab(OrderTab::Album));
        QVERIFY(app.find<QPushButton>(QStringLiteral("albumKineloButton"))->isHidden());
        app.ctrl->QuitAction();
    }
    // The develop mode (the lab's own test studio) keeps it.
    customerSettings();
    UserDef::setObject(QStringLiteral("ミラベル開発テスト"), QStringLiteral("PhotoStudioName"));
    App app({QStringLiteral("halvix2")}, false);
    QVERIFY(app.selectTab(OrderTab::Album));
    QVERIFY(!app.find<QPushButton>(QStringLiteral("albumKineloButton"))->isHidden());
}

QTEST_MAIN(TestAlbumKinelo)
#include "tst_AlbumKinelo.moc"
