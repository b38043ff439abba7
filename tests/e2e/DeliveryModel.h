#pragma once

// The delivery model: the send stage driven through every crash point of the job hook, crossed
// with what the lab does (a reply lost, APPE refused, SIZE answered 550, the line cut in the
// middle of the upload, listings refused) and what it does between two sends (keeps, takes or
// sweeps the files), with or without an earlier broken upload waiting to be continued. After the
// next send the order is at the lab exactly once with identical bytes, or in the pool with the
// studio told; never reported sent without the lab holding it, never two copies. Each
// tst_DeliveryModel* runs a part, so that CTest can spread them.
#include "AlertRecorder.h"
#include "LabSim.h"
#include "PoolArchives.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "job/JobTestHook.h"
#include "job/SendJob.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>
#include <chrono>
#include <optional>
#include <thread>
#include <unistd.h>

namespace model {

using Point = JobTestHook::Point;

const QString kFolder = QStringLiteral("/ntordrsm2/");
const QString kName = QStringLiteral("1234_001122AABBCC_0000077.zip");
const QString kTemp = QStringLiteral("upload_") + kName;
constexpr qint64 kArchiveSize = 400'000;

enum class LabFault { Healthy, ReplyLost, RefusesAppe, Size550, LineCut, ListingFails };
enum class Between { Keeps, Takes, Sweeps };

inline QString faultName(LabFault fault) {
    switch (fault) {
    case LabFault::Healthy:
        return QStringLiteral("healthy");
    case LabFault::ReplyLost:
        return QStringLiteral("RNTO reply lost");
    case LabFault::RefusesAppe:
        return QStringLiteral("APPE refused");
    case LabFault::Size550:
        return QStringLiteral("SIZE 550");
    case LabFault::LineCut:
        return QStringLiteral("line cut mid-upload");
    case LabFault::ListingFails:
        return QStringLiteral("NLST refused");
    }
    return {};
}

inline QJsonObject faultsOf(LabFault fault) {
    switch (fault) {
    case LabFault::ReplyLost:
        return {{QStringLiteral("rnto_drop_reply"), true}};
    case LabFault::RefusesAppe:
        return {{QStringLiteral("refuse_appe"), true}};
    case LabFault::Size550:
        return {{QStringLiteral("size_550"), true}};
    case LabFault::ListingFails:
        return {{QStringLiteral("fail_nlst"), true}};
    case LabFault::LineCut:
        // Every try breaks half-way through what it sends: the upload goes on only by resuming.
        return {{QStringLiteral("drop_upload_after"), kArchiveSize / 2}};
    default:
        return {};
    }
}

inline QString pointName(std::optional<Point> point) {
    if (!point)
        return QStringLiteral("no crash");
    switch (*point) {
    case Point::UploadIntentWritten:
        return QStringLiteral("upload recorded");
    case Point::ResumeProbed:
        return QStringLiteral("resume: SIZE once");
    case Point::UploadStarted:
        return QStringLiteral("during STOR/APPE");
    case Point::UploadFinished:
        return QStringLiteral("upload ended");
    case Point::RenameIntentWritten:
        return QStringLiteral("rename recorded");
    case Point::AfterRename:
        return QStringLiteral("after RNFR/RNTO");
    case Point::RenameConfirmed:
        return QStringLiteral("rename confirmed");
    default:
        return QStringLiteral("?");
    }
}

inline QList<std::optional<Point>> crashPoints() {
    return {std::nullopt,         Point::UploadIntentWritten, Point::ResumeProbed,
            Point::UploadStarted, Point::UploadFinished,      Point::RenameIntentWritten,
            Point::AfterRename,   Point::RenameConfirmed};
}

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Model {
public:
    Model() : taken(lab.rootDir() + QStringLiteral("/taken")) {}
    bool ready() const { return lab.isRunning(); }
    QString error() const { return lab.errorText(); }
    int cases = 0;
    int crashesReached = 0;
    QStringList failures;

    // Every case whose first send meets one of these lab faults.
    void runGroup(const QList<LabFault>& faults) {
        for (const LabFault fault : faults) {
            // A fault that lasts is met by the next send too; a lost reply or a cut line is a
            // moment's.
            QList<bool> persists{false};
            if (fault == LabFault::RefusesAppe || fault == LabFault::Size550 ||
                fault == LabFault::ListingFails)
                persists.append(true);
            for (const std::optional<Point>& point : crashPoints())
                for (const bool partial : {false, true})
                    for (const Between between : {Between::Keeps, Between::Takes, Between::Sweeps})
                        for (const bool lasting : persists)
                            runCase(fault, point, partial, between, lasting);
        }
    }

private:
    void resetLab() {
        lab.clearFaults();
        QDir(lab.ftpLocalPath(kFolder)).removeRecursively();
        QDir().mkpath(lab.ftpLocalPath(kFolder));
        QDir(taken).removeRecursively();
        QDir().mkpath(taken);
        logStart = lab.ftpLog().size();
    }
    int countSinceStart(const QString& cmd, const QString& name) const {
        const QList<QJsonObject> log = lab.ftpLog();
        int n = 0;
        for (qsizetype i = logStart; i < log.size(); ++i)
            n += log.at(i).value(QStringLiteral("cmd")).toString() == cmd &&
                 log.at(i).value(QStringLiteral("path")).toString() == kFolder + name;
        return n;
    }
    bool send() {
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);
        return job.start(std::nullopt);
    }

    void runCase(LabFault fault, std::optional<Point> point, bool partial, Between between,
                 bool lasting) {
        ++cases;
        TestHome home;
        AlertRecorder alerts;
        JobTestHook::reset();
        JobTestHook::setRenameRetryPause(std::chrono::milliseconds(1));
        JobTestHook::setGrowthCheckPause(std::chrono::milliseconds(20));
        resetLab();
        QRandomGenerator generator(static_cast<quint32>(cases));
        QByteArray data(kArchiveSize, Qt::Uninitialized);
        generator.fillRange(reinterpret_cast<quint32*>(data.data()), kArchiveSize / 4);
        const QString path = poolkit::poolWithRecord(kName, data);
        const QString labFolder = lab.ftpLocalPath(kFolder);

        // An earlier send broke off half-way and was killed: its part waits at the lab.
        if (partial) {
            lab.setFaults({{QStringLiteral("drop_upload_after"), kArchiveSize / 2},
                           {QStringLiteral("drop_upload_times"), 1}});
            // Let the lab hold its part before the kill lands: the drop ends curl by itself.
            JobTestHook::set([labFolder](Point at) {
                if (at != Point::UploadStarted)
                    return;
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                while (QFileInfo(labFolder + u'/' + kTemp).size() < kArchiveSize / 2 &&
                       std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                JobTestHook::setKillAt(Point::UploadStarted);
            });
            send();
            JobTestHook::set({});
            JobTestHook::setKillAt(std::nullopt);
            lab.clearFaults();
        }

        // The send that crashes at the point, meeting the fault.
        lab.setFaults(faultsOf(fault));
        bool reached = false;
        JobTestHook::set([&](Point at) {
            if (point && at == *point)
                reached = true;
        });
        JobTestHook::setKillAt(point);
        const bool firstSent = send();
        JobTestHook::set({});
        JobTestHook::setKillAt(std::nullopt);
        crashesReached += reached;
        const bool firstToldSent =
            alerts.messages().contains(QStringLiteral("データを送信しました"));
        const int renamesAfterFirst = countSinceStart(QStringLiteral("RENAMED"), kName);

        // What the lab does in between.
        if (between == Between::Takes && QFile::exists(labFolder + u'/' + kName))
            QFile::rename(labFolder + u'/' + kName, taken + u'/' + kName);
        if (between == Between::Sweeps)
            QFile::remove(labFolder + u'/' + kTemp);

        // The next send.
        lab.setFaults(lasting ? faultsOf(fault) : QJsonObject());
        const qsizetype alertsBefore = alerts.count();
        const bool nextSent = send();
        lab.clearFaults();
        const bool nextToldSent =
            alerts.messages().mid(alertsBefore).contains(QStringLiteral("データを送信しました"));
        const bool told = alerts.count() > alertsBefore;

        const int renames = countSinceStart(QStringLiteral("RENAMED"), kName);
        const QByteArray atLab = QFile::exists(labFolder + u'/' + kName)
                                     ? fileBytes(labFolder + u'/' + kName)
                                     : fileBytes(taken + u'/' + kName);
        const bool inPool = QFile::exists(path);
        QStringList wrong;
        if (renames > 1)
            wrong << QStringLiteral("DELIVERED %1 TIMES").arg(renames);
        if ((firstSent || firstToldSent) && (renamesAfterFirst != 1 || atLab != data))
            wrong << QStringLiteral("FIRST SEND REPORTED SENT WITHOUT PROOF");
        if ((nextSent || nextToldSent) && (renames != 1 || atLab != data))
            wrong << QStringLiteral("REPORTED SENT WITHOUT PROOF");
        if (renames == 1 && atLab != data)
            wrong << QStringLiteral("LAB HOLDS OTHER BYTES");
        if (!inPool && !(renames == 1 && atLab == data))
            wrong << QStringLiteral("LOST (neither pool nor lab)");
        if (inPool && fileBytes(path) != data)
            wrong << QStringLiteral("POOL COPY CHANGED");
        if (inPool && !told && !(firstSent || nextSent))
            wrong << QStringLiteral("IN POOL, STUDIO NOT TOLD");
        if (inPool && (nextSent || nextToldSent))
            wrong << QStringLiteral("REPORTED SENT BUT STILL IN POOL");
        if (!wrong.isEmpty()) {
            failures << QStringLiteral("%1 | %2 | %3 | %4%5 | first %6, next %7 | %8")
                            .arg(faultName(fault), pointName(point),
                                 partial ? QStringLiteral("part waiting") : QStringLiteral("fresh"),
                                 between == Between::Keeps   ? QStringLiteral("lab keeps")
                                 : between == Between::Takes ? QStringLiteral("lab takes")
                                                             : QStringLiteral("lab sweeps"),
                                 lasting ? QStringLiteral(", fault lasts") : QString(),
                                 firstSent ? QStringLiteral("sent") : QStringLiteral("not sent"),
                                 nextSent ? QStringLiteral("sent") : QStringLiteral("not sent"),
                                 wrong.join(QStringLiteral(", ")));
        }
        JobTestHook::reset();
    }

    LabSim lab;
    QString taken;
    qsizetype logStart = 0;
};

// The body of each part: its groups, the count of cases, every failure named.
inline void runModelPart(const QList<LabFault>& faults) {
    Model model;
    QVERIFY2(model.ready(), qPrintable(model.error()));
    model.runGroup(faults);
    QStringList names;
    for (const LabFault fault : faults)
        names << faultName(fault);
    qInfo().noquote() << QStringLiteral("Delivery model (%1): %2 cases run, %3 of them crashed at "
                                        "their point, %4 failed")
                             .arg(names.join(QStringLiteral(", ")))
                             .arg(model.cases)
                             .arg(model.crashesReached)
                             .arg(model.failures.size());
    QVERIFY2(model.failures.isEmpty(), qPrintable(model.failures.join(u'\n')));
    QVERIFY(model.cases >= 90); // the three parts run 432 together
}

} // namespace model
