#pragma once

#include "job/Job.h"
#include "job/JobTestHook.h"

#include <QString>
#include <optional>

struct ArchiveSend;
struct RemoteFileProbe;

// The send stage: delivers finished order archives to the lab's FTP server by one protocol
// (HACKING.md, "Delivery protocol"): the archive is checked against what was packed, uploaded
// under a temporary name, verified at the lab, recorded as about to be renamed, renamed, and the
// rename proven; only then does it leave the pool. "Delivered" rests on positive evidence only:
// this run's confirmed rename, an earlier run's recorded confirmation, or the lab's copy proven
// identical. Where the lab's evidence is ambiguous the studio decides. Each transition is one
// function below; each reads like its row of the table. Credentials reach curl on its standard
// input, never on its command line.
class SendJob : public Job {
public:
    explicit SendJob(JobInfo& info);

    // Every archive of the order pool.
    bool start() override;
    // The given archive, or every archive of the order pool when none; stops at the first failure.
    bool start(const std::optional<QString>& zipPath);
    // One archive through the protocol; msg prefixes the progress texts.
    bool oneZipSend(const QString& zipPath, const QString& msg);

    // "/bin/sh -c command": its standard output whatever standard error holds (curl writes its
    // meter there); none when the shell cannot be started.
    std::optional<QString> simpleShell(const QString& command);
    // Feeds the script to "/usr/bin/ftp -i -n" and discards what it answers. The stage itself no
    // longer uses it: a name pasted into a script can carry commands of its own.
    void ftpCmdExecute(const QString& script);

    // A name the zip stage makes: customer code digits, 12 hexadecimal digits of the MAC address
    // and a bag number of at least 7 digits, joined by "_", with ".zip". Nothing else is sent.
    static bool isOrderArchiveName(const QString& fileName);

    // A delivered archive leaves the pool: the archive and its record. The one place that says
    // what becomes of it; false when the archive could not be removed.
    static bool disposeDeliveredArchive(const QString& zipPath);
    // Best effort: removes the lab's temporary file of an archive that leaves the pool without
    // being sent (its record names an upload begun there), and logs what happened.
    static void removeLabLeftover(const QString& zipPath);

private:
    // The transitions of the protocol, in the order a send passes them.
    void beginSend(ArchiveSend& a);
    void checkPacked(ArchiveSend& a);  // packed: the archive is what was packed
    void readLabState(ArchiveSend& a); // what the lab and the record say already
    void resolveRenameIntent(ArchiveSend& a, const RemoteFileProbe& temp);
    void askStudioAmbiguous(ArchiveSend& a); // both names gone after an unconfirmed rename
    void compareFinalName(ArchiveSend& a, const RemoteFileProbe& final);
    void uploadArchive(ArchiveSend& a); // uploading, with its offset
    qint64 firstResumeOffset(ArchiveSend& a);
    int runUpload(ArchiveSend& a, qint64 offset);
    void verifyUpload(ArchiveSend& a); // uploaded and verified
    void renameAtLab(ArchiveSend& a);  // renaming, then renamed and confirmed
    void settleUnconfirmedRename(ArchiveSend& a, int code);
    bool concludeDelivered(ArchiveSend& a); // delivered: history, disposal, report
    bool concludeFailed(ArchiveSend& a);    // failed: clean-up at the lab, alert, history

    // Helpers of the transitions.
    bool proceed(ArchiveSend& a); // still undecided; a cancel decides it
    bool killedAt(ArchiveSend& a, JobTestHook::Point point);
    bool checkNow(ArchiveSend& a); // the deferred hash at once; false when refused
    void refuseChanged(ArchiveSend& a);
    void failReading(ArchiveSend& a);
    bool writeRecord(ArchiveSend& a);
};
