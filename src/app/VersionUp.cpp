#include "app/VersionUp.h"

#include "app/PreferencesHost.h"
#include "service/Analyzer.h"
#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "service/UpdateInfo.h"
#include "settings/Log.h"
#include "util/MiravellPath.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"
#include "util/VersionText.h"
#include "util/WorkFolder.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace {

constexpr char kRemoteFolder[] = "/upver/m";
constexpr char kInstallerName[] = "Halvix2_Install.mpkg";

QString stem(const QString& fileName) {
    return fileName.endsWith(QStringLiteral(".zip")) ? fileName.left(fileName.size() - 4)
                                                     : fileName;
}

VersionUp::Outcome fail(const QString& version, const QString& logText, const QString& alertText,
                        VersionUp::Outcome outcome) {
    Log::outputLn(logText);
    Tool::alertWithMsg(alertText, QStringLiteral("次に起動した時に再度行います"));
    Analyzer::analyzerPost(QStringLiteral("VersionUp-NG"),
                           QVariantMap{{QStringLiteral("NewVersion"), version},
                                       {QStringLiteral("ErrorInfo"), logText}});
    return outcome;
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

bool VersionUp::startInstaller(const QString& installerPath) {
    const QFileInfo info(installerPath);
    if (!info.isFile()) {
        return false;
    }
    return QProcess::startDetached(ToolPaths::sh(), {info.absoluteFilePath()}, info.absolutePath());
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
    Tool::alertWithMsg(QStringLiteral("新しいバージョン（v%1）があります").arg(version),
                       QStringLiteral("HALVIX 2の新しいバージョンをダウンロードします。"));
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
            QLatin1String(LabEndpoints::kProductionPassword), WorkFolder::workFolderPath())) {
        return fail(version, QStringLiteral("ダウンロード失敗"),
                    QStringLiteral("最新バージョンの読み込みに失敗しました"),
                    Outcome::DownloadFailed);
    }

    Log::outputLn(QStringLiteral("ダウンロードと解凍成功"));
    if (!startInstaller(installerPath(version))) {
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
