#pragma once

#include "job/Job.h"

#include <QString>
#include <functional>
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

// What one SIZE at the lab showed about a name.
struct RemoteFileProbe {
    enum class State { Present, Absent, Unknown };
    State state = State::Unknown;
    qint64 size = -1; // when present
    int code = 0;     // curl's exit status when unknown
};

// A file at the lab read back into a SHA-256.
struct RemoteHashResult {
    std::optional<QString> sha256; // lower-case hex; none when it could not be read whole
    bool cancelled = false;
    int code = 0;   // curl's exit status when it failed
    QString method; // how it was learnt: "HASH", "XSHA256" (the server's command) or "RETR"
};

// The send stage: uploads finished order archives to the lab's FTP server under a temporary name,
// checks the size that arrived, renames them once complete, confirms the rename and only then
// deletes the local archive. Before anything goes out the archive is checked against the hash
// recorded when it was packed (PoolArchiveRecord), and again after the upload. An archive already
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

    // --- Exchanges with the server, each one curl run with its arguments as a vector ---
    // Whether a file is in the profile's folder, and its size (FTP SIZE).
    static RemoteFileProbe probeRemoteFile(const SendServerProfile& profile, const QString& name);
    // Where an upload of the archive at localPath may continue the lab's temporary file name:
    // its size when that is at most the archive's and its last bytes (up to 1 MB) are the
    // archive's own at the same place; 0 (start again) otherwise, and when the size cannot be read.
    static qint64 resumeOffset(const SendServerProfile& profile, const QString& name,
                               const QString& localPath);
    // The SHA-256 of a file of the profile's folder: from the server's own hash command when its
    // FEAT lists one (HASH with SHA-256, or XSHA256), otherwise read back and hashed as it streams
    // in (never whole in memory); shouldCancel is polled while it reads.
    static RemoteHashResult remoteFileSha256(const SendServerProfile& profile, const QString& name,
                                             const std::function<bool()>& shouldCancel);
    // The command that makes the server hash a file with SHA-256 ("HASH", "XSHA256", or
    // "OPTS HASH SHA-256" to be sent before "HASH"), when its FEAT lists one.
    static std::optional<QString> serverHashCommand(const SendServerProfile& profile);
    // RNFR/RNTO within the profile's folder; true when the server accepted both.
    static bool renameRemoteFile(const SendServerProfile& profile, const QString& from,
                                 const QString& to);
    // The names in the profile's folder (NLST); none when the listing could not be read.
    static std::optional<QStringList> listRemoteFolder(const SendServerProfile& profile);
    // DELE of a file in the profile's folder; true when the server removed it.
    static bool deleteRemoteFile(const SendServerProfile& profile, const QString& name);
    // ftp://host/folder/name with the name percent-encoded, so "#", "?" or "%" cannot cut it.
    static QString remoteUrl(const SendServerProfile& profile, const QString& name);

    // The server for the current settings: FTP2 for the customers listed in Ftp2TargetCode (even
    // in test-send mode), the test server in test-send mode, otherwise production.
    static SendServerProfile serverProfile();
    // Which server a rename went to: host and folder of the profile.
    static QString serverIdentity(const SendServerProfile& profile);
    // The Japanese text of an upload error code; "" for codes without one.
    static QString errorMessageForCode(int code);
};
