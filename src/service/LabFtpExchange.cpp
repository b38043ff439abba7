#include "service/LabFtpExchange.h"

#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/CurlAccount.h"
#include "util/Sha256.h"

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

FtpResult runShort(FtpSession& lab, FtpRequest request) {
    request.timeLimit = kShortCommandLimit;
    return lab.run(request);
}

QString folderUrl(const SendServerProfile& profile, const QString& folder) {
    return QStringLiteral("ftp://") + profile.host + folder;
}

// Server commands sent after the login, with nothing transferred after them: the exchange's code
// then speaks for the commands alone. Their replies are in the dialogue (see serverReplies).
FtpResult runServerCommands(FtpSession& lab, const QStringList& commands) {
    FtpRequest request;
    request.url = folderUrl(lab.profile(), QStringLiteral("/"));
    request.noBody = true;
    request.commands = commands;
    return runShort(lab, request);
}

// The exchange's code as the send tells it apart: a stopped exchange took too long.
int codeOf(const FtpResult& result) {
    return !result.started    ? LabFtpExchange::kCodeNotStarted
           : result.cancelled ? LabFtpExchange::kCodeTimedOut
                              : result.code;
}

// The reply lines of the server in a session's dialogue ("< 213 ..."), without the marker.
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

// Each command sent and the server's final answer to it, from a session's dialogue.
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

// The size a SIZE command was answered with (213); none for any other answer.
std::optional<qint64> sizeAnswered(const ServerReply& reply) {
    if (!reply.command.startsWith(QStringLiteral("SIZE ")) || reply.code != 213)
        return std::nullopt;
    bool ok = false;
    const qint64 size = reply.text.section(u' ', 0, 0).toLongLong(&ok);
    return ok ? std::optional<qint64>(size) : std::nullopt;
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

RemoteNames LabFtpExchange::surveyRemoteNames(FtpSession& lab, const QStringList& names) {
    const SendServerProfile& profile = lab.profile();
    // "*": a command that fails does not end the session; "TYPE I" first, as some servers
    // answer SIZE only in binary mode.
    FtpRequest request;
    request.url = folderUrl(profile, profile.folder);
    request.listOnly = true;
    request.commands << QStringLiteral("*TYPE I");
    for (const QString& name : names)
        request.commands << QStringLiteral("*SIZE ") + profile.folder + name;
    const FtpResult result = runShort(lab, request);
    RemoteNames answer;
    answer.code = codeOf(result);
    if (result.succeeded())
        answer.listing = namesOf(result.body);
    for (const ServerReply& reply : commandReplies(result.dialogue)) {
        if (!reply.command.startsWith(QStringLiteral("SIZE ")) || reply.code == 0)
            continue;
        answer.reached = true;
        const QString name = reply.command.mid(5).section(u'/', -1);
        RemoteFileProbe probe;
        if (reply.code == 550) {
            probe.state = RemoteFileProbe::State::Absent;
        } else if (const std::optional<qint64> size = sizeAnswered(reply)) {
            probe.state = RemoteFileProbe::State::Present;
            probe.size = *size;
        }
        answer.sizes.insert(name, probe);
    }
    answer.reached = answer.reached || answer.listing.has_value();
    return answer;
}

RenameReply LabFtpExchange::renameAndList(FtpSession& lab, const QString& from, const QString& to,
                                          qint64 expectedSize) {
    const SendServerProfile& profile = lab.profile();
    // "*": a refused RNFR or RNTO does not end the session, so what follows shows what the
    // folder holds after it: the final name's size, or else its listing.
    FtpRequest request;
    request.url = folderUrl(profile, profile.folder);
    request.noBody = true;
    request.commands << QStringLiteral("*RNFR ") + profile.folder + from
                     << QStringLiteral("*RNTO ") + profile.folder + to
                     << QStringLiteral("*SIZE ") + profile.folder + to;
    const FtpResult result = runShort(lab, request);
    RenameReply reply;
    reply.code = codeOf(result);
    for (const ServerReply& answer : commandReplies(result.dialogue)) {
        if (answer.command.startsWith(QStringLiteral("RNTO "))) {
            reply.replied = answer.code != 0;
            reply.renamed = answer.code >= 200 && answer.code < 300;
        } else if (const std::optional<qint64> size = sizeAnswered(answer)) {
            reply.finalSize = *size;
        }
    }
    if (!result.succeeded() || (reply.renamed && reply.finalSize == expectedSize))
        return reply;
    reply.listing = listRemoteFolder(lab);
    return reply;
}

RemoteFileProbe LabFtpExchange::sizeOnly(FtpSession& lab, const QString& name) {
    const SendServerProfile& profile = lab.profile();
    FtpRequest request;
    request.url = folderUrl(profile, profile.folder);
    request.noBody = true;
    request.commands << QStringLiteral("*SIZE ") + profile.folder + name;
    const FtpResult result = runShort(lab, request);
    RemoteFileProbe probe;
    probe.code = codeOf(result);
    for (const ServerReply& answer : commandReplies(result.dialogue)) {
        if (const std::optional<qint64> size = sizeAnswered(answer)) {
            probe.state = RemoteFileProbe::State::Present;
            probe.size = *size;
        }
    }
    return probe;
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

RemoteFileProbe LabFtpExchange::probeRemoteFile(FtpSession& lab, const QString& name) {
    // Nothing transferred from a file: its SIZE (and MDTM) alone.
    FtpRequest request;
    request.url = remoteUrl(lab.profile(), name);
    request.noBody = true;
    const FtpResult result = runShort(lab, request);
    RemoteFileProbe probe;
    const int code = codeOf(result);
    if (code == kCodeRemoteFileNotFound || code == kCodeRetrFailed) {
        probe.state = RemoteFileProbe::State::Absent;
    } else if (code != 0) {
        probe.code = code;
    } else if (result.fileSize >= 0) {
        probe.state = RemoteFileProbe::State::Present;
        probe.size = result.fileSize;
    }
    return probe; // unknown with code 0: the server gave no size
}

qint64 LabFtpExchange::resumeOffset(FtpSession& lab, const QString& name,
                                    const QString& localPath) {
    const RemoteFileProbe there = probeRemoteFile(lab, name);
    if (there.state != RemoteFileProbe::State::Present || there.size <= 0)
        return 0;
    return resumeOffsetAt(lab, name, localPath, there.size);
}

qint64 LabFtpExchange::resumeOffsetAt(FtpSession& lab, const QString& name,
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
    // The server is asked for that part alone (REST, then RETR).
    FtpRequest request;
    request.url = remoteUrl(lab.profile(), name);
    request.range = QStringLiteral("%1-%2").arg(checkFrom).arg(there.size - 1);
    const FtpResult theirs = runShort(lab, request);
    if (!theirs.succeeded() || theirs.body != mine) {
        Log::outputLn(QStringLiteral("送信先の一時ファイルの末尾が注文ファイルと違うため最初から"
                                     "送信 -- %1")
                          .arg(name));
        return 0;
    }
    return there.size;
}

RemoteHashResult LabFtpExchange::remoteFileSha256(FtpSession& lab, const QString& name,
                                                  const std::function<bool()>& shouldCancel) {
    // A server that offers a SHA-256 command saves reading the whole file back.
    const SendServerProfile& profile = lab.profile();
    if (const std::optional<QString> command = serverHashCommand(lab)) {
        QStringList commands;
        if (*command == QLatin1String("OPTS HASH SHA-256"))
            commands << *command << QStringLiteral("HASH ") + profile.folder + name;
        else
            commands << *command + u' ' + profile.folder + name;
        const FtpResult result = runServerCommands(lab, commands);
        if (result.succeeded()) {
            static const QRegularExpression hex(
                QStringLiteral("(?:^|\\s)([0-9A-Fa-f]{64})(?:\\s|$)"));
            const QStringList replies = serverReplies(result.dialogue);
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
    FtpRequest request;
    request.url = remoteUrl(profile, name);
    request.onData = [&hash](const QByteArray& chunk) { hash.addData(chunk); };
    request.shouldCancel = shouldCancel;
    // A read that stalls for a minute is given up; the whole file may take as long as an upload.
    // No SIZE first, which a server may refuse for every file.
    request.ignoreSize = true;
    request.slowBytesPerSecond = 1024;
    request.slowFor = std::chrono::seconds(60);
    request.timeLimit = std::chrono::seconds(QByteArray(LabEndpoints::kCurlMaxSeconds).toLong());
    const FtpResult result = lab.run(request);
    RemoteHashResult answer;
    answer.method = QStringLiteral("RETR");
    if (!result.started)
        answer.code = kCodeNotStarted;
    else if (result.cancelled)
        answer.cancelled = true;
    else if (result.code != 0)
        answer.code = result.code;
    else if (QString hex = hash.hexResult(); !hex.isEmpty())
        answer.sha256 = std::move(hex);
    else
        answer.code = kCodeReadError;
    return answer;
}

std::optional<QString> LabFtpExchange::serverHashCommand(FtpSession& lab) {
    const FtpResult feat = runServerCommands(lab, {QStringLiteral("FEAT")});
    if (!feat.succeeded())
        return std::nullopt;
    bool inList = false;
    bool xsha256 = false;
    std::optional<QString> hash;
    for (const QString& reply : serverReplies(feat.dialogue)) {
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

bool LabFtpExchange::renameRemoteFile(FtpSession& lab, const QString& from, const QString& to) {
    const QString& folder = lab.profile().folder;
    return runServerCommands(lab, {QStringLiteral("RNFR ") + folder + from,
                                   QStringLiteral("RNTO ") + folder + to})
        .succeeded();
}

std::optional<QStringList> LabFtpExchange::listRemoteFolder(FtpSession& lab) {
    FtpRequest request;
    request.url = folderUrl(lab.profile(), lab.profile().folder);
    request.listOnly = true;
    const FtpResult result = runShort(lab, request);
    // A listing that could not be fetched proves nothing, even when it came empty.
    if (!result.succeeded())
        return std::nullopt;
    return namesOf(result.body);
}

bool LabFtpExchange::deleteRemoteFile(FtpSession& lab, const QString& name) {
    return runServerCommands(lab, {QStringLiteral("DELE ") + lab.profile().folder + name})
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
