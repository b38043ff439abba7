#include "VsftpdServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>
#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// A loopback port nobody listens on now (the kernel's choice).
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// Whether the server answers with its greeting ("220").
bool greets(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<quint16>(port));
    // A server that accepts and then says nothing must not hold the test.
    timeval limit{};
    limit.tv_sec = 5;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    bool ok = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        char reply[4] = {};
        ok = ::recv(fd, reply, 3, MSG_WAITALL) == 3 && QByteArray(reply, 3) == "220";
    }
    ::close(fd);
    return ok;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

} // namespace

VsftpdServer::VsftpdServer(bool forceTls) {
    if (::geteuid() != 0) {
        skip = QStringLiteral("vsftpd needs root to confine its sessions; this test runs as a "
                              "normal user");
        return;
    }
    for (const char* tool : {"vsftpd", "openssl"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool), {QStringLiteral("/usr/sbin"),
                                                                       QStringLiteral("/usr/bin")})
                .isEmpty()) {
            skip = QStringLiteral("%1 is not installed (scripts/packages.txt lists it)")
                       .arg(QString::fromLatin1(tool));
            return;
        }
    }
    if (::getpwnam("ftp") == nullptr) {
        skip = QStringLiteral("the account \"ftp\" that vsftpd's package makes is missing");
        return;
    }
    if (!dir.isValid()) {
        error = QStringLiteral("no temporary folder");
        return;
    }
    if (!makeCertificate(QStringLiteral("server")) || !makeCertificate(QStringLiteral("other")))
        return;
    start(forceTls);
}

VsftpdServer::~VsftpdServer() {
    process.stop(5000);
}

bool VsftpdServer::makeCertificate(const QString& name) {
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                   dir.filePath(name + QStringLiteral(".key")), QStringLiteral("-out"),
                   dir.filePath(name + QStringLiteral(".pem")), QStringLiteral("-days"),
                   QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1")});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
        openssl.kill();
        openssl.waitForFinished(-1);
        error =
            QStringLiteral("openssl: ") + QString::fromLocal8Bit(openssl.readAllStandardError());
        return false;
    }
    return true;
}

bool VsftpdServer::start(bool forceTls) {
    const passwd* ftp = ::getpwnam("ftp");
    const QString root = dir.filePath(QStringLiteral("root"));
    const QString empty = dir.filePath(QStringLiteral("empty"));
    // The session's top folder belongs to root (vsftpd refuses a writable one); the folders
    // below it belong to the anonymous account.
    for (const QString& folder : {root, empty})
        if (!QDir().mkpath(folder) ||
            !QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                               QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                               QFileDevice::ExeOther)) {
            error = QStringLiteral("cannot make ") + folder;
            return false;
        }
    QFile::setPermissions(dir.path(), QFile::permissions(root));
    for (const QString& folder :
         {QStringLiteral("/ntordrsm2"), QStringLiteral("/dwnld"), QStringLiteral("/dwnld/1234"),
          QStringLiteral("/upver"), QStringLiteral("/upver/m")}) {
        const QString path = root + folder;
        QDir().mkpath(path);
        if (::chown(QFile::encodeName(path).constData(), ftp->pw_uid, ftp->pw_gid) != 0) {
            error = QStringLiteral("cannot give %1 to ftp").arg(path);
            return false;
        }
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        port = freePort();
        const QString yes = QStringLiteral("YES");
        const QString force = forceTls ? yes : QStringLiteral("NO");
        const QStringList lines = {
            QStringLiteral("listen=YES"),
            QStringLiteral("listen_ipv6=NO"),
            QStringLiteral("listen_address=127.0.0.1"),
            QStringLiteral("listen_port=%1").arg(port),
            QStringLiteral("background=NO"),
            QStringLiteral("anonymous_enable=YES"),
            QStringLiteral("local_enable=NO"),
            QStringLiteral("no_anon_password=YES"),
            QStringLiteral("anon_root=") + root,
            QStringLiteral("write_enable=YES"),
            QStringLiteral("anon_upload_enable=YES"),
            QStringLiteral("anon_mkdir_write_enable=YES"),
            QStringLiteral("anon_other_write_enable=YES"),
            QStringLiteral("anon_world_readable_only=NO"),
            QStringLiteral("anon_umask=022"),
            QStringLiteral("secure_chroot_dir=") + empty,
            // Containers often forbid the sandbox's system calls and namespaces.
            QStringLiteral("seccomp_sandbox=NO"),
            QStringLiteral("isolate=NO"),
            QStringLiteral("isolate_network=NO"),
            QStringLiteral("connect_from_port_20=NO"),
            QStringLiteral("ssl_enable=YES"),
            QStringLiteral("allow_anon_ssl=YES"),
            QStringLiteral("force_anon_logins_ssl=") + force,
            QStringLiteral("force_anon_data_ssl=") + force,
            QStringLiteral("require_ssl_reuse=NO"),
            QStringLiteral("rsa_cert_file=") + dir.filePath(QStringLiteral("server.pem")),
            QStringLiteral("rsa_private_key_file=") + dir.filePath(QStringLiteral("server.key")),
            QStringLiteral("xferlog_enable=NO"),
            QStringLiteral("vsftpd_log_file=") + dir.filePath(QStringLiteral("vsftpd.log")),
        };
        const QString config = dir.filePath(QStringLiteral("vsftpd.conf"));
        if (!writeFile(config, lines.join(u'\n').toUtf8() + '\n')) {
            error = QStringLiteral("cannot write ") + config;
            return false;
        }
        process.stop(5000);
        process.start(QStringLiteral("/usr/sbin/vsftpd"), {config});
        if (!process.waitForStarted(10000)) {
            error = QStringLiteral("vsftpd did not start");
            return false;
        }
        if (QTest::qWaitFor([&] { return process.state() != QProcess::Running || greets(port); },
                            20000) &&
            process.state() == QProcess::Running)
            return true;
        error = QStringLiteral("vsftpd: ") + process.errorText();
    }
    return false;
}

bool VsftpdServer::isRunning() const {
    return skip.isEmpty() && port > 0 && process.state() == QProcess::Running;
}

QString VsftpdServer::host() const {
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

QString VsftpdServer::caFile() const {
    return dir.filePath(QStringLiteral("server.pem"));
}

QString VsftpdServer::otherCaFile() const {
    return dir.filePath(QStringLiteral("other.pem"));
}

QString VsftpdServer::localPath(const QString& remoteFolder) const {
    return QDir::cleanPath(dir.filePath(QStringLiteral("root")) + remoteFolder);
}

QStringList VsftpdServer::folderFiles(const QString& remoteFolder) const {
    return QDir(localPath(remoteFolder)).entryList(QDir::Files, QDir::Name);
}

bool VsftpdServer::putFile(const QString& remoteFolder, const QString& name,
                           const QByteArray& data) const {
    const QString path = localPath(remoteFolder) + u'/' + name;
    if (!writeFile(path, data))
        return false;
    // Readable by the anonymous account.
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ReadGroup | QFileDevice::ReadOther);
}
