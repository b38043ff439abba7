#include "AlertRecorder.h"
#include "PipelineTestKit.h"
#include "TestHome.h"
#include "job/Job.h"
#include "job/JobInfo.h"
#include "job/NotificationCenter.h"
#include "settings/UserDef.h"
#include "util/PathUtil.h"
#include "util/WorkFolder.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

// The base class alone, for its flags and progress operations.
class PlainJob : public Job {
public:
    using Job::Job;
    bool start() override { return isSucsess(); }
};

} // namespace

class TestJobInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tabIsTheOneCapturedAtSendNotTheOneSelectedNow();
    void zipNameCarriesCodeAddressAndNextBagNumber();
    void firstOrderAndDefaults();
    void eightDigitBagNumberIsNotCut();
    void pathsFollowTheWorkArea();
    void resizeFolderIsNamedAfterTheChosenFolder();
    void resizePixFollowsTheResizeProduct();
    void resizeFolderIsRecreatedEvenWhenTrashHasTheName();
    void initialArchiveHoldsOnlyTheReport();
    void initialArchiveFailsWithoutWorkArea();
    void progressOperationsReachTheTarget();
    void cancelReachesOnlySubscribedStages();
    void notificationCenterDeliversInOrderAndSurvivesRemoval();
};

void TestJobInfo::zipNameCarriesCodeAddressAndNextBagNumber() {
    TestHome home;
    UserDef::setObject(QStringLiteral("1234-01"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(qint64(41), QStringLiteral("BagNo"));
    UserDef::setObject(QStringLiteral("studio@example.jp"), QStringLiteral("CustomerEmail"));
    JobInfo info({}, QString(), nullptr, nullptr);
    QCOMPARE(info.customerCode(), QStringLiteral("1234"));
    QCOMPARE(info.bagNo(), qint64(42));
    QCOMPARE(info.zipName(), QStringLiteral("1234_001122AABBCC_0000042"));
    QCOMPARE(info.customerEmail(), QStringLiteral("studio@example.jp"));
    // Building the record does not consume the number; updateBagNo does.
    QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), qint64(41));
    info.updateBagNo();
    QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), qint64(42));
    QCOMPARE(info.zipName(), QStringLiteral("1234_001122AABBCC_0000042"));
}

void TestJobInfo::firstOrderAndDefaults() {
    TestHome home;
    UserDef::setObject(QStringLiteral("ABCDEF012345"), QStringLiteral("MacAddr"));
    JobInfo info({}, QString(), nullptr, nullptr);
    QCOMPARE(info.zipName(), QStringLiteral("0000_ABCDEF012345_0000001"));
    QCOMPARE(info.customerEmail(), QStringLiteral("NoEmailAddress"));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}$"))
                .match(info.dateStr())
                .hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{2}:\\d{2}:\\d{2}$"))
                .match(info.timeStr())
                .hasMatch());
}

void TestJobInfo::eightDigitBagNumberIsNotCut() {
    TestHome home;
    UserDef::setObject(QStringLiteral("77"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(qint64(12345677), QStringLiteral("BagNo"));
    JobInfo info({}, QString(), nullptr, nullptr);
    QCOMPARE(info.zipName(), QStringLiteral("77_001122AABBCC_12345678"));
}

void TestJobInfo::pathsFollowTheWorkArea() {
    TestHome home;
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    JobInfo info({}, QString(), nullptr, nullptr);
    const QString area = home.filePath(QStringLiteral("MVL_WorkArea"));
    QCOMPARE(info.zipFolderPath(), area + QStringLiteral("/1234_001122AABBCC_0000001"));
    QCOMPARE(info.zipFilePath(), area + QStringLiteral("/1234_001122AABBCC_0000001.zip"));
    QCOMPARE(info.zipPoolFilePath(),
             area + QStringLiteral("/OrderZipPool/1234_001122AABBCC_0000001.zip"));
}

void TestJobInfo::resizeFolderIsNamedAfterTheChosenFolder() {
    TestHome home;
    const QString wedding = home.filePath(QStringLiteral("Photos/Wedding"));
    QVERIFY(QDir().mkpath(wedding));
    QCOMPARE(JobInfo({}, QString(), nullptr, nullptr).resizeFolder(),
             QStringLiteral("りさいず_mini"));
    QCOMPARE(JobInfo({}, wedding, nullptr, nullptr).resizeFolder(), QStringLiteral("Wedding_mini"));
    QCOMPARE(JobInfo({}, wedding + u'/', nullptr, nullptr).resizeFolder(),
             QStringLiteral("Wedding_mini"));
    QCOMPARE(JobInfo({}, home.filePath(QStringLiteral("gone")), nullptr, nullptr).resizeFolder(),
             QStringLiteral("りさいず_mini"));
    QCOMPARE(JobInfo({}, wedding, nullptr, nullptr).resizeFolderPath(),
             home.filePath(QStringLiteral("MVL_WorkArea/Wedding_mini")));
}

void TestJobInfo::resizePixFollowsTheResizeProduct() {
    TestHome home;
    UserDef::setResizeDic({{QStringLiteral("ResizeGoodsOptionPopKey"),
                            QVariantMap{{QStringLiteral("name"), QStringLiteral("opt")},
                                        {QStringLiteral("resize_pix"), QStringLiteral("1600")}}},
                           {QStringLiteral("ResizeSizePopKey"),
                            QVariantMap{{QStringLiteral("resize_pix"), QStringLiteral("1200")}}}});
    UserDef::setObject(QStringLiteral("アルバム"), QStringLiteral("MainTabLabel"));
    QCOMPARE(JobInfo({}, QString(), nullptr, nullptr).selectProductResizePix(), qint64(1999));

    UserDef::setObject(QStringLiteral("リサイズ"), QStringLiteral("MainTabLabel"));
    QCOMPARE(JobInfo({}, QString(), nullptr, nullptr).selectProductResizePix(), qint64(1600));

    UserDef::setResizeDic({{QStringLiteral("ResizeGoodsOptionPopKey"),
                            QVariantMap{{QStringLiteral("name"), QStringLiteral("opt")}}},
                           {QStringLiteral("ResizeSizePopKey"),
                            QVariantMap{{QStringLiteral("resize_pix"), QStringLiteral("1200")}}}});
    QCOMPARE(JobInfo({}, QString(), nullptr, nullptr).selectProductResizePix(), qint64(1200));

    UserDef::setResizeDic({{QStringLiteral("ResizeSizePopKey"),
                            QVariantMap{{QStringLiteral("name"), QStringLiteral("L")}}}});
    QCOMPARE(JobInfo({}, QString(), nullptr, nullptr).selectProductResizePix(), qint64(1999));
    UserDef::setResizeDic({});
    QCOMPARE(JobInfo({}, QString(), nullptr, nullptr).selectProductResizePix(), qint64(1999));
}

void TestJobInfo::resizeFolderIsRecreatedEvenWhenTrashHasTheName() {
    TestHome home;
    QVERIFY(WorkFolder::checkWorkFolder());
    JobInfo info({}, QString(), nullptr, nullptr);
    for (int round = 0; round < 2; ++round) {
        QVERIFY(kit::writeText(info.resizeFolderPath() + QStringLiteral("/old.jpg"), "leftover"));
        QVERIFY(info.createResizeFolder());
        QVERIFY(orbel::isFolderPath(info.resizeFolderPath()));
        QVERIFY(QDir(info.resizeFolderPath()).isEmpty());
    }
    // The first leftover went to the Trash, where the second could not follow.
    QVERIFY(QFileInfo::exists(orbel::trashFolderPath() +
                              QStringLiteral("/files/りさいず_mini/old.jpg")));
}

void TestJobInfo::initialArchiveHoldsOnlyTheReport() {
    TestHome home;
    UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
    QVERIFY(WorkFolder::checkWorkFolder());
    JobInfo info({home.filePath(QStringLiteral("a.jpg"))}, QString(), nullptr, nullptr);
    // A leftover archive of the same name is cleared first.
    QVERIFY(kit::writeText(info.zipFilePath(), "not a zip"));
    QVERIFY(info.createZipFile());
    QCOMPARE(kit::zipEntries(info.zipFilePath()), QStringList{QStringLiteral("PrintReport4.txt")});
    QVERIFY(!QFileInfo::exists(info.zipFolderPath()));
    const std::optional<QByteArray> report = kit::zipContent(
        info.zipFilePath(), QStringLiteral("PrintReport4.txt"), QStringLiteral("qelvoxa"));
    QVERIFY(report);
    QVERIFY(report->startsWith("CUSTOMER_NUMBER="));
    QVERIFY(report->endsWith("(^^)\r\n"));
}

void TestJobInfo::initialArchiveFailsWithoutWorkArea() {
    TestHome home;
    UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
    JobInfo info({}, QString(), nullptr, nullptr);
    PlainJob job(info);
    QVERIFY(!job.createAndZipFilePath());
    QVERIFY(job.isErr());
    QVERIFY(!QFileInfo::exists(info.zipFilePath()));
}

void TestJobInfo::progressOperationsReachTheTarget() {
    TestHome home;
    RecordingProgress bar;
    RecordingProgress field;
    JobInfo info({}, QString(), nullptr, &bar, &field);
    PlainJob job(info);
    job.progressViewInitWithMsg(QStringLiteral("接続中"));
    job.progressViewInitMsgKeep();
    job.progressViewSetupWithMax(10);
    job.progressViewUpdateWithValue(3, QStringLiteral("3 / 10"));
    job.progressViewUpdateMsgKeepWithValue(4);
    job.progressViewUpdateWithMsg(QStringLiteral("only text"));
    job.progressViewClearKeepMsg();
    job.progressViewClear();
    QCOMPARE(
        bar.events(),
        (QStringList{QStringLiteral("indeterminate"), QStringLiteral("indeterminate"),
                     QStringLiteral("range:0-10"), QStringLiteral("value:3"),
                     QStringLiteral("value:4"), QStringLiteral("clear"), QStringLiteral("clear")}));
    QCOMPARE(field.events(),
             (QStringList{QStringLiteral("msg:接続中"), QStringLiteral("msg:"),
                          QStringLiteral("msg:3 / 10"), QStringLiteral("msg:only text"),
                          QStringLiteral("msgClear")}));
}

void TestJobInfo::cancelReachesOnlySubscribedStages() {
    TestHome home;
    JobInfo info({}, QString(), nullptr, nullptr);
    PlainJob first(info);
    PlainJob second(info);
    first.addCancelObserver();
    QVERIFY(first.isSucsess());
    NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
    QVERIFY(first.isCancel());
    QVERIFY(first.isFailure());
    QVERIFY(!first.isErr());
    QVERIFY(!second.isCancel());
    first.removeCancelObserver();
    first.errClear(); // clears the error flag only
    QVERIFY(first.isCancel());

    second.setErr(true);
    QVERIFY(second.isFailure());
    second.errClear();
    QVERIFY(second.isSucsess());
    {
        PlainJob scoped(info);
        scoped.addCancelObserver();
        QCOMPARE(NotificationCenter::defaultCenter().observerCount(kJobCancelNotification), 1);
    }
    // A destroyed stage is no longer subscribed.
    QCOMPARE(NotificationCenter::defaultCenter().observerCount(kJobCancelNotification), 0);
}

void TestJobInfo::notificationCenterDeliversInOrderAndSurvivesRemoval() {
    NotificationCenter center;
    QStringList seen;
    NotificationCenter::Token second = 0;
    const NotificationCenter::Token first =
        center.addObserver(QStringLiteral("viewRefresh"), [&](const QVariant& object) {
            seen.append(QStringLiteral("first:") + object.toString());
            center.removeObserver(second); // removed before its turn: not called
        });
    second = center.addObserver(QStringLiteral("viewRefresh"),
                                [&](const QVariant&) { seen.append(QStringLiteral("second")); });
    center.addObserver(QStringLiteral("other"), [&](const QVariant&) { seen.append("other"); });
    center.postNotification(QStringLiteral("viewRefresh"), QStringLiteral("x"));
    QCOMPARE(seen, QStringList{QStringLiteral("first:x")});
    center.removeObserver(first);
    center.postNotification(QStringLiteral("viewRefresh"));
    QCOMPARE(seen.size(), 1);
    QCOMPARE(center.observerCount(QStringLiteral("other")), 1);
}

QTEST_GUILESS_MAIN(TestJobInfo)
#include "tst_JobInfo.moc"

void TestJobInfo::tabIsTheOneCapturedAtSendNotTheOneSelectedNow() {
    TestHome home;
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setEtcDic({{QStringLiteral("EtcOrderMemoKey"), QStringLiteral("メモ")}});
    UserDef::setResizeDic({{QStringLiteral("ResizeResizeCbKey"), QStringLiteral("On")},
                           {QStringLiteral("ResizeSizePopKey"),
                            QVariantMap{{QStringLiteral("resize_pix"), QStringLiteral("1600")}}}});
    // The user switched to the resize tab after pressing Send on the etc tab.
    UserDef::setObject(QStringLiteral("リサイズ"), QStringLiteral("MainTabLabel"));
    const JobInfo info(OrderTab::Etc, {}, QString(), nullptr, nullptr);
    QVERIFY(info.isTab(OrderTab::Etc));
    QVERIFY(!info.isResizeMode());
    QVERIFY(info.isFullPathTab());
    QCOMPARE(info.selectProductResizePix(), qint64(1999));
    QVERIFY(info.printReport().contains(QStringLiteral("ORDER_TYPE=その他")));
    QVERIFY(!info.printReport().contains(QStringLiteral("ORDER_TYPE=リサイズ")));
    // A record made outside a job still follows the stored label.
    const JobInfo stored({}, QString(), nullptr, nullptr);
    QVERIFY(stored.isTab(OrderTab::Resize));
    QVERIFY(stored.isResizeMode());
    QCOMPARE(stored.selectProductResizePix(), qint64(1600));
}
