#include "settings/Log.h"
#include "util/CurlAccount.h"
#include "util/PathUtil.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"

#include <QFileInfo>

namespace {

constexpr int kConnectTimeoutSeconds = 20;
constexpr int kStallBytesPerSecond = 1024;
constexpr int kStallSeconds = 60;
constexpr int kMaxSeconds = 1800;

} // namespace

bool Tool::ftpFileDownLoadAndUnzipWithHost(const QString& host, const QString& path,
                                           const QString& user, const QString& pass,
                                           const QString& downFolder, orbel::FtpTlsMode tls,
                                           const QString& caFile) {
    // "-O" names the local file after the last component of the remote path.
    const QString fileName = QFileInfo(path).fileName();
    // No host (a refused lab.conf): curl would take the path's first folder for one.
    if (fileName.isEmpty() || host.isEmpty())
        return false;
    const QString localPath = orbel::expandTilde(downFolder) + QLatin1Char('/') + fileName;
    // A server that stops answering must not hold the start-up forever: give up after a stall
    // of a minute below 1 KB/s, or after half an hour in all.
    const QStringList args{QStringLiteral("-sS"),
                           QStringLiteral("--connect-timeout"),
                           QString::number(kConnectTimeoutSeconds),
                           QStringLiteral("--speed-limit"),
                           QString::number(kStallBytesPerSecond),
                           QStringLiteral("--speed-time"),
                           QString::number(kStallSeconds),
                           QStringLiteral("--max-time"),
                           QString::number(kMaxSeconds),
                           QStringLiteral("-O"),
                           QStringLiteral("ftp://") + host + path};
    const QString curl = ToolPaths::curl();
    // The account reaches curl on its standard input, never in the process list.
    ProcessOptions options;
    options.workingDirectory = downFolder;
    options.captureStdout = false;
    options.captureStderr = false;
    options.stdinData = orbel::curlAccountConfig(user, pass) + orbel::curlTlsConfig(tls, caFile);
    const ProcessResult run = runProcess(curl, args + orbel::curlAccountArgs(), options);
    if (!run.started) {
        Log::outputLn(QStringLiteral("コマンドを起動できません：%1（作業フォルダ：%2）")
                          .arg(curl, downFolder));
    }
    if (!run.succeeded()) {
        // A broken transfer leaves a truncated archive; the next attempt starts clean.
        if (fileName.endsWith(QStringLiteral(".zip")) && orbel::isFilePath(localPath))
            orbel::deleteFileOrFolder(localPath);
        return false;
    }
    return unzipAndDeleteWithPath(localPath);
}
