#pragma once

#include "job/PoolArchiveCheck.h"
#include "job/PoolArchiveRecord.h"
#include "job/StopWatch.h"
#include "service/LabFtpExchange.h"
#include "util/FileIdentity.h"

#include <QString>
#include <QVariantMap>
#include <chrono>
#include <memory>
#include <optional>

// One archive on its way through the send stage's delivery protocol (see HACKING.md, "Delivery
// protocol"): what is known about it, what the lab was seen to hold, and the outcome once one
// transition decided it. Every transition reads and writes this; only the transitions decide.
struct ArchiveSend {
    enum class Outcome {
        Undecided,
        Sent,            // this run's rename, confirmed
        Duplicate,       // the lab's copy under the final name proven identical
        Delivered,       // an earlier run's rename was confirmed and recorded
        MarkedDelivered, // the studio said so, the lab's evidence being ambiguous
        Error,
        Cancel,
        Killed, // a test's kill point: nothing after it is written, sent or cleaned up
    };

    QString zipPath;
    QString zipName;
    QString uploadName;
    QString msg; // progress prefix
    qint64 localSize = 0;
    QString zipSizeText;
    SendServerProfile profile;
    QString server;
    // One login at the lab for everything this send asks it, from the first look to the rename.
    std::unique_ptr<FtpSession> lab;
    StopWatch stopWatch;
    QVariantMap postDic;

    std::optional<PoolArchiveRecord> record;
    std::optional<orbel::SettledFileIdentity> before; // taken before anything read it
    bool checkDeferred = false;                       // to be hashed beside the upload
    std::unique_ptr<PoolArchiveCheck> check;

    RemoteFileProbe tempAtLab; // the lab's temporary file as the first look found it
    bool uploadTried = false;
    bool transferSeen = false;  // the first progress of any upload try arrived
    bool keepForResume = false; // the lab's temporary file stays for the next send
    bool refused = false;       // the archive itself was refused: its temporary file goes
    bool studioTold = false;    // the studio has been told already (no second alert)
    bool tempGone = false;      // the lab's temporary file was removed already

    Outcome outcome = Outcome::Undecided;
    int errorCode = 0;
    QString errorMessage; // for errors without a code of their own
    QString plainText;    // what the studio reads instead of the coded error text
    QString historyNote;  // added to the history record of the outcome

    // The archive's identity before anything reads it for this send (see FileIdentity).
    bool takeIdentity() {
        before = orbel::settledFileIdentity(zipPath, std::chrono::milliseconds(100));
        return before.has_value();
    }
    bool undecided() const { return outcome == Outcome::Undecided; }
    bool delivered() const {
        return outcome == Outcome::Sent || outcome == Outcome::Duplicate ||
               outcome == Outcome::Delivered || outcome == Outcome::MarkedDelivered;
    }
    void fail(int code, const QString& message = QString(), const QString& plain = QString()) {
        outcome = Outcome::Error;
        errorCode = code;
        errorMessage = message;
        plainText = plain;
    }
};
