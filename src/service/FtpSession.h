#pragma once

#include "service/SendServerProfile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

// One exchange with the lab's FTP server within a session: what to ask and how long to wait.
struct FtpRequest {
    QString url;             // ftp://host/folder/ (a folder) or ftp://host/folder/name
    bool noBody = false;     // log in, run the commands, transfer nothing
    bool listOnly = false;   // a folder's names (NLST)
    QStringList commands;    // sent before the transfer; "*" in front: a refusal ends nothing
    QString range;           // "FROM-TO": only those bytes of the file (REST, then RETR)
    bool ignoreSize = false; // read a file without asking its SIZE first
    QString uploadPath;      // a local file to store under url's name (STOR)
    qint64 uploadFrom = 0;   // with uploadPath: continue the lab's file from here (APPE)
    std::function<void(const QByteArray&)> onData; // what the server sends, instead of keeping it
    std::function<void(qint64 sent)> onUploaded;   // bytes of this upload sent so far
    std::function<bool()> shouldCancel;            // polled at least about once a second
    std::chrono::seconds timeLimit{0};             // the whole exchange; 0: none
    long slowBytesPerSecond = 0;                   // slower than this ...
    std::chrono::seconds slowFor{0};               // ... for this long ends the exchange
};

// What came of one exchange: the same codes as the curl program's exit status, so the send's
// messages and its line-broke rules stay those the studio knows.
struct FtpResult {
    bool started = false;   // false: the FTP library could not be used at all
    bool cancelled = false; // shouldCancel asked to stop
    int code = -1;
    QByteArray body;      // what the server sent (a listing, a part of a file)
    QByteArray dialogue;  // each command as "> COMMAND" and each reply line as "< REPLY"
    qint64 fileSize = -1; // the file's size as the server gave it (SIZE); -1 when it gave none
    bool succeeded() const { return started && !cancelled && code == 0; }
};

// A session with one FTP server that keeps its control connection from one exchange to the next:
// an archive's look at the lab, its upload, the size check and the rename go over one login
// instead of one each, which on a line with a long round trip is most of a small order's time.
// A connection the server closed meanwhile is replaced by a new login on the next exchange.
// The account and the TLS wishes come from the profile; nothing reaches a command line.
// Not thread-safe: one thread uses a session at a time.
class FtpSession {
public:
    explicit FtpSession(SendServerProfile profile);
    ~FtpSession();
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    const SendServerProfile& profile() const { return profile_; }
    FtpResult run(const FtpRequest& request);
    // Logins this session made so far (new control connections).
    int connectionsOpened() const { return connections_; }

private:
    struct EasyCleanup {
        void operator()(void* handle) const;
    };
    FtpResult perform(const FtpRequest& request, bool fresh);

    SendServerProfile profile_;
    std::unique_ptr<void, EasyCleanup> handle_;
    int connections_ = 0;
};
