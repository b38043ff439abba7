#include "service/LabConfig.h"

#include "service/LabEndpoints.h"
#include "settings/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QReadWriteLock>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
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
    QString path;
};

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

QString withoutTrailingSlash(QString url) {
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}

bool isHttpBase(const QString& value) {
    const QUrl url(value, QUrl::StrictMode);
    return url.isValid() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
           !url.host().isEmpty();
}

bool isFtpHost(const QString& value) {
    // "host" or "host:port", nothing that would change the meaning of "ftp://" + host + path.
    if (value.isEmpty() || value.contains(QLatin1Char('/')) || value.contains(QLatin1Char('@')) ||
        value.contains(QLatin1Char(' ')))
        return false;
    const QUrl url(QStringLiteral("ftp://") + value + QStringLiteral("/"), QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty();
}

LabHosts load() {
    LabHosts hosts;
    const QStringList candidates = candidatePaths();
    QString found;
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
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
    QFile file(found);
    if (!file.open(QIODevice::ReadOnly)) {
        Log::outputLn(
            QStringLiteral("ラボ接続設定ファイルを読み込めないため既定値を使用（%1）").arg(found));
        return hosts;
    }
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

    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString key = eq > 0 ? line.left(eq).trimmed() : QString();
        const QString value = eq > 0 ? line.mid(eq + 1).trimmed() : QString();
        bool accepted = false;
        if (key.isEmpty()) {
            accepted = false;
        } else if (httpKeys.contains(key)) {
            accepted = isHttpBase(value);
            if (accepted)
                hosts.*httpKeys.value(key) = withoutTrailingSlash(value);
        } else if (ftpKeys.contains(key)) {
            accepted = isFtpHost(value);
            if (accepted)
                hosts.*ftpKeys.value(key) = value;
        } else if (key == QLatin1String("order_ftp_user")) {
            // The name goes into "user:password" and into shell command lines.
            static const QRegularExpression safeName(QStringLiteral("^[A-Za-z0-9_.-]+$"));
            accepted = safeName.match(value).hasMatch();
            if (accepted)
                hosts.orderFtpUser = value;
        } else {
            accepted = true; // unknown keys belong to newer or older versions: ignored
        }
        if (!accepted)
            Log::outputLn(
                QStringLiteral("ラボ接続設定の不正な行を無視（%1 %2行目）").arg(found).arg(i + 1));
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
QString LabConfig::configPath() {
    return current().path;
}

QString LabConfig::appInfoUrl() {
    return infoServer() + QLatin1String(LabEndpoints::kAppInfoPath);
}

QString LabConfig::albumInfoUrl() {
    return webServer() + QLatin1String(LabEndpoints::kAlbumInfoPath);
}

QString LabConfig::analyzerUrl() {
    return analysisServer() + QLatin1String(LabEndpoints::kAnalyzerPath) +
           QLatin1String(LabEndpoints::kAnalyzerQuery);
}

QString LabConfig::authConvertMd5Url(const QString& password) {
    return authServer() + QLatin1String(LabEndpoints::kAuthConvertMd5Path) + password;
}

QString LabConfig::authCheckUrl(const QString& code, const QString& md5) {
    return authServer() + QLatin1String(LabEndpoints::kAuthPath) +
           QString::fromLatin1(LabEndpoints::kAuthCheckQueryFormat).arg(code, md5);
}

QString LabConfig::authDataUrl(const QString& code, const QString& md5, const QString& key) {
    return authServer() + QLatin1String(LabEndpoints::kAuthPath) +
           QString::fromLatin1(LabEndpoints::kAuthDataQueryFormat).arg(code, md5, key);
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
