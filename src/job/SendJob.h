#pragma once

#include "job/Job.h"

#include <QString>
#include <optional>

// The send stage: uploads finished order archives to the lab's FTP server under a temporary name,
// checks the size that arrived, renames them once complete, confirms the rename and only then
// deletes the local archive. Before anything goes out the archive is checked against the hash
// recorded when it was packed (PoolArchiveRecord); a large one is hashed while it uploads, and
// is renamed only once that check passed and its identity (stat) is unchanged. An archive already
// at the lab is not sent again, but only on proof that the lab holds these bytes: the same content
// under the final name, or this program's own recorded rename of it when neither name is at the
// lab any more (the lab has taken it away). A failed or cancelled upload removes the partial file
// on the server again. Credentials reach curl on its standard input, never on its command line.
class SendJob : public Job {
public:
    explicit SendJob(JobInfo& info);

    // Every archive of the order pool.
    bool start() override;
    // The given archive, or every archive of the order pool when none; stops at the first failure.
    bool start(const std::optional<QString>& zipPath);
    // One upload with rename, verification and clean-up; msg prefixes the progress texts.
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
};
