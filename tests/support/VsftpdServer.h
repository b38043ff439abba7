#pragma once

#include "TestProcess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Debian's vsftpd for one test, on a free loopback port, offering explicit TLS ("AUTH TLS") with
// a certificate made here by openssl for 127.0.0.1. The lab's order folders (/ntordrsm2/,
// /dwnld/1234/, /upver/m/) are writable by the anonymous account "ftp", which is the account the
// program is configured with (order_ftp_user=ftp): vsftpd takes any password for it, so no user
// of the machine is created. With forceTls the server refuses login and data in the clear.
//
// vsftpd needs root (it confines each session to the folder and drops privileges); without it
// isRunning() is false and skipReason() says why. The server and its sessions end with the object.
class VsftpdServer {
public:
    explicit VsftpdServer(bool forceTls = true);
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    bool isRunning() const;
    QString errorText() const { return error; }
    // Set when the server cannot run here at all (not root, vsftpd or openssl missing).
    QString skipReason() const { return skip; }

    QString host() const; // "127.0.0.1:N"
    static QString user() { return QStringLiteral("ftp"); }
    QString caFile() const;      // the server's own certificate (self-signed: its CA)
    QString otherCaFile() const; // a CA that did not sign it

    // The local folder of a remote one ("/ntordrsm2/"), its sorted file names, and a file put in.
    QString localPath(const QString& remoteFolder) const;
    QStringList folderFiles(const QString& remoteFolder) const;
    bool putFile(const QString& remoteFolder, const QString& name, const QByteArray& data) const;

private:
    bool makeCertificate(const QString& name);
    bool start(bool forceTls);

    QTemporaryDir dir;
    TestProcess process;
    int port = 0;
    QString error;
    QString skip;
};
