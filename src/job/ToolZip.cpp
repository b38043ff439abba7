#include "job/ZipPacker.h"
#include "settings/Log.h"
#include "util/PathUtil.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"

#include <QFileInfo>
#include <array>

namespace {

// The order files' packer stores the same suffixes. zip matches them case-sensitively, so every
// spelling is listed.
QString storedSuffixList() {
    static const QString list = [] {
        QStringList out;
        for (const QString& lower : ZipPacker::storedSuffixes()) {
            QList<qsizetype> letters;
            for (qsizetype i = 0; i < lower.size(); ++i) {
                if (lower[i].isLetter()) {
                    letters.append(i);
                }
            }
            for (quint32 mask = 0; mask < (1U << letters.size()); ++mask) {
                QString spelled = lower;
                for (qsizetype bit = 0; bit < letters.size(); ++bit) {
                    if ((mask & (1U << bit)) != 0) {
                        spelled[letters[bit]] = spelled[letters[bit]].toUpper();
                    }
                }
                out.append(spelled);
            }
        }
        return out.join(u':');
    }();
    return list;
}

// "--" after the archive keeps an entry that begins with "-" from being read as an option.
bool runZip(const QStringList& args, const QString& currentPath) {
    ProcessOptions options;
    options.workingDirectory = currentPath.isEmpty() ? QStringLiteral("~") : currentPath;
    const ProcessResult result = runProcess(ToolPaths::zip(), args, options);
    if (!result.succeeded()) {
        // The password is never written to the log.
        Log::outputLn(QStringLiteral("zipコマンドエラー(%1) %2")
                          .arg(result.started ? result.exitStatus : -1)
                          .arg(QString::fromUtf8(result.stderrData).trimmed()));
    }
    return result.succeeded();
}

} // namespace

bool Tool::zipWithOption(const QString& option, const QString& zipFile, const QString& addFile,
                         const QString& currentPath) {
    return runZip(
        {option, QStringLiteral("-n"), storedSuffixList(), zipFile, QStringLiteral("--"), addFile},
        currentPath);
}

// zip takes the password only on its command line (-P) or from a terminal; the job has no
// terminal, so -P it is, for the short life of one zip call.
bool Tool::passZipWithPass(const QString& pass, const QString& option, const QString& zipFile,
                           const QString& addFile, const QString& currentPath) {
    return runZip({option, QStringLiteral("-n"), storedSuffixList(), QStringLiteral("-P"), pass,
                   zipFile, QStringLiteral("--"), addFile},
                  currentPath);
}

bool Tool::unzipAndDeleteWithPath(const QString& zipPath) {
    if (!zipPath.endsWith(QStringLiteral(".zip"))) {
        return false;
    }
    // The lab's archive holds its own top folder ("Halvix2_v215/..."), so it is expanded beside
    // itself, as an archive utility does; the folder named like the archive must then exist.
    const QString folder = zipPath.left(zipPath.size() - 4);
    const QString parent = QFileInfo(zipPath).absolutePath();
    ProcessOptions options;
    options.workingDirectory = parent;
    const ProcessResult result = runProcess(
        ToolPaths::unzip(),
        {QStringLiteral("-o"), QStringLiteral("-q"), zipPath, QStringLiteral("-d"), parent},
        options);
    if (!result.succeeded()) {
        Log::outputLn(QStringLiteral("unzipコマンドエラー(%1) %2")
                          .arg(result.started ? result.exitStatus : -1)
                          .arg(QString::fromUtf8(result.stderrData).trimmed()));
        return false;
    }
    if (!orbel::isFolderPath(folder)) {
        Log::outputLn(QStringLiteral("解凍したフォルダがありません（%1）").arg(folder));
        return false;
    }
    return orbel::deleteFileOrFolder(zipPath);
}
