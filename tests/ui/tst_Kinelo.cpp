// Kinelo orders: on the album tab each order type from the sheet to the archive at the lab, and
// the video-only products that allow only a video with a picture; on the print tab the video with
// a picture that travels with a postcard order.
#include "AppShellFixture.h"
#include "ui/AlbumKineloSheet.h"
#include "ui/AlbumTabPage.h"
#include "ui/FileListTabPage.h"
#include "ui/KineloFileListCtrl.h"
#include "ui/KineloFileListDataSource.h"
#include "ui/PrintFileListCtrl.h"
#include "ui/PrintKineloSheet.h"

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
    return choose(app, QStringLiteral("alAlbumPop"), title);
}

template <typename T>
T* inSheet(const QString& name, const QString& sheetName = kSheet) {
    QDialog* sheet = SheetDriver::openSheet(sheetName);
    return sheet ? sheet->findChild<T*>(name) : nullptr;
}

QPushButton* execute(const QString& sheetName = kSheet) {
    return inSheet<QPushButton>(QStringLiteral("okButton"), sheetName);
}

// HALVIX_SHOT_DIR keeps a picture of a filled sheet for a look at the layout.
void shoot(const QString& sheetName, const QString& picture) {
    if (const QString shots = qEnvironmentVariable("HALVIX_SHOT_DIR"); !shots.isEmpty()) {
        QTest::qWait(300); // thumbnails arrive
        SheetDriver::openSheet(sheetName)->grab().save(shots + u'/' + picture +
                                                       QStringLiteral(".png"));
    }
}

// Send, the two order sheets confirmed with "send now", and the job's end.
void sendNow(App& app, const QString& sendButton) {
    QTest::mouseClick(app.find<QPushButton>(sendButton), Qt::LeftButton);
    QVERIFY(waitSheet(QStringLiteral("orderInfoWindow")));
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderInfoWindow")));
    QVERIFY(waitSheet(QStringLiteral("orderAcWindow")));
    QVERIFY(SheetDriver::chooseOrderAction(301));
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderAcWindow")));
    QVERIFY(app.waitJob());
}

// Two photos on the print tab, both ordered as postcards: the print Kinelo button's cue.
void postcardOrderSet(App& app, const QString& folder) {
    QVERIFY(app.selectTab(OrderTab::Print));
    const QStringList photos{folder + QStringLiteral("/card1.jpg"),
                             folder + QStringLiteral("/card2.jpg")};
    for (const QString& photo : photos) {
        QVERIFY(writeJpeg(photo));
    }
    QVERIFY(dropFiles(app.find<QWidget>(QStringLiteral("printDragDropView")), photos));
    PrintFileListCtrl* list = app.window->printPage()->fileListCtrl();
    QCOMPARE(list->fileCount(), 2);
    QVERIFY(choose(app, QStringLiteral("printCategoryPop"), QStringLiteral("ポストカード")));
    list->selectRows({0, 1});
    QTest::mouseClick(app.find<QPushButton>(QStringLiteral("printOrderSetButton")), Qt::LeftButton);
    QVERIFY(list->isSendOk());
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

class TestKinelo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachOrderTypeReachesTheArchive_data();
    void eachOrderTypeReachesTheArchive();
    void videoOnlyProductsForceTheVideoType();
    void printKineloTravelsWithAPostcardOrder();
    void kineloOffFromTheLabHidesTheButtons();
};

void TestKinelo::eachOrderTypeReachesTheArchive_data() {
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

void TestKinelo::eachOrderTypeReachesTheArchive() {
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
        shoot(kSheet, QStringLiteral("kinelo-sheet-11-empty"));
        const QString extra = home.filePath(QStringLiteral("extra"));
        QVERIFY(writeJpeg(extra + QStringLiteral("/extra1.jpg")));
        QVERIFY(writeText(extra + QStringLiteral("/notes.txt"), "cut list"));
        auto* drop = inSheet<QWidget>(QStringLiteral("albumKineloDragDropView"));
        QVERIFY(dropFiles(drop, {extra + QStringLiteral("/extra1.jpg")}));
        QVERIFY(dropFiles(drop, {extra + QStringLiteral("/notes.txt")}));
        QCOMPARE(app.window->albumKineloSheet()->fileCount(), 2);
        // Rows in view get their picture (the photo's, or the "not an image" one for the text).
        KineloFileListDataSource& rows =
            app.window->albumKineloSheet()->fileListCtrl()->dataSource();
        QVERIFY(QTest::qWaitFor([&] { return rows.hasThumbnail(0) && rows.hasThumbnail(1); }));
        QVERIFY(rows.fileInfoArray().at(0).contains(QStringLiteral("KineloFileImageKey")));
        QCOMPARE(rows.fileInfoArray().at(1).value(QStringLiteral("KineloFilePathKey")).toString(),
                 extra + QStringLiteral("/notes.txt"));
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
        // A picture whose name the report cannot carry on one line is refused like a drop on a tab.
        const QString torn = home.filePath(QStringLiteral("media/face\nold.jpg"));
        QVERIFY(writeJpeg(torn));
        QVERIFY(dropFiles(inSheet<QWidget>(QStringLiteral("albumKineloPicFilePath")), {torn}));
        QCOMPARE(alerts.last().message, QStringLiteral("ファイル名に使えない文字が含まれています"));
        QVERIFY(inSheet<QLineEdit>(QStringLiteral("albumKineloPicFilePath"))->text().isEmpty());
        QVERIFY(dropFiles(inSheet<QWidget>(QStringLiteral("albumKineloPicFilePath")), {pic}));
        QCOMPARE(inSheet<QLineEdit>(QStringLiteral("albumKineloPicFilePath"))->text(), pic);
        QVERIFY(execute()->isEnabled());
    }
    shoot(kSheet, QStringLiteral("kinelo-sheet-%1").arg(tag));
    QVERIFY(SheetDriver::confirm(kSheet));
    QVERIFY(SheetDriver::openSheetName().isEmpty());
    QVERIFY(!app.ctrl->kineloWindowOpen());
    QVERIFY(app.ctrl->isDragDropOn());
    QCOMPARE(UserDef::albumKinloOrderType(), qint64(tag - 10));
    // OK with added files keeps the list; the other types empty it.
    QCOMPARE(app.window->albumKineloSheet()->fileCount(), tag == 11 ? 2 : 0);
    QCOMPARE(app.find<QPushButton>(QStringLiteral("albumKineloButton"))->text(),
             QStringLiteral("キネロファイル登録済み"));

    sendNow(app, QStringLiteral("albumSendButton"));

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

void TestKinelo::videoOnlyProductsForceTheVideoType() {
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
    auto* table = inSheet<QTableView>(QStringLiteral("kineloFileListView"));
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
    // Escape keeps the registration and the list.
    QVERIFY(SheetDriver::pressEscape(kSheet));
    QVERIFY(!app.ctrl->kineloWindowOpen());
    QVERIFY(UserDef::isAlbumKineloFile());
    QCOMPARE(app.window->albumKineloSheet()->fileCount(), 1);
    QTest::mouseClick(app.find<QPushButton>(QStringLiteral("albumKineloButton")), Qt::LeftButton);
    QVERIFY(waitSheet(kSheet));
    // Removing the registration frees Send again and empties the list.
    QVERIFY(SheetDriver::cancel(kSheet));
    QVERIFY(!UserDef::isAlbumKineloFile());
    QCOMPARE(app.window->albumKineloSheet()->fileCount(), 0);
    QVERIFY(send->isEnabled());
}

void TestKinelo::printKineloTravelsWithAPostcardOrder() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    App app;
    const QString print = QStringLiteral("printKineloInputWindow");
    auto* button = app.find<QPushButton>(QStringLiteral("printKineloButton"));
    postcardOrderSet(app, home.filePath(QStringLiteral("cards")));
    QVERIFY(!button->isHidden());
    QCOMPARE(button->text(), QStringLiteral("キネロのお申し込み"));
    const QString mov = home.filePath(QStringLiteral("media/clip.mov"));
    const QString pic = home.filePath(QStringLiteral("media/face.jpg"));
    QVERIFY(writeText(mov, QByteArray(4096, 'm')));
    QVERIFY(writeJpeg(pic));

    // The caution comes first, then the sheet; nothing can be registered without both files.
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(waitSheet(print));
    QCOMPARE(alerts.last().message, QStringLiteral("ご注意"));
    QVERIFY(app.ctrl->kineloWindowOpen());
    QVERIFY(!app.ctrl->isMenuUseOk());
    QVERIFY(!app.ctrl->isDragDropOn());
    QCOMPARE(inSheet<QPushButton>(QStringLiteral("cancelButton"), print)->text(),
             QStringLiteral("閉じる"));
    QVERIFY(!execute(print)->isEnabled());
    alerts.enqueueFile(mov);
    QTest::mouseClick(inSheet<QPushButton>(QStringLiteral("printKineloMovSelectButton"), print),
                      Qt::LeftButton);
    QCOMPARE(inSheet<QLineEdit>(QStringLiteral("printKineloMovFilePath"), print)->text(), mov);
    QVERIFY(!execute(print)->isEnabled());
    QVERIFY(dropFiles(inSheet<QWidget>(QStringLiteral("printKineloPicFilePath"), print), {pic}));
    QVERIFY(execute(print)->isEnabled());
    shoot(print, QStringLiteral("print-kinelo-sheet"));
    QVERIFY(SheetDriver::confirm(print));
    QVERIFY(!app.ctrl->kineloWindowOpen());
    QVERIFY(app.ctrl->isDragDropOn());
    QCOMPARE(UserDef::printKineloMovFilePath(), std::optional<QString>(mov));
    QCOMPARE(UserDef::printKineloPicFilePath(), std::optional<QString>(pic));
    QCOMPARE(button->text(), QStringLiteral("キネロファイル登録済み"));

    // Escape only closes the sheet; the registration is taken back by its button alone.
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(waitSheet(print));
    QVERIFY(SheetDriver::pressEscape(print));
    QVERIFY(SheetDriver::openSheetName().isEmpty());
    QVERIFY(!app.ctrl->kineloWindowOpen());
    QVERIFY(app.ctrl->isMenuUseOk());
    QVERIFY(UserDef::isPrintKineloFile());
    QCOMPARE(button->text(), QStringLiteral("キネロファイル登録済み"));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(waitSheet(print));
    QCOMPARE(inSheet<QPushButton>(QStringLiteral("cancelButton"), print)->text(),
             QStringLiteral("キネロ登録の削除"));
    QCOMPARE(inSheet<QLineEdit>(QStringLiteral("printKineloMovFilePath"), print)->text(), mov);
    QVERIFY(SheetDriver::cancel(print));
    QVERIFY(!UserDef::isPrintKineloFile());
    QCOMPARE(button->text(), QStringLiteral("キネロのお申し込み"));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(waitSheet(print));
    QVERIFY(inSheet<QLineEdit>(QStringLiteral("printKineloMovFilePath"), print)->text().isEmpty());

    // Registered again, it goes with the postcards.
    alerts.enqueueFile(mov);
    QTest::mouseClick(inSheet<QPushButton>(QStringLiteral("printKineloMovSelectButton"), print),
                      Qt::LeftButton);
    alerts.enqueueFile(pic);
    QTest::mouseClick(inSheet<QPushButton>(QStringLiteral("printKineloPicSelectButton"), print),
                      Qt::LeftButton);
    QVERIFY(SheetDriver::confirm(print));
    // An album order in between neither takes the print registration along nor drops it.
    QVERIFY(app.selectTab(OrderTab::Album));
    QVERIFY(chooseAlbum(app, QStringLiteral("婚礼デザインアルバム")));
    QVERIFY(writeJpeg(home.filePath(QStringLiteral("album/a1.jpg"))));
    QVERIFY(dropFiles(app.find<QWidget>(QStringLiteral("albumDragDropView")),
                      {home.filePath(QStringLiteral("album"))}));
    sendNow(app, QStringLiteral("albumSendButton"));
    QCOMPARE(lab.ftpFolderFiles(kRemote).size(), 1);
    const QString albumArchive =
        lab.ftpLocalPath(kRemote) + u'/' + lab.ftpFolderFiles(kRemote).first();
    QVERIFY(!unzipList(albumArchive).join(u' ').contains(QStringLiteral("kinelo/")));
    QVERIFY(UserDef::isPrintKineloFile());
    QVERIFY(app.selectTab(OrderTab::Print));
    QCOMPARE(button->text(), QStringLiteral("キネロファイル登録済み"));
    sendNow(app, QStringLiteral("printSendButton"));
    QCOMPARE(alerts.last().message, QStringLiteral("データを送信しました"));
    QVERIFY(alerts.last().done);
    QStringList sent = lab.ftpFolderFiles(kRemote);
    QCOMPARE(sent.size(), 2);
    sent.sort(); // the bag number counts up: the print order is the second
    const QString archive = lab.ftpLocalPath(kRemote) + u'/' + sent.last();
    const QStringList entries = unzipList(archive);
    QVERIFY2(entries.contains(QStringLiteral("kinelo/MOV_clip.mov")),
             qPrintable(entries.join(u' ')));
    QVERIFY(entries.contains(QStringLiteral("kinelo/PIC_face.jpg")));
    QCOMPARE(unzipEntry(archive, QStringLiteral("kinelo/MOV_clip.mov")), QByteArray(4096, 'm'));
    const QByteArray report = unzipEntry(archive, QStringLiteral("PrintReport4.txt"));
    QVERIFY(report.contains(
        Tool::encodeText(QStringLiteral("キネロのお申し込み"), TextEncoding::ShiftJis)));
    QVERIFY(report.contains("clip.mov,face.jpg"));
    // The registration went with the order; the next sheet starts empty.
    QVERIFY(!UserDef::isPrintKineloFile());
    QCOMPARE(button->text(), QStringLiteral("キネロのお申し込み"));
    QVERIFY(app.window->printKineloSheet() != nullptr);
    auto* field = app.window->printKineloSheet()->sheet()->findChild<QLineEdit*>(
        QStringLiteral("printKineloPicFilePath"));
    QVERIFY(field->text().isEmpty());
}

void TestKinelo::kineloOffFromTheLabHidesTheButtons() {
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
        // A postcard order does not bring the print tab's button either.
        postcardOrderSet(app, home.filePath(QStringLiteral("cards")));
        QVERIFY(app.find<QPushButton>(QStringLiteral("printKineloButton"))->isHidden());
        app.ctrl->QuitAction();
    }
    // The develop mode (the lab's own test studio) keeps it.
    customerSettings();
    UserDef::setObject(QStringLiteral("ミラベル開発テスト"), QStringLiteral("PhotoStudioName"));
    App app({QStringLiteral("halvix2")}, false);
    QVERIFY(app.selectTab(OrderTab::Album));
    QVERIFY(!app.find<QPushButton>(QStringLiteral("albumKineloButton"))->isHidden());
}

QTEST_MAIN(TestKinelo)
#include "tst_Kinelo.moc"
