// Album sets without a window: set files, import and export with the three-button choice, the
// start-up check, reset and conversion, and the mended faults.
#include "AlertRecorder.h"
#include "PlistBombs.h"
#include "TestHome.h"
#include "app/AlbumSet.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/PlistVariant.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace {

QVariantMap record(const QString& album, bool withOptions = true) {
    QVariantMap dic{{QStringLiteral("AlAlbumPop"), album},
                    {QStringLiteral("AlSizePop"), QStringLiteral("30cmスクエア")}};
    if (withOptions) {
        dic.insert(QStringLiteral("AlOptoinArray"), QStringList{QStringLiteral("画像レタッチ")});
    }
    return dic;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString setFile(const TestHome& home, const QString& name, const QVariantList& titles,
                const QVariantList& dics) {
    const QString path = home.filePath(name);
    writeFile(path, plistXmlFromVariant(QVariantMap{{QStringLiteral("TitleArray"), titles},
                                                    {QStringLiteral("DicArray"), dics}}));
    return path;
}

QVariantMap readSetFileContent(const QString& path) {
    return plistFromData(readFile(path)).value_or(QVariant()).toMap();
}

QString logText() {
    return QString::fromUtf8(readFile(Log::logFilePath()));
}

} // namespace

class TestAlbumSet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addRenameDeleteKeepTheListsParallel();
    void exportThenImportIntoAnEmptyStore();
    void importWithAddIntoAFullStoreMergesAndConverts();
    void importWithOverwriteReplacesEverythingAfterItsBackup();
    void importOfAnOldFormatFileConvertsEveryRecord();
    void importRefusesForeignAndDamagedFiles_data();
    void importRefusesForeignAndDamagedFiles();
    void cancelledImportChangesNothing();
    void failedBackupStopsTheImport();
    void failedExportIsReportedAndLeavesTheTargetWhole();
    void startUpResetKeepsItsBackupOfTheOldSets();
    void startUpConversionBacksUpOnlyARealChange();
    void startUpCheckDropsOnlyTheUnreadableSet();
};

void TestAlbumSet::addRenameDeleteKeepTheListsParallel() {
    TestHome home;
    QVERIFY(!AlbumSet::isAlbumSetTitleNG(QStringLiteral("春")));
    AlbumSet::addAlbumSet(QStringLiteral("春"), record(QStringLiteral("婚礼デザインアルバム")));
    AlbumSet::addAlbumSet(QStringLiteral("夏"), record(QStringLiteral("ソレイナ")));
    QVERIFY(AlbumSet::isAlbumSetTitleNG(QStringLiteral("春")));
    QCOMPARE(UserDef::albumSetNum(), 2);
    AlbumSet::modAlbumSetName(QStringLiteral("初夏"), 1);
    QCOMPARE(AlbumSet::titles(), (QStringList{QStringLiteral("春"), QStringLiteral("初夏")}));
    QCOMPARE(AlbumSet::albumSetDic(1)->value(QStringLiteral("AlAlbumPop")).toString(),
             QStringLiteral("ソレイナ"));
    AlbumSet::delAlbumSet(0);
    QCOMPARE(AlbumSet::titles(), QStringList{QStringLiteral("初夏")});
    QCOMPARE(AlbumSet::dics().size(), 1);
    QCOMPARE(AlbumSet::albumSetDic(0)->value(QStringLiteral("AlAlbumPop")).toString(),
             QStringLiteral("ソレイナ"));
    QVERIFY(!AlbumSet::albumSetDic(1));
}

void TestAlbumSet::exportThenImportIntoAnEmptyStore() {
    TestHome home;
    AlertRecorder alerts;
    // An export with no sets writes an empty dictionary.
    const QString empty = home.filePath(QStringLiteral("empty.plist"));
    QVERIFY(AlbumSet::exportAlbumSetToFilePath(empty));
    QVERIFY(readSetFileContent(empty).isEmpty());

    // A new-format record keeps its old album name when it goes into an empty store.
    AlbumSet::addAlbumSet(QStringLiteral("春"), record(QStringLiteral("ウェディングアルバム")));
    AlbumSet::addAlbumSet(QStringLiteral("夏"), record(QStringLiteral("ソレイナ")));
    alerts.enqueueFile(home.filePath(QStringLiteral("sets")));
    AlbumSet::exportAlbumSet();
    const QString exported = home.filePath(QStringLiteral("sets.plist"));
    QVERIFY(QFileInfo::exists(exported));
    QVERIFY(logText().contains(QStringLiteral("アルバムセット書き出し: %1").arg(exported)));
    QCOMPARE(alerts.last().kind, AlertRequest::Kind::SaveFile);
    QCOMPARE(alerts.last().proposedName, QStringLiteral("名称未設定"));
    // Exporting onto an existing file asks first; "キャンセル" leaves that file as it was.
    const QByteArray before = readFile(exported);
    AlbumSet::addAlbumSet(QStringLiteral("秋"), record(QStringLiteral("ソレイナ")));
    alerts.enqueueFile(home.filePath(QStringLiteral("sets")));
    alerts.enqueueNg();
    AlbumSet::exportAlbumSet();
    QCOMPARE(alerts.last().message, QStringLiteral("同じ名前のファイルがあります"));
    QCOMPARE(readFile(exported), before);
    AlbumSet::delAlbumSet(2);

    AlbumSet::store({}, {});
    UserDef::removeObjectForKey(QStringLiteral("AlbumSetTitles"));
    UserDef::removeObjectForKey(QStringLiteral("AlbumSetDics"));
    alerts.clear();
    alerts.enqueueFile(exported);
    alerts.enqueueButton(1); // 追加
    AlbumSet::importAlbumSet();
    QCOMPARE(AlbumSet::titles(), (QStringList{QStringLiteral("春"), QStringLiteral("夏")}));
    QCOMPARE(AlbumSet::albumSetDic(0)->value(QStringLiteral("AlAlbumPop")).toString(),
             QStringLiteral("ウェディングアルバム"));
    QCOMPARE(alerts.last().message, QStringLiteral("読み込み状態の選択。"));
    QCOMPARE(alerts.last().okTitle, QStringLiteral("追加"));
    QCOMPARE(alerts.last().ngTitle, QStringLiteral("キャンセル"));
    QCOMPARE(alerts.last().thirdTitle, QStringLiteral("上書き"));
    // The backup of the (empty) store was written before.
    QVERIFY(QFileInfo::exists(AlbumSet::bkAlbumSetPath()));
    QVERIFY(logText().contains(QStringLiteral("追加")));
}

void TestAlbumSet::importWithAddIntoAFullStoreMergesAndConverts() {
    TestHome home;
    AlertRecorder alerts;
    AlbumSet::addAlbumSet(QStringLiteral("春"), record(QStringLiteral("ソレイナ")));
    AlbumSet::addAlbumSet(QStringLiteral("夏"),
                          record(QStringLiteral("フォトブック スタンダード")));
    const QString file =
        setFile(home, QStringLiteral("in.plist"), {QStringLiteral("夏"), QStringLiteral("秋")},
                {record(QStringLiteral("ウェディングアルバム")),
                 record(QStringLiteral("ウェディングアルバム"))});
    alerts.enqueueFile(file);
    alerts.enqueueOk();      // the same-name notice
    alerts.enqueueButton(1); // 追加
    AlbumSet::importAlbumSet();
    QVERIFY(alerts.messages().contains(QStringLiteral("同じ名称のセットが含まれています。")));
    QVERIFY(logText().contains(QStringLiteral("同じ名称のセットあり")));
    // "夏" keeps one entry with the imported (converted) record; "秋" is appended.
    QCOMPARE(AlbumSet::titles(),
             (QStringList{QStringLiteral("春"), QStringLiteral("夏"), QStringLiteral("秋")}));
    QCOMPARE(AlbumSet::albumSetDic(1)->value(QStringLiteral("AlAlbumPop")).toString(),
             QStringLiteral("婚礼デザインアルバム"));
    QCOMPARE(AlbumSet::albumSetDic(2)->value(QStringLiteral("AlAlbumPop")).toString(),
             QStringLiteral("婚礼デザインアルバム"));
    // The backup holds the store as it was.
    const QVariantMap backup = readSetFileContent(AlbumSet::bkAlbumSetPath());
    QCOMPARE(backup.value(QStringLiteral("TitleArray")).toStringList(),
             (QStringList{QStringLiteral("春"), QStringLiteral("夏")}));
}

void TestAlbumSet::importWithOverwriteReplacesEverythingAfterItsBackup() {
    TestHome home;
    AlertRecorder alerts;
    AlbumSet::addAlbumSet(QStringLiteral("春"), record(QStringLiteral("ソレイナ")));
    const QString file = setFile(home, QStringLiteral("in.plist"), {QStringLiteral("冬")},
                                 {record(QStringLiteral("ウェディングアルバム"))});
    alerts.enqueueFile(file);
    alerts.enqueueButton(3); // 上書き
    AlbumSet::importAlbumSet();
    QCOMPARE(AlbumSet::titles(), QStringList{QStringLiteral("冬")});
    QCOMPARE(AlbumSet::albumSetDic(0)->value(QStringLiteral("AlAlbumPop")).toString(),
             QStringLiteral("婚礼デザインアルバム"));
    QCOMPARE(readSetFileContent(AlbumSet::bkAlbumSetPath())
                 .value(QStringLiteral("TitleArray"))
                 .toStringList(),
             QStringList{QStringLiteral("春")});
    QVERIFY(logText().contains(QStringLiteral("上書き")));
}

void TestAlbumSet::importOfAnOldFormatFileConvertsEveryRecord() {
    TestHome home;
    AlertRecorder alerts;
    // One record without "AlOptoinArray" makes the whole file old: every record is converted,
    // even into an empty store.
    const QString file =
        setFile(home, QStringLiteral("old.plist"), {QStringLiteral("A"), QStringLiteral("B")},
                {record(QStringLiteral("ウェディングアルバム"), false),
                 record(QStringLiteral("ウェディングアルバム 30S"))});
    alerts.enqueueFile(file);
    alerts.enqueueButton(1);
    AlbumSet::importAlbumSet();
    QCOMPARE(AlbumSet::albumSetDic(0)->value(QStringLiteral("AlAlbumPop")).toString(),
             QStringLiteral("婚礼デザインアルバム"));
    QCOMPARE(AlbumSet::albumSetDic(1)->value(QStringLiteral("AlAlbumPop")).toString(),
             QStringLiteral("婚礼デザインアルバム 30S"));
    QVERIFY(logText().contains(QStringLiteral("isAlbumSetOld=YES")));
}

void TestAlbumSet::importRefusesForeignAndDamagedFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("information");
    const auto plist = [](const QVariantMap& map) { return plistXmlFromVariant(map); };
    QTest::newRow("not a property list")
        << QByteArray("hello") << QStringLiteral("有効な情報を入ってないファイルです");
    QTest::newRow("only TitleArray")
        << plist({{QStringLiteral("TitleArray"), QVariantList{QStringLiteral("A")}}})
        << QStringLiteral("アルバム商品セットのファイルではありません");
    // Two lists of different length would pair names with the wrong records.
    QTest::newRow("lists of different length")
        << plist({{QStringLiteral("TitleArray"),
                   QVariantList{QStringLiteral("A"), QStringLiteral("B")}},
                  {QStringLiteral("DicArray"), QVariantList{record(QStringLiteral("ソレイナ"))}}})
        << QStringLiteral("アルバム商品セットのファイルではありません");
    // Under 200 bytes that libplist would copy out to billions of values, and a list that holds
    // itself: refused before they are expanded.
    QTest::newRow("shared references")
        << plistbomb::sharedReferences("TitleArray", 32, 2)
        << QStringLiteral("アルバム商品セットのファイルではありません");
    QTest::newRow("cycle") << plistbomb::cycle("DicArray")
                           << QStringLiteral("アルバム商品セットのファイルではありません");
}

void TestAlbumSet::importRefusesForeignAndDamagedFiles() {
    QFETCH(QByteArray, content);
    QFETCH(QString, information);
    TestHome home;
    AlertRecorder alerts;
    AlbumSet::addAlbumSet(QStringLiteral("春"), record(QStringLiteral("ソレイナ")));
    const QString file = home.filePath(QStringLiteral("bad.plist"));
    QVERIFY(writeFile(file, content));
    alerts.enqueueFile(file);
    AlbumSet::importAlbumSet();
    QCOMPARE(alerts.last().message, QStringLiteral("このファイルは読み込めません"));
    QCOMPARE(alerts.last().information, information);
    QCOMPARE(AlbumSet::titles(), QStringList{QStringLiteral("春")});
    QVERIFY(!QFileInfo::exists(AlbumSet::bkAlbumSetPath()));
}

void TestAlbumSet::cancelledImportChangesNothing() {
    TestHome home;
    AlertRecorder alerts;
    AlbumSet::addAlbumSet(QStringLiteral("春"), record(QStringLiteral("ソレイナ")));
    const QString file = setFile(home, QStringLiteral("in.plist"), {QStringLiteral("冬")},
                                 {record(QStringLiteral("ソレイナ"))});
    alerts.enqueueFile(file);
    alerts.enqueueButton(2); // キャンセル
    AlbumSet::importAlbumSet();
    QCOMPARE(AlbumSet::titles(), QStringList{QStringLiteral("春")});
    // Escape and the close box mean "キャンセル" too, never "上書き".
    QCOMPARE(alerts.last().escapeButton, 2);
    QVERIFY(!QFileInfo::exists(AlbumSet::bkAlbumSetPath()));
    // A record that is not a dictionary fails the merge: the store stays as it was.
    QVERIFY(!AlbumSet::importAlbumSetJobWithTitleArray({QStringLiteral("X")},
                                                       {QStringLiteral("not a record")}));
    QCOMPARE(alerts.last().message, QStringLiteral("読み込み中に予期しないエラーが発生しました"));
    QCOMPARE(AlbumSet::titles(), QStringList{QStringLiteral("春")});
}

void TestAlbumSet::failedBackupStopsTheImport() {
    TestHome home;
    AlertRecorder alerts;
    AlbumSet::addAlbumSet(QStringLiteral("春"), record(QStringLiteral("ソレイナ")));
    const QString file = setFile(home, QStringLiteral("in.plist"), {QStringLiteral("冬")},
                                 {record(QStringLiteral("ソレイナ"))});
    // A folder where the backup file should be: it cannot be written.
    QVERIFY(QDir().mkpath(AlbumSet::bkAlbumSetPath()));
    for (int button : {3, 1}) {
        alerts.clear();
        alerts.enqueueFile(file);
        alerts.enqueueButton(button);
        AlbumSet::importAlbumSet();
        QCOMPARE(alerts.last().message,
                 QStringLiteral("アルバムセットのバックアップを作成できませんでした"));
        QCOMPARE(AlbumSet::titles(), QStringList{QStringLiteral("春")});
    }
}

void TestAlbumSet::failedExportIsReportedAndLeavesTheTargetWhole() {
    TestHome home;
    AlertRecorder alerts;
    AlbumSet::addAlbumSet(QStringLiteral("春"), record(QStringLiteral("ソレイナ")));
    // A file where the folder should be: nothing can be written below it, whoever runs this.
    const QString blocker = home.filePath(QStringLiteral("blocker"));
    QVERIFY(writeFile(blocker, "not a folder"));
    QVERIFY(!AlbumSet::exportAlbumSetToFilePath(blocker + QStringLiteral("/sets.plist")));
    QCOMPARE(alerts.last().message, QStringLiteral("アルバムセットを書き出せませんでした"));
    QCOMPARE(readFile(blocker), QByteArray("not a folder"));
    const QString target = home.filePath(QStringLiteral("sets.plist"));
    QVERIFY(writeFile(target, "previous"));
    // A good export replaces the file whole.
    QVERIFY(AlbumSet::exportAlbumSetToFilePath(target));
    QCOMPARE(readSetFileContent(target).value(QStringLiteral("TitleArray")).toStringList(),
             QStringList{QStringLiteral("春")});
}

void TestAlbumSet::startUpResetKeepsItsBackupOfTheOldSets() {
    TestHome home;
    AlertRecorder alerts;
    WorkFolder::checkWorkFolder();
    AlbumSet::store({QStringLiteral("古い")},
                    {record(QStringLiteral("ウェディングアルバム"), false)});
    AlbumSet::albumSetDicCheck();
    AlbumSet::albumSetAutoReset();
    AlbumSet::albumSetAutoConvert();
    QCOMPARE(UserDef::albumSetNum(), 0);
    // The conversion of the emptied lists changed nothing and left the reset's copy alone.
    const QVariantMap backup = readSetFileContent(AlbumSet::bkOldAlbumSetPath());
    QCOMPARE(backup.value(QStringLiteral("TitleArray")).toStringList(),
             QStringList{QStringLiteral("古い")});
    QCOMPARE(backup.value(QStringLiteral("DicArray"))
                 .toList()
                 .value(0)
                 .toMap()
                 .value(QStringLiteral("AlAlbumPop"))
                 .toString(),
             QStringLiteral("ウェディングアルバム"));
}

void TestAlbumSet::startUpConversionBacksUpOnlyARealChange() {
    TestHome home;
    AlertRecorder alerts;
    WorkFolder::checkWorkFolder();
    AlbumSet::store({QStringLiteral("今")}, {record(QStringLiteral("ソレイナ"))});
    AlbumSet::albumSetDicCheck();
    AlbumSet::albumSetAutoReset();
    AlbumSet::albumSetAutoConvert();
    QVERIFY(!QFileInfo::exists(AlbumSet::bkOldAlbumSetPath()));

    AlbumSet::store({QStringLiteral("婚礼")}, {record(QStringLiteral("ウェディングアルバム"))});
    AlbumSet::albumSetAutoReset();
    AlbumSet::albumSetAutoConvert();
    QCOMPARE(AlbumSet::albumSetDic(0)->value(QStringLiteral("AlAlbumPop")).toString(),
             QStringLiteral("婚礼デザインアルバム"));
    QCOMPARE(readSetFileContent(AlbumSet::bkOldAlbumSetPath())
                 .value(QStringLiteral("DicArray"))
                 .toList()
                 .value(0)
                 .toMap()
                 .value(QStringLiteral("AlAlbumPop"))
                 .toString(),
             QStringLiteral("ウェディングアルバム"));
}

void TestAlbumSet::startUpCheckDropsOnlyTheUnreadableSet() {
    TestHome home;
    AlertRecorder alerts;
    WorkFolder::checkWorkFolder();
    AlbumSet::store({QStringLiteral("良い1"), QStringLiteral("壊れた"), QStringLiteral("良い2")},
                    {record(QStringLiteral("ソレイナ")), QStringLiteral("garbage"),
                     record(QStringLiteral("フォトブック スタンダード"))});
    AlbumSet::albumSetDicCheck();
    QCOMPARE(AlbumSet::titles(), (QStringList{QStringLiteral("良い1"), QStringLiteral("良い2")}));
    QCOMPARE(AlbumSet::albumSetDic(1)->value(QStringLiteral("AlAlbumPop")).toString(),
             QStringLiteral("フォトブック スタンダード"));
    QVERIFY(logText().contains(QStringLiteral("読めないアルバムセットを外しました（壊れた）")));
    // The damaged lists were kept first, whole.
    const QVariantMap backup = readSetFileContent(AlbumSet::bkDamagedAlbumSetPath());
    QCOMPARE(backup.value(QStringLiteral("TitleArray")).toStringList().size(), 3);
    QCOMPARE(backup.value(QStringLiteral("DicArray")).toList().value(1).toString(),
             QStringLiteral("garbage"));
}

QTEST_GUILESS_MAIN(TestAlbumSet)
#include "tst_AlbumSet.moc"
