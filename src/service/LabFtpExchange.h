#pragma once

#include "service/FtpSession.h"
#include "util/CurlAccount.h"
#include "util/ProcessRunner.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// What one SIZE at the lab showed about a name.
struct RemoteFileProbe {
    enum class State { Present, Absent, Unknown };
    State state = State::Unknown;
    qint64 size = -1; // when present
    int code = 0;     // the exchange's code when unknown
};

// A file at the lab read back into a SHA-256.
struct RemoteHashResult {
    std::optional<QString> sha256; // lower-case hex; none when it could not be read whole
    bool cancelled = false;
    int code = 0;   // the exchange's code when it failed
    QString method; // how it was learnt: "HASH", "XSHA256" (the server's command) or "RETR"
};

// One look at the lab's folder in one session: its listing (NLST) and the SIZE of some names.
// Each source alone can mislead (a folder that may be written but not read lists nothing, a
// server may answer SIZE with 550 for every file); where() weighs them together.
struct RemoteNames {
    bool reached = false; // the server answered after the login
    int code = 0;         // the exchange's code (the listing's, when it failed)
    std::optional<QStringList> listing;
    QMap<QString, RemoteFileProbe> sizes; // SIZE's answer per name asked

    // Present when SIZE gave a size or the listing names it; absent when neither SIZE nor a
    // listing found it and at least one of them answered; unknown otherwise.
    RemoteFileProbe where(const QString& name) const;
};

// What one rename session showed: the server's answer to RNTO and the listing read after it.
struct RenameReply {
    bool renamed = false;  // RNTO answered 250
    bool replied = false;  // an answer to RNTO arrived at all (a lost one leaves this false)
    qint64 finalSize = -1; // the final name's SIZE right after the rename; -1 without one
    std::optional<QStringList> listing; // read only when the final name's size did not prove it
    int code = 0;                       // the exchange's code
};

// The send stage's exchanges with the lab's FTP server, each over the archive's session (one
// login carries them all); and the codes an upload can fail with, with their Japanese texts.
class LabFtpExchange {
public:
    LabFtpExchange() = delete;

    // The codes the send stage tells apart (libcurl's, the numbers of curl's exit status), and the
    // three codes of the rename check.
    static constexpr int kCodeNotStarted = 2; // curl could not be started ("failed to initialize")
    static constexpr int kCodeCouldNotConnect = 7;
    static constexpr int kCodePartialFile = 18;
    static constexpr int kCodeRetrFailed = 19;
    static constexpr int kCodeReadError = 26;
    static constexpr int kCodeTimedOut = 28;
    static constexpr int kCodeSendError = 55;
    static constexpr int kCodeRecvError = 56;
    static constexpr int kCodeRemoteFileNotFound = 78;
    static constexpr int kCodeRenameFailed = 901;
    static constexpr int kCodeRenamedNotFound = 902;
    static constexpr int kCodeListingFailed = 903;

    // Before an upload continues the lab's temporary file, this much of its end is read back and
    // compared with the archive: a last block the server wrote torn (or a file that is not this
    // archive's) makes the upload start again instead.
    static constexpr qint64 kResumeCheckBytes = 1024 * 1024;

    static constexpr int kCodeUploadFailed = 25; // the server refused STOR or APPE

    // The listing of the profile's folder and the SIZE of each name, in one session.
    static RemoteNames surveyRemoteNames(FtpSession& lab, const QStringList& names);
    // RNFR/RNTO and the final name's SIZE; then the folder's listing, unless the rename was
    // answered 250 and the final name holds expectedSize bytes.
    static RenameReply renameAndList(FtpSession& lab, const QString& from, const QString& to,
                                     qint64 expectedSize);
    // The SIZE of one name alone: present with its size on a 213, unknown otherwise (a 550 may
    // as well be a server that refuses SIZE).
    static RemoteFileProbe sizeOnly(FtpSession& lab, const QString& name);
    // resumeOffset for a lab file already known to hold remoteSize bytes.
    static qint64 resumeOffsetAt(FtpSession& lab, const QString& name, const QString& localPath,
                                 qint64 remoteSize);

    // Whether a file is in the profile's folder, and its size (FTP SIZE).
    static RemoteFileProbe probeRemoteFile(FtpSession& lab, const QString& name);
    // Where an upload of the archive at localPath may continue the lab's temporary file name:
    // its size when that is at most the archive's and its last bytes (up to 1 MB) are the
    // archive's own at the same place; 0 (start again) otherwise, and when the size cannot be read.
    static qint64 resumeOffset(FtpSession& lab, const QString& name, const QString& localPath);
    // The SHA-256 of a file of the profile's folder: from the server's own hash command when its
    // FEAT lists one (HASH with SHA-256, or XSHA256), otherwise read back and hashed as it streams
    // in (never whole in memory); shouldCancel is polled while it reads.
    static RemoteHashResult remoteFileSha256(FtpSession& lab, const QString& name,
                                             const std::function<bool()>& shouldCancel);
    // The command that makes the server hash a file with SHA-256 ("HASH", "XSHA256", or
    // "OPTS HASH SHA-256" to be sent before "HASH"), when its FEAT lists one.
    static std::optional<QString> serverHashCommand(FtpSession& lab);
    // RNFR/RNTO within the profile's folder; true when the server accepted both.
    static bool renameRemoteFile(FtpSession& lab, const QString& from, const QString& to);
    // The names in the profile's folder (NLST); none when the listing could not be read.
    static std::optional<QStringList> listRemoteFolder(FtpSession& lab);
    // DELE of a file in the profile's folder; true when the server removed it.
    static bool deleteRemoteFile(FtpSession& lab, const QString& name);
    // ftp://host/folder/name with the name percent-encoded, so "#", "?" or "%" cannot cut it.
    static QString remoteUrl(const SendServerProfile& profile, const QString& name);

    // Options for a curl run with this account: curl reads it from standard input ("-K -"; give
    // orbel::curlAccountArgs() among the arguments).
    static ProcessOptions curlOptions(const SendServerProfile& profile);
    // For the short exchanges (rename, listing, delete): true once they have run too long, so a
    // server that stops answering cannot hold the job thread, and with it the window, for ever.
    static std::function<bool()> shortCommandDeadline();

    // The server for the current settings: FTP2 for the customers listed in Ftp2TargetCode (even
    // in test-send mode), the test server in test-send mode, otherwise production.
    static SendServerProfile serverProfile();
    // Which server a rename went to: host and folder of the profile.
    static QString serverIdentity(const SendServerProfile& profile);
    // The Japanese text of an upload error code; "" for codes without one.
    static QString errorMessageForCode(int code);
};
