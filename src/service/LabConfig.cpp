#include "service/LabConfig.h"

#include "service/LabEndpoints.h"
#include "settings/Log.h"
#include "util/CurlAccount.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QReadWriteLock>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <arpa/inet.h>
#include <optional>

namespace {

struct LabHosts {
    QString infoServer = QString::fromLatin1(LabConfig::kDefaultHttpBase);
    QString webServer = QString::fromLatin1(LabConfig::kDefaultHttpBase);
    QString analysisServer = QString::fromLatin1(LabConfig::kDefaultHttpBase);
    QString authServer = QString::fromLatin1(LabConfig::kDefaultHttpBase);
    QString orderFtpHost = QString::fromLatin1(LabConfig::kDefaultFtpHost);
    QString orderFtpUser = QString::fromLatin1(LabConfig::kDefaultOrderFtpUser);
    QString ftp2Host = QString::fromLatin1(LabConfig::kDefaultFtpHost);
    QString testFtpHost = QString::fromLatin1(LabConfig::kDefaultFtpHost);
    // TLS of each FTP server and the CA file its certificate is checked against ("" = the
    // system's store).
    orbel::FtpTlsMode orderFtpTls = orbel::FtpTlsMode::Off;
    orbel::FtpTlsMode ftp2Tls = orbel::FtpTlsMode::Off;
    orbel::FtpTlsMode testFtpTls = orbel::FtpTlsMode::Off;
    QString orderFtpCa;
    QString ftp2Ca;
    QString testFtpCa;
    QString path;
    std::optional<QString> refusal;
};

// No destination at all: what a refused file leaves.
LabHosts refusedHosts(const QString& path, const QString& why) {
    LabHosts hosts;
    hosts.infoServer.clear();
    hosts.webServer.clear();
    hosts.analysisServer.clear();
    hosts.authServer.clear();
    hosts.orderFtpHost.clear();
    hosts.orderFtpUser.clear();
    hosts.ftp2Host.clear();
    hosts.testFtpHost.clear();
    hosts.path = path;
    hosts.refusal = why;
    return hosts;
}

// A lab.conf is a handful of lines; anything much larger is not one.
constexpr qint64 kMaxFileBytes = 64 * 1024;

QReadWriteLock& lock() {
    static QReadWriteLock instance;
    return instance;
}

// Guarded by lock(); empty until the first read.
std::optional<LabHosts>& state() {
    static std::optional<LabHosts> instance;
    return instance;
}

QString programFolder() {
    if (QCoreApplication::instance() != nullptr)
        return QCoreApplication::applicationDirPath();
    // Before the application object exists (or in a tool without one).
    const QFileInfo exe(QStringLiteral("/proc/self/exe"));
    return QFileInfo(exe.symLinkTarget()).absolutePath();
}

QStringList candidatePaths() {
    const QByteArray explicitPath = qgetenv("HALVIX_LAB_CONF");
    if (!explicitPath.isEmpty())
        return {QString::fromLocal8Bit(explicitPath)};
    QString configHome = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (configHome.isEmpty())
        configHome = QDir::homePath() + QStringLiteral("/.config");
    const QString exeDir = programFolder();
    return {configHome + QStringLiteral("/halvix2/lab.conf"), exeDir + QStringLiteral("/lab.conf"),
            QDir::cleanPath(exeDir + QStringLiteral("/../share/halvix2/lab.conf"))};
}

bool isControl(QChar c) {
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Other_Format ||
           category == QChar::Separator_Line || category == QChar::Separator_Paragraph;
}

// The first character that would change what "scheme://" + value + path means, or end the value
// early in a command line: none when there is none.
std::optional<QString> forbiddenCharacter(const QString& value) {
    for (const QChar c : value) {
        if (isControl(c))
            return QStringLiteral("制御文字は使えない");
        if (c.isSpace())
            return QStringLiteral("空白は使えない");
        if (c == u'#' || c == u'?' || c == u'/' || c == u'@' || c == u'\\' || c == u'%')
            return QStringLiteral("「%1」は使えない").arg(c);
    }
    return std::nullopt;
}

bool isHostLabel(QStringView label) {
    if (label.isEmpty() || label.size() > 63 || label.startsWith(u'-') || label.endsWith(u'-'))
        return false;
    return std::all_of(label.begin(), label.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'-' || c == u'_';
    });
}

bool isHostName(const QString& host) {
    if (host.isEmpty() || host.size() > 253)
        return false;
    const QList<QStringView> labels = QStringView(host).split(u'.');
    return std::all_of(labels.begin(), labels.end(), isHostLabel);
}

bool isIpv6(const QString& text) {
    in6_addr address{};
    return !text.isEmpty() && inet_pton(AF_INET6, text.toLatin1().constData(), &address) == 1;
}

// "host", "host:port", "[v6]" or "[v6]:port": none when valid, else why not.
std::optional<QString> hostPortProblem(const QString& value) {
    if (value.isEmpty())
        return QStringLiteral("ホスト名がない");
    if (const std::optional<QString> bad = forbiddenCharacter(value))
        return bad;
    QString host;
    QString port;
    bool hasPort = false;
    if (value.startsWith(u'[')) {
        const qsizetype close = value.indexOf(u']');
        if (close < 0 || !isIpv6(value.mid(1, close - 1)))
            return QStringLiteral("IPv6アドレスが正しくない");
        const QString rest = value.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return QStringLiteral("IPv6アドレスの後ろが正しくない");
            hasPort = true;
            port = rest.mid(1);
        }
    } else {
        const qsizetype colon = value.indexOf(u':');
        host = colon < 0 ? value : value.left(colon);
        if (colon >= 0) {
            hasPort = true;
            port = value.mid(colon + 1);
        }
        if (!isHostName(host))
            return QStringLiteral("ホスト名が正しくない");
    }
    if (hasPort) {
        const bool digits =
            !port.isEmpty() && port.size() <= 5 &&
            std::all_of(port.begin(), port.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        const int number = digits ? port.toInt() : 0;
        if (number < 1 || number > 65535)
            return QStringLiteral("ポート番号は1〜65535");
    }
    return std::nullopt;
}

// "http://host[:port]" or "https://...", trailing "/" allowed: the value without them, or why
// not.
std::optional<QString> httpBaseProblem(const QString& value, QString& base) {
    QString rest;
    QString scheme;
    for (const char* candidate : {"http://", "https://"}) {
        const QString prefix = QString::fromLatin1(candidate);
        if (value.startsWith(prefix, Qt::CaseInsensitive)) {
            scheme = prefix;
            rest = value.mid(prefix.size());
        }
    }
    if (scheme.isEmpty())
        return QStringLiteral("http:// または https:// で始まっていない");
    while (rest.endsWith(u'/'))
        rest.chop(1);
    if (rest.contains(u'/')) {
        const qsizetype slash = rest.indexOf(u'/');
        QString withoutSlashes = rest;
        withoutSlashes.remove(u'/');
        return forbiddenCharacter(withoutSlashes)
            .value_or(QStringLiteral("ホスト名の後ろにパス（%1）は書けない").arg(rest.mid(slash)));
    }
    if (const std::optional<QString> problem = hostPortProblem(rest))
        return problem;
    base = scheme + rest;
    return std::nullopt;
}

std::optional<QString> userProblem(const QString& value) {
    // The name goes into "user:password" and into shell command lines.
    static const QRegularExpression safeName(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    if (safeName.match(value).hasMatch())
        return std::nullopt;
    return QStringLiteral("アカウント名に使えるのは英数字と「_」「.」「-」だけ");
}

std::optional<QString> tlsProblem(const QString& value, orbel::FtpTlsMode& mode) {
    const QString word = value.toLower();
    if (word == QLatin1String("off"))
        mode = orbel::FtpTlsMode::Off;
    else if (word == QLatin1String("try"))
        mode = orbel::FtpTlsMode::Try;
    else if (word == QLatin1String("require"))
        mode = orbel::FtpTlsMode::Require;
    else
        return QStringLiteral("off・try・require のいずれかを書く");
    return std::nullopt;
}

// A CA file: absolute, or relative to the lab.conf that names it; it must be there, since a
// missing one would only show as a failed send.
std::optional<QString> caFileProblem(const QString& value, const QString& confPath, QString& file) {
    if (value.isEmpty())
        return QStringLiteral("CAファイルのパスがない");
    for (const QChar c : value) {
        if (isControl(c))
            return QStringLiteral("制御文字は使えない");
    }
    const QString absolute =
        QDir::isAbsolutePath(value) ? value : QFileInfo(confPath).absoluteDir().filePath(value);
    const QFileInfo info(absolute);
    if (!info.isFile() || !info.isReadable())
        return QStringLiteral("CAファイル（%1）を読み込めない").arg(QDir::cleanPath(absolute));
    file = QDir::cleanPath(info.absoluteFilePath());
    return std::nullopt;
}

LabHosts load() {
    LabHosts hosts;
    const QStringList candidates = candidatePaths();
    QString found;
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).exists()) {
            found = candidate;
            break;
        }
    }
    if (found.isEmpty()) {
        if (!qEnvironmentVariableIsEmpty("HALVIX_LAB_CONF"))
            Log::outputLn(QStringLiteral("ラボ接続設定ファイルが見つからないため既定値を使用（%1）")
                              .arg(candidates.value(0)));
        return hosts;
    }
    const auto refuse = [&found](const QString& why) {
        Log::outputLn(
            QStringLiteral("ラボ接続設定ファイルに誤りがあるため使用しない（%1）").arg(why));
        return refusedHosts(found, why);
    };
    QFile file(found);
    if (!QFileInfo(found).isFile() || !file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("%1：ファイルを読み込めない").arg(found));
    const QByteArray content = file.read(kMaxFileBytes + 1);
    if (content.size() > kMaxFileBytes)
        return refuse(QStringLiteral("%1：ファイルが大きすぎる").arg(found));
    hosts.path = found;

    const QHash<QString, QString LabHosts::*> httpKeys = {
        {QStringLiteral("info_server"), &LabHosts::infoServer},
        {QStringLiteral("web_server"), &LabHosts::webServer},
        {QStringLiteral("analysis_server"), &LabHosts::analysisServer},
        {QStringLiteral("auth_server"), &LabHosts::authServer}};
    const QHash<QString, QString LabHosts::*> ftpKeys = {
        {QStringLiteral("order_ftp_host"), &LabHosts::orderFtpHost},
        {QStringLiteral("ftp2_host"), &LabHosts::ftp2Host},
        {QStringLiteral("test_ftp_host"), &LabHosts::testFtpHost}};
    const QHash<QString, orbel::FtpTlsMode LabHosts::*> tlsKeys = {
        {QStringLiteral("order_ftp_tls"), &LabHosts::orderFtpTls},
        {QStringLiteral("ftp2_tls"), &LabHosts::ftp2Tls},
        {QStringLiteral("test_ftp_tls"), &LabHosts::testFtpTls}};
    const QHash<QString, QString LabHosts::*> caKeys = {
        {QStringLiteral("order_ftp_ca"), &LabHosts::orderFtpCa},
        {QStringLiteral("ftp2_ca"), &LabHosts::ftp2Ca},
        {QStringLiteral("test_ftp_ca"), &LabHosts::testFtpCa}};

    QHash<QString, qsizetype> seen; // key -> its line
    QString text = QString::fromUtf8(content);
    if (text.startsWith(QChar(0xFEFF))) // an editor's byte order mark is not part of the first key
        text.remove(0, 1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString key = eq > 0 ? line.left(eq).trimmed() : QString();
        const QString value = eq > 0 ? line.mid(eq + 1).trimmed() : QString();
        std::optional<QString> problem;
        const bool known = httpKeys.contains(key) || ftpKeys.contains(key) ||
                           tlsKeys.contains(key) || caKeys.contains(key) ||
                           key == QLatin1String("order_ftp_user");
        if (key.isEmpty()) {
            problem = QStringLiteral("「項目名=値」の形になっていない");
        } else if (known && seen.contains(key)) {
            problem = QStringLiteral("%1 は%2行目にもある").arg(key).arg(seen.value(key) + 1);
        } else if (httpKeys.contains(key)) {
            QString base;
            problem = httpBaseProblem(value, base);
            if (!problem)
                hosts.*httpKeys.value(key) = base;
        } else if (ftpKeys.contains(key)) {
            problem = hostPortProblem(value);
            if (!problem)
                hosts.*ftpKeys.value(key) = value;
        } else if (tlsKeys.contains(key)) {
            orbel::FtpTlsMode mode = orbel::FtpTlsMode::Off;
            problem = tlsProblem(value, mode);
            if (!problem)
                hosts.*tlsKeys.value(key) = mode;
        } else if (caKeys.contains(key)) {
            QString caPath;
            problem = caFileProblem(value, found, caPath);
            if (!problem)
                hosts.*caKeys.value(key) = caPath;
        } else if (key == QLatin1String("order_ftp_user")) {
            problem = userProblem(value);
            if (!problem)
                hosts.orderFtpUser = value;
        }
        // Unknown keys belong to newer or older versions: ignored, but a misspelt key would leave
        // its default in use, so the log names it.
        if (!key.isEmpty() && !known)
            Log::outputLn(QStringLiteral("ラボ接続設定の不明な項目を無視（%1 %2行目：%3）")
                              .arg(found)
                              .arg(i + 1)
                              .arg(key));
        if (problem)
            return refuse(QStringLiteral("%1 %2行目：%3").arg(found).arg(i + 1).arg(*problem));
        if (known)
            seen.insert(key, i);
    }
    return hosts;
}

LabHosts current() {
    {
        QReadLocker reader(&lock());
        if (state())
            return *state();
    }
    QWriteLocker writer(&lock());
    if (!state())
        state() = load();
    return *state();
}

} // namespace

QString LabConfig::infoServer() {
    return current().infoServer;
}
QString LabConfig::webServer() {
    return current().webServer;
}
QString LabConfig::analysisServer() {
    return current().analysisServer;
}
QString LabConfig::authServer() {
    return current().authServer;
}
QString LabConfig::orderFtpHost() {
    return current().orderFtpHost;
}
QString LabConfig::orderFtpUser() {
    return current().orderFtpUser;
}
QString LabConfig::ftp2Host() {
    return current().ftp2Host;
}
QString LabConfig::testFtpHost() {
    return current().testFtpHost;
}
orbel::FtpTlsMode LabConfig::orderFtpTls() {
    return current().orderFtpTls;
}
orbel::FtpTlsMode LabConfig::ftp2Tls() {
    return current().ftp2Tls;
}
orbel::FtpTlsMode LabConfig::testFtpTls() {
    return current().testFtpTls;
}
QString LabConfig::orderFtpCa() {
    return current().orderFtpCa;
}
QString LabConfig::ftp2Ca() {
    return current().ftp2Ca;
}
QString LabConfig::testFtpCa() {
    return current().testFtpCa;
}
QString LabConfig::configPath() {
    return current().path;
}

std::optional<QString> LabConfig::refusal() {
    return current().refusal;
}

QString LabConfig::refusalAlertText(bool onSend) {
    const QString what = onSend ? QStringLiteral("オーダーは送信されず、未送信オーダーとして残って"
                                                 "います。ファイルを直してからHALVIX 2を起動し"
                                                 "直し、『オーダーを全て送信』で送信してください。")
                                : QStringLiteral("このままではオーダーを送信できません。ファイルを"
                                                 "直してからHALVIX 2を起動し直してください。");
    return QStringLiteral("%1\n\n%2").arg(current().refusal.value_or(QString()), what);
}

namespace {

// A request of a refused file's server is "": it goes nowhere.
QString onServer(const QString& base, const QString& rest) {
    return base.isEmpty() ? QString() : base + rest;
}

} // namespace

QString LabConfig::appInfoUrl() {
    return onServer(infoServer(), QLatin1String(LabEndpoints::kAppInfoPath));
}

QString LabConfig::albumInfoUrl() {
    return onServer(webServer(), QLatin1String(LabEndpoints::kAlbumInfoPath));
}

QString LabConfig::analyzerUrl() {
    return onServer(analysisServer(), QLatin1String(LabEndpoints::kAnalyzerPath) +
                                          QLatin1String(LabEndpoints::kAnalyzerQuery));
}

QString LabConfig::authConvertMd5Url(const QString& password) {
    return onServer(authServer(), QLatin1String(LabEndpoints::kAuthConvertMd5Path) + password);
}

QString LabConfig::authCheckUrl(const QString& code, const QString& md5) {
    return onServer(authServer(),
                    QLatin1String(LabEndpoints::kAuthPath) +
                        QString::fromLatin1(LabEndpoints::kAuthCheckQueryFormat).arg(code, md5));
}

QString LabConfig::authDataUrl(const QString& code, const QString& md5, const QString& key) {
    return onServer(
        authServer(),
        QLatin1String(LabEndpoints::kAuthPath) +
            QString::fromLatin1(LabEndpoints::kAuthDataQueryFormat).arg(code, md5, key));
}

QString LabConfig::ftpOpenHost(const QString& hostPort) {
    // An IPv6 literal in brackets keeps its colons.
    if (hostPort.startsWith(QLatin1Char('['))) {
        const qsizetype close = hostPort.indexOf(QLatin1Char(']'));
        if (close > 0 && hostPort.mid(close + 1).startsWith(QLatin1Char(':')))
            return hostPort.mid(1, close - 1) + QLatin1Char(' ') + hostPort.mid(close + 2);
        return close > 0 ? hostPort.mid(1, close - 1) : hostPort;
    }
    const qsizetype colon = hostPort.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0 || hostPort.indexOf(QLatin1Char(':')) != colon)
        return hostPort;
    return hostPort.left(colon) + QLatin1Char(' ') + hostPort.mid(colon + 1);
}

void LabConfig::reload() {
    LabHosts fresh = load();
    QWriteLocker writer(&lock());
    state() = std::move(fresh);
}
