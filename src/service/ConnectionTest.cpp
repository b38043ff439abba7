#include "service/ConnectionTest.h"

#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "service/LabFtpExchange.h"
#include "util/HttpClient.h"
#include "util/ProcessRunner.h"
#include "util/ToolPaths.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryFile>

namespace {

using State = ConnectionCheckResult::State;

// FTP checks are short exchanges: a server that does not answer within this counts as failed.
constexpr char kConnectSeconds[] = "10";
constexpr char kFtpMaxSeconds[] = "30";

ConnectionCheckResult result(State state, const QString& detail) {
    return ConnectionCheckResult{state, detail};
}

bool isUtf8(const QByteArray& body) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(body);
    Q_UNUSED(text);
    return !decoder.hasError();
}

// What curl's exit status means for the studio, for the order server's checks.
QString ftpFailureText(int code) {
    switch (code) {
    case 67:
        return QStringLiteral(
            "注文サーバーにログインできませんでした（アカウントが拒否されました）。"
            "当社営業へご連絡ください。");
    case 6:
        return QStringLiteral("注文サーバーの名前を解決できませんでした。"
                              "インターネットへの接続とDNSの設定を確認してください。");
    case 7:
        return QStringLiteral("注文サーバーに接続できませんでした。インターネットへの接続と、"
                              "ファイアウォールやセキュリティソフトがFTP通信を止めていないか"
                              "確認してください。");
    case 28:
        return QStringLiteral(
            "注文サーバーから時間内に応答がありませんでした。回線が混んでいるか、"
            "FTP通信が途中で止められています。しばらく待ってからもう一度お試しください。");
    case 9:
    case 19:
        return QStringLiteral(
            "注文サーバーのフォルダを読めませんでした。当社営業へご連絡ください。");
    case 25:
        return QStringLiteral(
            "注文サーバーにファイルを置けませんでした。当社営業へご連絡ください。");
    case 12:
    case 13:
    case 30:
        return QStringLiteral(
            "注文サーバーとのデータ通信ができませんでした。ルーターやファイアウォールが"
            "FTPのデータ通信（パッシブモード）を止めていないか確認してください。");
    case 64:
        return QStringLiteral(
            "注文サーバーが暗号化通信（TLS）に応じませんでした。この設定では暗号化なしでは"
            "送信しません。当社営業へご連絡ください。");
    case 35:
        return QStringLiteral(
            "注文サーバーとの暗号化通信（TLS）を始められませんでした。プロキシやセキュリティ"
            "ソフトが通信に割り込んでいないか確認してください。続く場合は当社営業へご連絡ください"
            "。");
    case 60:
        return QStringLiteral(
            "注文サーバーの証明書を確認できませんでした。別のサーバーになりすまされている"
            "恐れがあるため、送信しません。当社営業へご連絡ください。");
    case 77:
        return QStringLiteral("証明書の確認に使うCAファイルを読み込めませんでした。"
                              "ラボ接続設定ファイルを確認してください。");
    default:
        return QStringLiteral(
                   "注文サーバーとの通信でエラーが発生しました（コード%1）。"
                   "しばらく待ってからもう一度お試しください。続く場合は当社営業へご連絡ください。")
            .arg(code);
    }
}

int curlCode(const ProcessResult& r) {
    if (!r.started)
        return 2;
    if (r.cancelled || r.crashed)
        return 28;
    return r.exitStatus;
}

QStringList curlBase(const SendServerProfile& profile) {
    return {QStringLiteral("--globoff"),
            QStringLiteral("-s"),
            QStringLiteral("--connect-timeout"),
            QString::fromLatin1(kConnectSeconds),
            QStringLiteral("-m"),
            QString::fromLatin1(kFtpMaxSeconds),
            QStringLiteral("-K"),
            QStringLiteral("-")};
}

QString folderUrl(const SendServerProfile& profile) {
    return QStringLiteral("ftp://") + profile.host + profile.folder;
}

QString serverName(const SendServerProfile& profile) {
    switch (profile.kind) {
    case SendServerProfile::Kind::Test:
        return QStringLiteral("テスト送信用サーバー");
    case SendServerProfile::Kind::Ftp2:
        return QStringLiteral("第2注文サーバー");
    default:
        return QStringLiteral("注文サーバー");
    }
}

} // namespace

ConnectionTest::ConnectionTest(QObject* parent) : QObject(parent) {}

ConnectionTest::~ConnectionTest() {
    cancel();
    if (thread_.joinable())
        thread_.join();
}

QString ConnectionTest::checkTitle(int check) {
    switch (check) {
    case InfoServer:
        return QStringLiteral("情報サーバー");
    case AuthServer:
        return QStringLiteral("認証サーバー");
    case FtpLogin:
        return QStringLiteral("注文サーバーへのログインと一覧");
    case FtpUpload:
        return QStringLiteral("注文サーバーへの送信");
    case FtpPrivacy:
        return QStringLiteral("注文サーバーとの通信の暗号化");
    default:
        return {};
    }
}

QString ConnectionTest::stateLabel(ConnectionCheckResult::State state) {
    switch (state) {
    case State::Ok:
        return QStringLiteral("OK");
    case State::Warning:
        return QStringLiteral("注意");
    case State::Failed:
        return QStringLiteral("NG");
    case State::Skipped:
        return QStringLiteral("未確認");
    }
    return {};
}

QString ConnectionTest::probeFileName() {
    return QStringLiteral("upload_halvix_probe");
}

ConnectionCheckResult ConnectionTest::checkInfoServer() {
    HttpRequest request;
    request.url = LabConfig::appInfoUrl();
    request.timeoutSeconds = LabEndpoints::kPageTimeoutSeconds;
    const HttpResponse response = httpPerform(request);
    if (response.status == 0)
        return result(
            State::Failed,
            QStringLiteral("情報サーバーから応答がありませんでした。インターネットに接続"
                           "できているか（LANケーブル、Wi-Fi、ルーター）確認してください。"));
    if (!response.ok)
        return result(
            State::Failed,
            QStringLiteral("情報サーバーがエラーを返しました（HTTP %1）。しばらく待ってから"
                           "もう一度お試しください。続く場合は当社営業へご連絡ください。")
                .arg(response.status));
    if (!isUtf8(response.body) ||
        !QString::fromUtf8(response.body).contains(QLatin1String(LabEndpoints::kPageMarkWord)))
        return result(
            State::Failed,
            QStringLiteral("情報サーバーから当社のページではない応答が返りました。プロキシや"
                           "フィルタリングソフトが通信を書き換えていないか確認してください。"));
    return result(State::Ok, QStringLiteral("情報ページを正しく受け取りました。"));
}

ConnectionCheckResult ConnectionTest::checkAuthServer() {
    HttpRequest request;
    // A fixed word, never a password: the server answers any text with its digest.
    request.url = LabConfig::authConvertMd5Url(QStringLiteral("halvix_probe"));
    request.timeoutSeconds = LabEndpoints::kPageTimeoutSeconds;
    const HttpResponse response = httpPerform(request);
    if (response.status == 0)
        return result(
            State::Failed,
            QStringLiteral("認証サーバーから応答がありませんでした。インターネットへの接続と、"
                           "ファイアウォールの設定を確認してください。"));
    if (!response.ok)
        return result(
            State::Failed,
            QStringLiteral("認証サーバーがエラーを返しました（HTTP %1）。しばらく待ってから"
                           "もう一度お試しください。続く場合は当社営業へご連絡ください。")
                .arg(response.status));
    if (!isUtf8(response.body) ||
        !QString::fromUtf8(response.body).startsWith(QLatin1String(LabEndpoints::kAuthMd5Prefix)))
        return result(
            State::Failed,
            QStringLiteral("認証サーバーから想定外の応答が返りました。プロキシやフィルタリング"
                           "ソフトが通信を書き換えていないか確認してください。"));
    return result(State::Ok, QStringLiteral("認証サーバーが正しく応答しました。"));
}

ConnectionCheckResult ConnectionTest::checkFtpLogin() {
    const SendServerProfile profile = LabFtpExchange::serverProfile();
    QStringList args = curlBase(profile);
    args << QStringLiteral("-l") << folderUrl(profile);
    const ProcessResult listing =
        runProcess(ToolPaths::curl(), args, LabFtpExchange::curlOptions(profile));
    const int code = curlCode(listing);
    if (code != 0)
        return result(State::Failed, ftpFailureText(code));
    return result(State::Ok, QStringLiteral("%1にログインし、フォルダの一覧を受け取りました。")
                                 .arg(serverName(profile)));
}

ConnectionCheckResult ConnectionTest::checkFtpUpload() {
    const SendServerProfile profile = LabFtpExchange::serverProfile();
    QTemporaryFile probe;
    if (!probe.open())
        return result(
            State::Failed,
            QStringLiteral(
                "テスト用ファイルを作れませんでした。ディスクの空きを確認してください。"));
    probe.write("1");
    probe.close();
    QStringList upload = curlBase(profile);
    upload << QStringLiteral("-T") << probe.fileName() << folderUrl(profile) + probeFileName();
    const int uploadCode =
        curlCode(runProcess(ToolPaths::curl(), upload, LabFtpExchange::curlOptions(profile)));
    if (uploadCode != 0)
        return result(State::Failed, ftpFailureText(uploadCode));

    QStringList remove = curlBase(profile);
    remove << QStringLiteral("-Q") << QStringLiteral("DELE ") + profile.folder + probeFileName()
           << QStringLiteral("ftp://") + profile.host + QLatin1Char('/');
    const int deleteCode =
        curlCode(runProcess(ToolPaths::curl(), remove, LabFtpExchange::curlOptions(profile)));
    if (deleteCode != 0)
        return result(
            State::Warning,
            QStringLiteral("送信はできましたが、テスト用ファイル（%1）を削除できませんでした。"
                           "注文には影響しません。")
                .arg(probeFileName()));
    return result(State::Ok, QStringLiteral("テスト用の小さなファイルを送信し、削除できました。"));
}

ConnectionCheckResult ConnectionTest::checkFtpPrivacy() {
    const SendServerProfile profile = LabFtpExchange::serverProfile();
    // Login only ("-I" on the top folder): curl's verbose lines tell whether TLS was set up.
    QStringList args = curlBase(profile);
    args << QStringLiteral("-v") << QStringLiteral("-I")
         << QStringLiteral("ftp://") + profile.host + QLatin1Char('/');
    ProcessOptions options = LabFtpExchange::curlOptions(profile);
    options.captureStderr = true;
    const ProcessResult login = runProcess(ToolPaths::curl(), args, options);
    const int code = curlCode(login);
    if (code != 0)
        return result(State::Failed, ftpFailureText(code));
    static const QRegularExpression tls(QStringLiteral("SSL connection using ([^\\s/]+)"));
    const QRegularExpressionMatch match = tls.match(QString::fromUtf8(login.stderrData));
    if (match.hasMatch())
        return result(State::Ok,
                      QStringLiteral("暗号化あり（%1）：アカウントのパスワードと注文データは"
                                     "暗号化されて送られます。")
                          .arg(match.captured(1)));
    if (profile.tls == orbel::FtpTlsMode::Off)
        return result(State::Ok, QStringLiteral("暗号化なし：%1は暗号化なしで使う設定です。"
                                                "アカウントのパスワードと注文データは暗号化"
                                                "されずに送られます。")
                                     .arg(serverName(profile)));
    return result(State::Warning,
                  QStringLiteral("暗号化なし：%1が暗号化通信（TLS）に対応していないため、"
                                 "アカウントのパスワードと注文データは暗号化されずに送られます。")
                      .arg(serverName(profile)));
}

bool ConnectionTest::start() {
    if (running_.exchange(true))
        return false;
    if (thread_.joinable())
        thread_.join();
    cancel_.store(false);
    thread_ = std::thread([this] { run(); });
    return true;
}

void ConnectionTest::run() {
    bool allOk = true;
    for (int check = 0; check < CheckCount; ++check) {
        Q_EMIT checkStarted(check);
        ConnectionCheckResult r;
        if (cancel_.load()) {
            r = result(State::Skipped, QStringLiteral("中止しました。"));
        } else {
            switch (check) {
            case InfoServer:
                r = checkInfoServer();
                break;
            case AuthServer:
                r = checkAuthServer();
                break;
            case FtpLogin:
                r = checkFtpLogin();
                break;
            case FtpPrivacy:
                r = checkFtpPrivacy();
                break;
            default:
                r = checkFtpUpload();
                break;
            }
        }
        if (r.state != State::Ok)
            allOk = false;
        Q_EMIT checkFinished(check, static_cast<int>(r.state), r.detail);
    }
    running_.store(false);
    Q_EMIT finished(allOk);
}
