#pragma once

#include "job/Job.h"

#include <QString>
#include <optional>

// One FTP server an archive can go to: host (with ":port" when not 21), account, password and the
// remote folder, which begins and ends with "/".
struct SendServerProfile {
    enum class Kind { Production, Test, Ftp2 };
    Kind kind = Kind::Production;
    QString host;
    QString user;
    QString password;
    QString folder;
};

// The send stage: uploads finished order archives to the lab's FTP server under a temporary name,
// renames them once complete, verifies the rename by a name listing and only then deletes the local
// archive. A failed or cancelled upload removes the partial file on the server again.
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
    // Feeds the script to "/usr/bin/ftp -i -n" and discards what it answers.
    void ftpCmdExecute(const QString& script);

    // The server for the current settings: FTP2 for the customers listed in Ftp2TargetCode (even
    // in test-send mode), the test server in test-send mode, otherwise production.
    static SendServerProfile serverProfile();
    // The Japanese text of an upload error code; "" for codes without one.
    static QString errorMessageForCode(int code);
};
