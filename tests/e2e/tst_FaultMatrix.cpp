// Every fault of the lab against every moment of a cancel: run the order job, then one pool send
// with the lab healthy. Afterwards the lab holds the order exactly once under its final name, or
// the pool holds it and the lab holds no final name; never neither, never both, never twice.
#include "../job/PipelineTestKit.h"
#include "AlertRecorder.h"
#include "LabSim.h"
#include "TestHome.h"
#include "job/JobTestHook.h"
#include "job/JobThread.h"
#include "job/NotificationCenter.h"
#include "job/OrderHistory.h"
#include "settings/UserDef.h"
#include "util/WorkFolder.h"

#include <QJsonObject>
#include <QtTest>
#include <chrono>

namespace {

const QString kRemote = QStringLiteral("/ntordrsm2/");
const QString kForeign = QStringLiteral("12#4_001122AABBCC_0000007.zip");

// Slow enough that an upload is still running when the test acts at its first progress line.
constexpr int kSlowUploadRate = 40000;

struct Fault {
    QString name;
    QJsonObject faults;
    bool stopLab = false;       // the lab goes away while the upload runs
    bool foreignInPool = false; // an archive named with "#" waits in the pool
};

enum class CancelAt { Never, DuringUpload, AfterRename, AfterPoolMove };

QString cancelName(CancelAt at) {
    switch (at) {
    case CancelAt::Never:
        return QStringLiteral("no cancel");
    case CancelAt::DuringUpload:
        return QStringLiteral("cancel during upload");
    case CancelAt::AfterRename:
        return QStringLiteral("cancel right after RNTO");
    case CancelAt::AfterPoolMove:
        return QStringLiteral("cancel right after pool move");
    }
    return {};
}

QList<Fault> faults() {
    const QString temp = QStringLiteral("upload_*");
    return {
        {QStringLiteral("no fault"), {}},
        {QStringLiteral("refuse login"), {{QStringLiteral("refuse_login"), true}}},
        {QStringLiteral("drop after N bytes"),
         {{QStringLiteral("drop_upload_after"), 30000},
          {QStringLiteral("drop_upload_match"), temp}}},
        {QStringLiteral("rename keeps temp"), {{QStringLiteral("rename_keeps_temp"), true}}},
        {QStringLiteral("listing fails"), {{QStringLiteral("fail_nlst"), true}}},
        {QStringLiteral("lab stopped mid-upload"),
         {{QStringLiteral("upload_rate"), kSlowUploadRate}},
         true},
        {QStringLiteral("silent truncation"),
         {{QStringLiteral("truncate_upload"), 1000},
          {QStringLiteral("truncate_upload_match"), temp}}},
        {QStringLiteral("temp vanishes"), {{QStringLiteral("vanish_upload"), temp}}},
        {QStringLiteral("archive named with #"), {}, false, true},
        {QStringLiteral("write-only folder, empty NLST"), {{QStringLiteral("write_only"), true}}},
        {QStringLiteral("RNTO refused"), {{QStringLiteral("refuse_rnto"), true}}},
    };
}

void orderSettings() {
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
    UserDef::setObject(QStringLiteral("BtSend"), QStringLiteral("ExecuteBt"));
    UserDef::setObject(QStringLiteral("AcNowSend"), QStringLiteral("OrderActionType"));
    UserDef::setEtcDic({{QStringLiteral("EtcOrderMemoKey"), QStringLiteral("matrix")}});
}

int countOf(const LabSim& lab, const QString& cmd, const QString& path) {
    int n = 0;
    for (const QJsonObject& entry : lab.ftpLog()) {
        if (entry.value(QStringLiteral("cmd")).toString() == cmd &&
            entry.value(QStringLiteral("path")).toString() == path)
            ++n;
    }
    return n;
}

// The archive passes unzip's test with the order's password.
bool archiveIsWhole(const QString& path) {
    const ProcessResult r =
        runProcess(ToolPaths::unzip(),
                   {QStringLiteral("-tqq"), QStringLiteral("-P"), QStringLiteral("qelvoxa"), path});
    return r.succeeded() && kit::zipEntries(path).value(0) == QStringLiteral("PrintReport4.txt");
}

// Where the order's archive went so far, with the error of its latest failed send.
QString travelSoFar(const LabSim& lab) {
    QString name;
    QString failure;
    for (const OrderHistoryRecord& record : OrderHistory::records()) {
        if (record.archiveName == kForeign)
            continue;
        if (record.outcome == OrderHistoryRecord::Outcome::Pooled)
            name = record.archiveName;
        if (record.outcome == OrderHistoryRecord::Outcome::Failed)
            failure = record.errorText;
        if (record.outcome == OrderHistoryRecord::Outcome::Sent ||
            record.outcome == OrderHistoryRecord::Outcome::DuplicateSkipped)
            failure.clear();
    }
    if (name.isEmpty())
        return QStringLiteral("no archive");
    const bool inPool = QFileInfo::exists(WorkFolder::orderZipPoolFolderPath() + u'/' + name);
    const bool atLab = lab.ftpFolderFiles(kRemote).contains(name);
    QString where = atLab
                        ? (inPool ? QStringLiteral("at lab and in pool") : QStringLiteral("at lab"))
                        : (inPool ? QStringLiteral("in pool") : QStringLiteral("nowhere"));
    if (inPool && !failure.isEmpty())
        where += QStringLiteral(" [") + failure + u']';
    return where;
}

struct CellResult {
    bool ok = false;
    QString text;
};

CellResult runCell(const Fault& fault, CancelAt cancelAt) {
    CellResult result;
    TestHome home;
    LabSim lab;
    if (!lab.isRunning()) {
        result.text = QStringLiteral("lab did not start: ") + lab.errorText();
        return result;
    }
    AlertRecorder alerts;
    JobTestHook::reset();
    JobTestHook::setRenameRetryPause(std::chrono::milliseconds(20));
    JobTestHook::setGrowthCheckPause(std::chrono::milliseconds(50));
    orderSettings();

    if (fault.foreignInPool) {
        WorkFolder::checkWorkFolder();
        kit::writeFile(WorkFolder::orderZipPoolFolderPath() + u'/' + kForeign, 20000, 99);
    }
    const QString folder = home.filePath(QStringLiteral("Order"));
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        files.append(folder + QStringLiteral("/photo%1.jpg").arg(i));
        kit::writeFile(files.constLast(), 40000, static_cast<quint32>(i + 1));
    }

    QJsonObject labFaults = fault.faults;
    if (cancelAt == CancelAt::DuringUpload)
        labFaults.insert(QStringLiteral("upload_rate"), kSlowUploadRate);
    lab.setFaults(labFaults);

    bool labStopped = false;
    bool cancelPosted = false;
    JobTestHook::set([&](JobTestHook::Point point) {
        if (point == JobTestHook::Point::UploadStarted && fault.stopLab && !labStopped) {
            labStopped = true;
            lab.stop();
        }
        const bool cancelNow =
            (cancelAt == CancelAt::DuringUpload && point == JobTestHook::Point::UploadStarted) ||
            (cancelAt == CancelAt::AfterRename && point == JobTestHook::Point::AfterRename) ||
            (cancelAt == CancelAt::AfterPoolMove && point == JobTestHook::Point::AfterPoolMove);
        if (cancelNow) {
            cancelPosted = true;
            NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
        }
    });

    DirectActions actions;
    JobThreadRunner runner(actions);
    const bool jobOk = runner.jobThread({OrderTab::Etc, files, folder, nullptr, nullptr, false});
    JobTestHook::set({});
    const QString afterJob = travelSoFar(lab);

    // Then one pool send with the lab healthy.
    if (labStopped && !lab.restart()) {
        result.text = QStringLiteral("lab did not restart: ") + lab.errorText();
        return result;
    }
    lab.clearFaults();
    UserDef::setObject(QStringLiteral("BtSendOnly"), QStringLiteral("ExecuteBt"));
    const bool poolOk = runner.jobThread({std::nullopt, {}, QString(), nullptr, nullptr, false});
    JobTestHook::reset();
    Q_UNUSED(poolOk);
    const QString afterPoolSend = travelSoFar(lab);

    // The order's name as the zip stage chose it.
    QString name;
    for (const OrderHistoryRecord& record : OrderHistory::records()) {
        if (record.outcome == OrderHistoryRecord::Outcome::Pooled && record.archiveName != kForeign)
            name = record.archiveName;
    }
    const QStringList pool = QDir(WorkFolder::orderZipPoolFolderPath()).entryList(QDir::Files);
    const QStringList remote = lab.ftpFolderFiles(kRemote);
    const int deliveries =
        name.isEmpty() ? 0 : countOf(lab, QStringLiteral("RENAMED"), kRemote + name);
    const bool inPool = !name.isEmpty() && pool.contains(name);
    const bool atLab = !name.isEmpty() && remote.contains(name);
    QStringList leftovers;
    for (const QString& file : remote) {
        if (file != name)
            leftovers.append(file);
    }

    QString state;
    if (name.isEmpty()) {
        state = QStringLiteral("NO ARCHIVE MADE");
    } else if (atLab && inPool) {
        state = QStringLiteral("BOTH lab and pool");
    } else if (atLab) {
        state = deliveries == 1 ? QStringLiteral("lab holds it once")
                                : QStringLiteral("DELIVERED %1 TIMES").arg(deliveries);
        if (!archiveIsWhole(lab.ftpLocalPath(kRemote) + u'/' + name))
            state += QStringLiteral(", BUT DAMAGED");
    } else if (inPool) {
        state = deliveries == 0 ? QStringLiteral("pool holds it, lab none")
                                : QStringLiteral("POOL, LAB HAD IT %1 TIMES").arg(deliveries);
    } else {
        state = QStringLiteral("NEITHER (LOST)");
    }
    bool ok = !name.isEmpty() && ((atLab && !inPool && deliveries == 1 &&
                                   archiveIsWhole(lab.ftpLocalPath(kRemote) + u'/' + name)) ||
                                  (inPool && !atLab && deliveries == 0));
    if (!leftovers.isEmpty()) {
        ok = false;
        state += QStringLiteral(", LEFT AT LAB: ") + leftovers.join(QStringLiteral(", "));
    }
    if (fault.foreignInPool) {
        const bool foreignKept =
            pool.contains(kForeign) && countOf(lab, QStringLiteral("STOR"),
                                               kRemote + QStringLiteral("upload_") + kForeign) == 0;
        state += foreignKept ? QStringLiteral("; \"#\" archive never sent, kept in pool")
                             : QStringLiteral("; \"#\" ARCHIVE SENT OR LOST");
        ok = ok && foreignKept;
    }
    if (cancelAt != CancelAt::Never && !cancelPosted)
        state += QStringLiteral(" (the job never reached that moment: no cancel)");
    result.ok = ok;
    result.text =
        QStringLiteral("job %1: %2 | pool send: %3 | %4")
            .arg(jobOk ? QStringLiteral("ok") : QStringLiteral("failed"), afterJob,
                 afterJob == afterPoolSend ? QStringLiteral("nothing changed") : afterPoolSend,
                 state);
    return result;
}

} // namespace

class TestFaultMatrix : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // One row of the matrix per fault: its four cancel moments.
    void faultRow_data() {
        QTest::addColumn<int>("index");
        const QList<Fault> all = faults();
        for (int i = 0; i < all.size(); ++i)
            QTest::newRow(qPrintable(all.at(i).name)) << i;
    }
    void faultRow() {
        QFETCH(int, index);
        const Fault fault = faults().at(index);
        QStringList failures;
        for (CancelAt at : {CancelAt::Never, CancelAt::DuringUpload, CancelAt::AfterRename,
                            CancelAt::AfterPoolMove}) {
            const CellResult cell = runCell(fault, at);
            const QString line =
                QStringLiteral("%1 | %2 | %3 | %4")
                    .arg(fault.name.leftJustified(29), cancelName(at).leftJustified(28),
                         cell.ok ? QStringLiteral("PASS") : QStringLiteral("FAIL"), cell.text);
            lines.append(line);
            qInfo().noquote() << line;
            if (!cell.ok)
                failures.append(line);
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }

    // The whole matrix once more, every cell named with its result.
    void cleanupTestCase() {
        qInfo().noquote() << QStringLiteral(
                                 "\nFault matrix (the job, then one pool send with the lab "
                                 "healthy; %1 cells):\n")
                                     .arg(lines.size()) +
                                 lines.join(u'\n');
    }

private:
    QStringList lines;
};

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_FaultMatrix.moc"
