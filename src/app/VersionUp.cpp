#include "app/VersionUp.h"

#include "app/PreferencesHost.h"
#include "service/Analyzer.h"
#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "service/UpdateInfo.h"
#include "settings/Log.h"
#include "util/MiravellPath.h"
#include "util/ProcessRunner.h"
#include "util/Sha256.h"
#include "util/Tool.h"
#include "util/VersionText.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr char kRemoteFolder[] = "/upver/m";
constexpr char kInstallerName[] = "Halvix2_Install.mpkg";

QString stem(const QString& fileName) {
    return fileName.endsWith(QStringLiteral(".zip")) ? fileName.left(fileName.size() - 4)
                                                     : fileName;
}

void postNg(const QString& version, const QString& logText) {
    Analyzer::analyzerPost(QStringLiteral("VersionUp-NG"),
                           QVariantMap{{QStringLiteral("NewVersion"), version},
                                       {QStringLiteral("ErrorInfo"), logText}});
}

VersionUp::Outcome fail(const QString& version, const QString& logText, const QString& alertText,
                        VersionUp::Outcome outcome) {
    Log::outputLn(logText);
    Tool::alertWithMsg(alertText, QStringLiteral("次に起動した時に再度行います"));
    postNg(version, logText);
    return outcome;
}

QString packageManagerText(const QString& package) {
    return QStringLiteral("このHALVIX 2はDebianパッケージ（%1）としてインストールされています。"
                          "更新はパッケージ管理（ソフトウェアの更新、apt）から行ってください。")
        .arg(package);
}

} // namespace

bool VersionUp::isNewVersion(const QString& thisVersion, const QString& version) {
    // Component by component: read as decimal numbers 2.1.5 and 2.1.9 would be equal and 2.10
    // older than 2.9.
    Log::outputLn(QStringLiteral("ThisVer=%1 LastVer=%2")
                      .arg(orbel::versionLogText(thisVersion), orbel::versionLogText(version)));
    if (orbel::leadingVersionNumber(thisVersion).isNull()) {
        return false;
    }
    return orbel::compareVersionText(thisVersion, version) < 0;
}

bool VersionUp::isApplicationNewVersion(const QString& version) {
    return isNewVersion(Tool::applicationVersion(), version);
}

QString VersionUp::newAppFileName(const QString& version) {
    return QStringLiteral("Halvix2_v%1.zip").arg(QString(version).remove(QLatin1Char('.')));
}

QString VersionUp::unpackFolderPath(const QString& version) {
    return WorkFolder::workFolderPath() + QLatin1Char('/') + stem(newAppFileName(version));
}

QString VersionUp::installerPath(const QString& version) {
    return unpackFolderPath(version) + QLatin1Char('/') + QLatin1String(kInstallerName);
}

std::optional<QString> VersionUp::debianPackageIn(const QString& folder) {
    const QFileInfoList found =
        QDir(folder).entryInfoList({QStringLiteral("*.deb")}, QDir::Files, QDir::Name);
    if (found.isEmpty()) {
        return std::nullopt;
    }
    return found.first().absoluteFilePath();
}

std::optional<QString> VersionUp::owningPackage(const QString& programPath) {
    const QString path = QFileInfo(programPath).canonicalFilePath();
    // Only the system's folders hold packaged programs; dpkg is not asked about a build folder.
    if (!path.startsWith(QStringLiteral("/usr/"))) {
        return std::nullopt;
    }
    ProcessOptions options;
    options.captureStderr = true;
    const ProcessResult query =
        runProcess(QStringLiteral("/usr/bin/dpkg-query"), {QStringLiteral("-S"), path}, options);
    if (!query.succeeded()) {
        return std::nullopt;
    }
    // "halvix2: /usr/bin/halvix2" (with ":amd64" on a multi-arch package).
    const QString line = QString::fromUtf8(query.stdoutData).section(u'\n', 0, 0);
    const QString package = line.section(QStringLiteral(": "), 0, 0).section(u':', 0, 0).trimmed();
    if (package.isEmpty() || package.contains(u',')) {
        return std::nullopt;
    }
    return package;
}

std::optional<QString> VersionUp::runningProgramPackage() {
    const QString program = QCoreApplication::instance() != nullptr
                                ? QCoreApplication::applicationFilePath()
                                : QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return owningPackage(program);
}

VersionUp::Outcome VersionUp::applicationUpdateCheck(const QString& updateInfo,
                                                     PreferencesHost& host) {
    const QString version =
        UpdateInfo::markerValue(updateInfo, QLatin1String(LabEndpoints::kMarkerAppVerMac));
    // The version names a file and a folder in the work area: digits, letters and dots only.
    static const QRegularExpression versionText(QStringLiteral("^[0-9A-Za-z.]+$"));
    if (version.size() < 5 || !versionText.match(version).hasMatch()) {
        Log::outputLn(QStringLiteral("バージョン情報の取得に失敗"));
        return Outcome::NoVersionInfo;
    }
    if (!WorkFolder::checkWorkFolder()) {
        return Outcome::WorkAreaUnusable;
    }
    if (!isApplicationNewVersion(version)) {
        return Outcome::UpToDate;
    }

    Log::outputLn(QStringLiteral("バージョンアップを促す"));
    QString information = QStringLiteral("HALVIX 2の新しいバージョンをダウンロードします。");
    if (const QString notes = UpdateInfo::appVersionNotes(updateInfo); !notes.isEmpty()) {
        information += QStringLiteral("\n\n") + notes;
    }
    Tool::alertWithMsg(QStringLiteral("新しいバージョン（v%1）があります").arg(version),
                       information);
    host.setWaitPanelText(QStringLiteral("最新バージョンを読み込んでいます"));

    const QString fileName = newAppFileName(version);
    const QString remotePath = QLatin1String(kRemoteFolder) + QLatin1Char('/') + fileName;
    const QString unpackFolder = unpackFolderPath(version);
    if (QFileInfo::exists(unpackFolder)) {
        Log::outputLn(QStringLiteral("ゴミ箱へ移動（%1）").arg(unpackFolder));
        orbel::limitMoveTrashFileOrFolder(unpackFolder);
    }

    Log::outputLn(QStringLiteral("新バージョンのダウンロード開始"));
    if (!Tool::ftpFileDownLoadAndUnzipWithHost(
            LabConfig::orderFtpHost(), remotePath, LabConfig::orderFtpUser(),
            QLatin1String(LabEndpoints::kProductionPassword), WorkFolder::workFolderPath(),
            LabConfig::orderFtpTls(), LabConfig::orderFtpCa())) {
        return fail(version, QStringLiteral("ダウンロード失敗"),
                    QStringLiteral("最新バージョンの読み込みに失敗しました"),
                    Outcome::DownloadFailed);
    }
    Log::outputLn(QStringLiteral("ダウンロードと解凍成功"));

    // From here on nothing that came over the network is run by the program itself.
    const std::optional<QString> installedAs = runningProgramPackage();
    const std::optional<QString> package = debianPackageIn(unpackFolder);
    if (!package) {
        const QString logText = QStringLiteral("インストーラーは実行せずに通知");
        Log::outputLn(logText);
        Tool::alertWithMsg(
            QStringLiteral("新しいバージョン（v%1）をダウンロードしました").arg(version),
            installedAs ? packageManagerText(*installedAs)
                        : QStringLiteral("安全のため、ダウンロードしたインストーラーは自動では"
                                         "実行しません。更新の方法は当社営業へお問い合わせ"
                                         "ください。\n\nダウンロード先：%1")
                              .arg(unpackFolder));
        postNg(version, logText);
        return Outcome::Notified;
    }

    const QFileInfo packageInfo(*package);
    const std::optional<QString> sha256 = orbel::Sha256::ofFile(*package);
    if (!sha256) {
        return fail(version, QStringLiteral("ダウンロード失敗"),
                    QStringLiteral("最新バージョンの読み込みに失敗しました"),
                    Outcome::DownloadFailed);
    }
    Log::outputLn(QStringLiteral("新バージョンのパッケージ（%1 %2バイト SHA-256 %3）")
                      .arg(packageInfo.fileName())
                      .arg(packageInfo.size())
                      .arg(*sha256));
    QString question =
        QStringLiteral("ファイル：%1\n大きさ：%2（%3バイト）\nSHA-256：%4\n\n"
                       "パッケージのインストーラーで開きます。ラボから知らされたSHA-256と同じか"
                       "確かめてからインストールしてください。")
            .arg(packageInfo.fileName(), Tool::autoDataByteStringWithByte(packageInfo.size()))
            .arg(packageInfo.size())
            .arg(*sha256);
    if (installedAs) {
        question += QStringLiteral("\n\n") + packageManagerText(*installedAs);
    }
    if (!Tool::alertOkNgWithMsg(
            QStringLiteral("新しいバージョン（v%1）のパッケージを開きますか？").arg(version),
            question, QStringLiteral("開く"), QStringLiteral("開かない"))) {
        const QString logText = QStringLiteral("新バージョンのパッケージを開かずに続行");
        Log::outputLn(logText);
        postNg(version, logText);
        return Outcome::Notified;
    }
    if (!host.openWithDesktop(*package)) {
        return fail(version, QStringLiteral("インストーラーの起動に失敗"),
                    QStringLiteral("インストーラーの起動に失敗しました"), Outcome::InstallerFailed);
    }

    Log::outputLn(QStringLiteral("新バージョンインストールの為にアプリケーション終了"));
    Log::outputLn(QStringLiteral("Halvix2(v%1)終了").arg(Tool::applicationVersion()));
    Log::outputLn(QString(51, QLatin1Char('=')));
    Analyzer::analyzerPost(QStringLiteral("VersionUp"),
                           QVariantMap{{QStringLiteral("NewVersion"), version}});
    host.terminateApplication();
    return Outcome::Installing;
}
