#include "settings/Log.h"
#include "util/PathUtil.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"

#include <QFileInfo>

bool Tool::ftpFileDownLoadAndUnzipWithHost(const QString& host, const QString& path,
                                           const QString& user, const QString& pass,
                                           const QString& downFolder) {
    const QStringList args{QStringLiteral("-O"), QStringLiteral("ftp://") + host + path,
                           QStringLiteral("-u"), user + QLatin1Char(':') + pass};
    const QString curl = ToolPaths::curl();
    const ToolRunResult run = taskRunWithCmd(curl, args, downFolder);
    if (!run.launched) {
        Log::outputLn(QStringLiteral("コマンドを起動できません：%1（作業フォルダ：%2）")
                          .arg(curl, downFolder));
    }
    if (!run.ok)
        return false;
    // "-O" names the local file after the last component of the remote path.
    const QString fileName = QFileInfo(path).fileName();
    if (fileName.isEmpty())
        return false;
    return unzipAndDeleteWithPath(orbel::expandTilde(downFolder) + QLatin1Char('/') + fileName);
}
