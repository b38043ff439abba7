#include "service/LabFtpExchange.h"

#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/CurlAccount.h"
#include "util/Sha256.h"
#include "util/ToolPaths.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// The rename, the listing and the server-side delete are short exchanges.
constexpr std::chrono::seconds kShortCommandLimit{120};

QString s(const char* text) {
    return QString::fromUtf8(text);
}

ProcessResult runShortCurl(const SendServerProfile& profile, const QStringList& args) {
    ProcessOptions options = LabFtpExchange::curlOptions(profile);
    options.captureStderr = true;
    options.shouldCancel = LabFtpExchange::shortCommandDeadline();
    return runProcess(ToolPaths::curl(), args + orbel::curlAccountArgs(), options);
}

// Server commands sent after login, with "-I" so that curl fetches no listing of "/" after them:
// its exit status then speaks for the commands alone. verbose: the server's replies are in
// stderrData (see serverReplies).
ProcessResult runServerCommands(const SendServerProfile& profile, const QStringList& commands,
                                bool verbose = false) {
    QStringList args{QStringLiteral("-s"), QStringLiteral("-I"),
                     QStringLiteral("ftp://") + profile.host + u'/'};
    if (verbose)
        args << QStringLiteral("-v");
    for (const QString& command : commands)
        args << QStringLiteral("-Q") << command;
    return runShortCurl(profile, args);
}

// The reply lines of the server in curl's verbose output ("< 213 ..."), without the marker.
QStringList serverReplies(const QByteArray& verboseOutput) {
    QStringList replies;
    for (const QByteArray& raw : verboseOutput.split('\n')) {
        if (!raw.startsWith("< "))
            continue;
        QString line = QString::fromUtf8(raw.mid(2));
        line.remove(u'\r');
        replies.append(line);
    }
    return replies;
}

struct ServerReply {
    QString command; // as sent, e.g. "SIZE /ntordrsm2/a.zip"
    int code = 0;    // 0 when no answer arrived
    QString text;    // the answer after its code
};

// Each command curl sent and the server's final answer to it, from curl's verbose output.
QList<ServerReply> commandReplies(const QByteArray& verboseOutput) {
    QList<ServerReply> replies;
    for (const QByteArray& raw : verboseOutput.split('\n')) {
        QByteArray line = raw;
        line.replace('\r', "");
        if (line.startsWith("> ")) {
            replies.append({QString::fromUtf8(line.mid(2)), 0, QString()});
        } else if (line.startsWith("< ") && line.size() >= 6 && line.at(5) == ' ' &&
                   !replies.isEmpty() && replies.constLast().code == 0) {
            bool ok = false;
            const int code = line.mid(2, 3).toInt(&ok);
            if (ok) {
                replies.last().code = code;
                replies.last().text = QString::fromUtf8(line.mid(6)).trimmed();
            }
        }
    }
    return replies;
}

std::optional<QStringList> namesOf(const QByteArray& listing) {
    QStringList names;
    const QStringList lines = QString::fromUtf8(listing).split(u'\n');
    for (QString line : lines) {
        line.remove(u'\r');
        if (!line.isEmpty())
            names.append(line.section(u'/', -1)); // some servers answer with the folder in front
    }
    return names;
}

} // namespace

RemoteFileProbe RemoteNames::where(const QString& name) const {
    const RemoteFileProbe size = sizes.value(name);
    if (size.state == RemoteFileProbe::State::Present)
        return size;
    RemoteFileProbe probe;
    if (listing && listing->contains(name)) {
        probe.state = RemoteFileProbe::State::Present;
        return probe;
    }
    if (listing || size.state == RemoteFileProbe::State::Absent)
        probe.state = RemoteFileProbe::State::Absent;
    else
        probe.code = code != 0 ? code : LabFtpExchange::kCodeListingFailed;
    return probe;
}

RemoteNames LabFtpExchange::surveyRemoteNames(const SendServerProfile& profile,
                                              const QStringList& names) {
    // "*": a command that fails does not end the session; "TYPE I" first, as some servers
    // answer SIZE only in binary mode.
    QStringList args{QStringLiteral("-s"), QStringLiteral("-v"),
                     QStringLiteral("-l"), QStringLiteral("ftp://") + profile.host + profile.folder,
                     QStringLiteral("-Q"), QStringLiteral("*TYPE I")};
    for (const QString& name : names)
        args << QStringLiteral("-Q") << QStringLiteral("*SIZE ") + profile.folder + name;
    const ProcessResult result = runShortCurl(profile, args);
    RemoteNames answer;
    answer.code = !result.started                        ? kCodeNotStarted
                  : (result.cancelled || result.crashed) ? kCodeTimedOut
                                                         : result.exitStatus;
    if (result.succeeded())
        answer.listing = namesOf(result.stdoutData);
    for (const ServerReply& reply : commandReplies(result.stderrData)) {
        if (!reply.command.startsWith(QStringLiteral("SIZE ")) || reply.code == 0)
            continue;
        answer.reached = true;
        const QString name = reply.command.mid(5).section(u'/', -1);
        RemoteFileProbe probe;
        if (reply.code == 550) {
            probe.state = RemoteFileProbe::State::Absent;
        } else if (reply.code == 213) {
            bool ok = false;
            const qint64 size = reply.text.section(u' ', 0, 0).toLongLong(&ok);
            if (ok) {
                probe.state = RemoteFileProbe::State::Present;
                probe.size = size;
            }
        }
        answer.sizes.insert(name, probe);
    }
    answer.reached = answer.reached || answer.listing.has_value();
    return answer;
}

RenameReply LabFtpExchange::renameAndList(const SendServerProfile& profile, const QString& from,
                                          const QString& to) {
    // "*": a refused RNFR or RNTO does not end the session, so the listing that follows shows
    // what the folder holds after it.
    const ProcessResult result = runShortCurl(
        profile, {QStringLiteral("-s"), QStringLiteral("-v"), QStringLiteral("-l"),
                  QStringLiteral("ftp://") + profile.host + profile.folder, QStringLiteral("-Q"),
                  QStringLiteral("*RNFR ") + profile.folder + from, QStringLiteral("-Q"),
                  QStringLiteral("*RNTO ") + profile.folder + to});
    RenameReply reply;
    reply.code = !result.started                        ? kCodeNotStarted
                 : (result.cancelled || result.crashed) ? kCodeTimedOut
                                                        : result.exitStatus;
    for (const ServerReply& answer : commandReplies(result.stderrData)) {
        if (!answer.command.startsWith(QStringLiteral("RNTO ")))
            continue;
        reply.replied = answer.code != 0;
        reply.renamed = answer.code >= 200 && answer.code < 300;
    }
    if (result.succeeded())
        reply.listing = namesOf(result.stdoutData);
    return reply;
}

ProcessOptions LabFtpExchange::curlOptions(const SendServerProfile& profile) {
    ProcessOptions options;
    options.stdinData = orbel::curlAccountConfig(profile.user, profile.password) +
                        orbel::curlTlsConfig(profile.tls, profile.caFile);
    return options;
}

std::function<bool()> LabFtpExchange::shortCommandDeadline() {
    const auto deadline = std::chrono::steady_clock::now() + kShortCommandLimit;
    return [deadline] { return std::chrono::steady_clock::now() >= deadline; };
}

QString LabFtpExchange::remoteUrl(const SendServerProfile& profile, const QString& name) {
    return s(LabEndpoints::kFtpUrlFormat)
        .arg(profile.host, profile.folder, QString::fromLatin1(QUrl::toPercentEncoding(name)));
}

RemoteFileProbe LabFtpExchange::probeRemoteFile(const SendServerProfile& profile,
                                                const QString& name) {
    // "-I" on a file: curl asks SIZE (and MDTM) and prints "Content-Length: N".
    const ProcessResult result = runShortCurl(
        profile, {QStringLiteral("-s"), QStringLiteral("-I"), remoteUrl(profile, name)});
    RemoteFileProbe probe;
    if (!result.started) {
        probe.code = kCodeNotStarted;
        return probe;
    }
    if (result.cancelled || result.crashed) {
        probe.code = kCodeTimedOut;
        return probe;
    }
    if (result.exitStatus == kCodeRemoteFileNotFound || result.exitStatus == kCodeRetrFailed) {
        probe.state = RemoteFileProbe::State::Absent;
        return probe;
    }
    if (result.exitStatus != 0) {
        probe.code = result.exitStatus;
        return probe;
    }
    static const QRegularExpression length(QStringLiteral("(?im)^Content-Length:\\s*(\\d+)"));
    const QRegularExpressionMatch match = length.match(QString::fromLatin1(result.stdoutData));
    bool ok = false;
    const qint64 size = match.hasMatch() ? match.captured(1).toLongLong(&ok) : -1;
    if (ok) {
        probe.state = RemoteFileProbe::State::Present;
        probe.size = size;
    }
    return probe; // unknown with code 0: the server gave no size
}

qint64 LabFtpExchange::resumeOffset(const SendServerProfile& profile, const QString& name,
                                    const QString& localPath) {
    const RemoteFileProbe there = probeRemoteFile(profile, name);
    if (there.state != RemoteFileProbe::State::Present || there.size <= 0)
        return 0;
    return resumeOffsetAt(profile, name, localPath, there.size);
}

qint64 LabFtpExchange::resumeOffsetAt(const SendServerProfile& profile, const QString& name,
                                      const QString& localPath, qint64 remoteSize) {
    RemoteFileProbe there;
    there.size = remoteSize;
    if (remoteSize <= 0)
        return 0;
    QFile local(localPath);
    if (!local.open(QIODevice::ReadOnly))
        return 0;
    if (there.size > local.size()) {
        Log::outputLn(
            QStringLiteral("送信先の一時ファイルが注文ファイルより長いため最初から送信 -- "
                           "%1（%2 / %3バイト）")
                .arg(name)
                .arg(there.size)
                .arg(local.size()));
        return 0;
    }
    const qint64 checkFrom = std::max<qint64>(0, there.size - kResumeCheckBytes);
    if (!local.seek(checkFrom))
        return 0;
    const QByteArray mine = local.read(there.size - checkFrom);
    // "-r": the server is asked for that part alone (REST, then RETR).
    const ProcessResult theirs =
        runShortCurl(profile, {QStringLiteral("-s"), QStringLiteral("-r"),
                               QStringLiteral("%1-%2").arg(checkFrom).arg(there.size - 1),
                               remoteUrl(profile, name)});
    if (!theirs.succeeded() || theirs.stdoutData != mine) {
        Log::outputLn(QStringLiteral("送信先の一時ファイルの末尾が注文ファイルと違うため最初から"
                                     "送信 -- %1")
                          .arg(name));
        return 0;
    }
    return there.size;
}

RemoteHashResult LabFtpExchange::remoteFileSha256(const SendServerProfile& profile,
                                                  const QString& name,
                                                  const std::function<bool()>& shouldCancel) {
    // A server that offers a SHA-256 command saves reading the whole file back.
    if (const std::optional<QString> command = serverHashCommand(profile)) {
        QStringList commands;
        if (*command == QLatin1String("OPTS HASH SHA-256"))
            commands << *command << QStringLiteral("HASH ") + profile.folder + name;
        else
            commands << *command + u' ' + profile.folder + name;
        const ProcessResult result = runServerCommands(profile, commands, true);
        if (result.succeeded()) {
            static const QRegularExpression hex(
                QStringLiteral("(?:^|\\s)([0-9A-Fa-f]{64})(?:\\s|$)"));
            const QStringList replies = serverReplies(result.stderrData);
            for (auto it = replies.crbegin(); it != replies.crend(); ++it) {
                if (!it->startsWith(QStringLiteral("213 ")))
                    continue;
                const QRegularExpressionMatch match = hex.match(*it);
                if (match.hasMatch()) {
                    RemoteHashResult answer;
                    answer.sha256 = match.captured(1).toLower();
                    answer.method = commands.constLast().section(u' ', 0, 0);
                    return answer;
                }
                break;
            }
        }
        // An offered command that does not answer: the file is read back instead.
    }

    orbel::Sha256 hash;
    ProcessOptions options = curlOptions(profile);
    options.keepStdout = false;
    options.onStdout = [&hash](const QByteArray& chunk) { hash.addData(chunk); };
    options.shouldCancel = shouldCancel;
    // A read that stalls for a minute is given up; the whole file may take as long as an upload.
    // "--ignore-content-length": no SIZE first, which a server may refuse for every file.
    const QStringList args = QStringList{QStringLiteral("-s"),
                                         QStringLiteral("--ignore-content-length"),
                                         QStringLiteral("--speed-limit"),
                                         QStringLiteral("1024"),
                                         QStringLiteral("--speed-time"),
                                         QStringLiteral("60"),
                                         QStringLiteral("-m"),
                                         s(LabEndpoints::kCurlMaxSeconds),
                                         remoteUrl(profile, name)} +
                             orbel::curlAccountArgs();
    const ProcessResult result = runProcess(ToolPaths::curl(), args, options);
    RemoteHashResult answer;
    answer.method = QStringLiteral("RETR");
    if (!result.started)
        answer.code = kCodeNotStarted;
    else if (result.cancelled)
        answer.cancelled = true;
    else if (result.crashed)
        answer.code = kCodeTimedOut;
    else if (result.exitStatus != 0)
        answer.code = result.exitStatus;
    else if (QString hex = hash.hexResult(); !hex.isEmpty())
        answer.sha256 = std::move(hex);
    else
        answer.code = kCodeReadError;
    return answer;
}

std::optional<QString> LabFtpExchange::serverHashCommand(const SendServerProfile& profile) {
    const ProcessResult feat = runServerCommands(profile, {QStringLiteral("FEAT")}, true);
    if (!feat.succeeded())
        return std::nullopt;
    bool inList = false;
    bool xsha256 = false;
    std::optional<QString> hash;
    for (const QString& reply : serverReplies(feat.stderrData)) {
        if (reply.startsWith(QStringLiteral("211-"))) {
            inList = true;
            continue;
        }
        if (reply.startsWith(QStringLiteral("211 ")))
            break;
        if (!inList)
            continue;
        const QString feature = reply.trimmed();
        const QString command = feature.section(u' ', 0, 0).toUpper();
        if (command == QLatin1String("XSHA256"))
            xsha256 = true;
        if (command != QLatin1String("HASH"))
            continue;
        // "HASH SHA-256*;SHA-1;MD5": the star marks the algorithm in use.
        const QStringList algorithms = feature.section(u' ', 1).split(u';', Qt::SkipEmptyParts);
        for (const QString& algorithm : algorithms) {
            if (algorithm.compare(QStringLiteral("SHA-256*"), Qt::CaseInsensitive) == 0)
                hash = QStringLiteral("HASH");
            else if (algorithm.compare(QStringLiteral("SHA-256"), Qt::CaseInsensitive) == 0)
                hash = QStringLiteral("OPTS HASH SHA-256");
        }
    }
    if (hash)
        return hash;
    if (xsha256)
        return QStringLiteral("XSHA256");
    return std::nullopt;
}

bool LabFtpExchange::renameRemoteFile(const SendServerProfile& profile, const QString& from,
                                      const QString& to) {
    return runServerCommands(profile, {QStringLiteral("RNFR ") + profile.folder + from,
                                       QStringLiteral("RNTO ") + profile.folder + to})
        .succeeded();
}

std::optional<QStringList> LabFtpExchange::listRemoteFolder(const SendServerProfile& profile) {
    const ProcessResult result =
        runShortCurl(profile, {QStringLiteral("-s"), QStringLiteral("-l"),
                               QStringLiteral("ftp://") + profile.host + profile.folder});
    // A listing curl could not fetch proves nothing, even when its output is empty.
    if (!result.succeeded())
        return std::nullopt;
    QStringList names;
    const QStringList lines = QString::fromUtf8(result.stdoutData).split(u'\n');
    for (QString line : lines) {
        line.remove(u'\r');
        if (line.isEmpty())
            continue;
        names.append(line.section(u'/', -1)); // some servers answer with the folder in front
    }
    return names;
}

bool LabFtpExchange::deleteRemoteFile(const SendServerProfile& profile, const QString& name) {
    return runServerCommands(profile, {QStringLiteral("DELE ") + profile.folder + name})
        .succeeded();
}

SendServerProfile LabFtpExchange::serverProfile() {
    SendServerProfile profile;
    if (UserDef::isFtp2SendMode()) {
        profile.kind = SendServerProfile::Kind::Ftp2;
        profile.host = LabConfig::ftp2Host();
        profile.tls = LabConfig::ftp2Tls();
        profile.caFile = LabConfig::ftp2Ca();
        profile.user = s(LabEndpoints::kFtp2User);
        profile.password = s(LabEndpoints::kFtp2Password);
        profile.folder = s(LabEndpoints::kFtp2Folder);
    } else if (UserDef::isTestSendMode()) {
        profile.kind = SendServerProfile::Kind::Test;
        profile.host = LabConfig::testFtpHost();
        profile.tls = LabConfig::testFtpTls();
        profile.caFile = LabConfig::testFtpCa();
        profile.user = s(LabEndpoints::kTestUser);
        profile.password = s(LabEndpoints::kTestPassword);
        profile.folder = s(LabEndpoints::kTestFolder);
    } else {
        profile.kind = SendServerProfile::Kind::Production;
        profile.host = LabConfig::orderFtpHost();
        profile.tls = LabConfig::orderFtpTls();
        profile.caFile = LabConfig::orderFtpCa();
        profile.user = LabConfig::orderFtpUser();
        profile.password = s(LabEndpoints::kProductionPassword);
        profile.folder = s(LabEndpoints::kProductionFolder);
    }
    return profile;
}

QString LabFtpExchange::serverIdentity(const SendServerProfile& profile) {
    return QStringLiteral("ftp://") + profile.host + profile.folder;
}

QString LabFtpExchange::errorMessageForCode(int code) {
    switch (code) {
    case 1:
        return QStringLiteral("未サポートのプロトコル");
    case 2:
        return QStringLiteral("初期化に失敗");
    case 7:
        return QStringLiteral("ホストへの接続に失敗");
    case 8:
        return QStringLiteral("FTP サーバの意味不明な応答");
    case 9:
        return QStringLiteral("FTP アクセスが拒否された");
    case 15:
        return QStringLiteral("FTP ホスト取得不能");
    case 18:
        return QStringLiteral("ファイルの一部分しか転送できなかった");
    case 25:
        return QStringLiteral("サーバーがファイルの書き込みを拒否した");
    case 26:
        return QStringLiteral("ファイルの読み込みエラー");
    // The TLS that lab.conf asks for: never given up for a send in the clear.
    case 35:
        return QStringLiteral("暗号化通信（TLS）の接続に失敗");
    case 55:
        return QStringLiteral("ネットワークデータ送信失敗");
    case 56:
        return QStringLiteral("ネットワークデータ受信失敗");
    case 60:
        return QStringLiteral("サーバーの証明書を確認できない（なりすましの恐れ）");
    case 64:
        return QStringLiteral("要求された暗号化通信（TLS）がサーバーで使えません");
    case 67:
        return QStringLiteral("サーバーへのログインエラー");
    case 77:
        return QStringLiteral("証明書（CAファイル）を読み込めない");
    case 901:
        return QStringLiteral("ファイルリネーム失敗");
    case 902:
        return QStringLiteral("リネーム済みファイルが見つからない");
    case 903:
        return QStringLiteral("リネーム確認に失敗");
    default:
        return QString();
    }
}
