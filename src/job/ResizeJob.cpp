#include "job/ResizeJob.h"

#include "job/JobInfo.h"
#include "job/StopWatch.h"
#include "service/Analyzer.h"
#include "settings/Log.h"
#include "util/MiravellPath.h"
#include "util/PathUtil.h"
#include "util/Tool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariantMap>

namespace {

// A scaled photo smaller than this is taken as a failed conversion.
constexpr quint64 kMinResizedFileSize = 1000;

QString fileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

// Creates every missing folder from inside the resize folder down to folder (guarded: only
// inside the work area).
bool createFolderChain(const QString& resizeFolderPath, const QString& folder) {
    if (orbel::isFolderPath(folder)) {
        return true;
    }
    if (folder.size() <= resizeFolderPath.size() || !folder.startsWith(resizeFolderPath)) {
        return false;
    }
    const QString parent = QFileInfo(folder).path();
    if (!createFolderChain(resizeFolderPath, parent)) {
        return false;
    }
    return orbel::limitCreateFolder(folder) || orbel::isFolderPath(folder);
}

} // namespace

ResizeJob::ResizeJob(JobInfo& info) : Job(info) {}

QString ResizeJob::resizePathWithResizeFolderPath(const QString& resizeFolderPath,
                                                  const QString& filePath) {
    if (!isSelectFolder()) {
        return resizeFolderPath + u'/' + fileNameOf(filePath);
    }
    // Only the leading parent folder is replaced: the same text deeper in the path (or a parent
    // of "/") must not be rewritten.
    QString parent = QFileInfo(QDir::cleanPath(selectInfo())).path();
    if (!parent.endsWith(u'/')) {
        parent += u'/';
    }
    QString destination;
    if (filePath.startsWith(parent)) {
        destination = resizeFolderPath + u'/' + filePath.mid(parent.size());
    } else {
        destination = resizeFolderPath + u'/' + fileNameOf(filePath);
    }
    createFolderChain(resizeFolderPath, QFileInfo(destination).path());
    return destination;
}

bool ResizeJob::oneResizeWithPath(const QString& path, const QString& resizePath) {
    const bool resized = Tool::jpegFileResizeWithPathNarrowPix(path, resizePath, resizePix());
    const quint64 resizedSize = orbel::fileSize(resizePath);
    Log::outputLn(QStringLiteral("%1（%2→%3）")
                      .arg(fileNameOf(path))
                      .arg(orbel::fileSize(path))
                      .arg(resizedSize));
    if (resizedSize < kMinResizedFileSize) {
        Log::outputLn(QStringLiteral("変換後のファイルが1000バイト以下なのでエラー"));
        return false;
    }
    return resized;
}

bool ResizeJob::oneCopyWithPath(const QString& path, const QString& toPath) {
    // QFile::copy writes to a temporary file and renames it, so a failed copy leaves nothing; the
    // size check catches a copy that ended short.
    const bool copied = QFile::copy(path, toPath);
    return copied && orbel::isFilePath(toPath) && orbel::fileSize(toPath) == orbel::fileSize(path);
}

bool ResizeJob::start() {
    StopWatch stopWatch;
    stopWatch.start();
    QVariantMap postDic;

    Log::outputLn(QStringLiteral("リサイズ処理開始"));
    errClear();
    addCancelObserver();
    progressViewInit();

    const std::optional<QString> resizeFolder = createAndResizeFolderPath();
    if (!resizeFolder) {
        const QString errorInfo = QStringLiteral("作業フォルダが作成できない");
        postDic.insert(QStringLiteral("ErrorInfo"), errorInfo);
        Log::outputLn(errorInfo);
        Tool::alertWithMsg(QStringLiteral("作業フォルダが作成できません"),
                           QStringLiteral("画像変換用の作業フォルダが作成できませんでした"));
    } else {
        const QStringList files = jobFiles();
        const qint64 count = files.size();
        progressViewSetupWithMax(static_cast<double>(count));
        qint64 index = 0;
        QString failedPath;
        for (const QString& file : files) {
            if (isErr() || isCancel()) {
                break;
            }
            ++index;
            progressViewUpdateWithValue(
                static_cast<double>(index),
                QStringLiteral("%1 / %2  画像リサイズ処理").arg(index).arg(count));
            const QString destination = resizePathWithResizeFolderPath(*resizeFolder, file);
            bool ok = false;
            if (orbel::isFolderOrFilePath(destination)) {
                // Two files of the order would end under one name: the first would be lost.
                Log::outputLn(
                    QStringLiteral("同じ名前のファイルが既にあります: %1").arg(destination));
            } else if (orbel::isJpegFile(file)) {
                ok = oneResizeWithPath(file, destination);
            } else {
                ok = oneCopyWithPath(file, destination);
            }
            setErr(!ok);
            if (!ok) {
                failedPath = file;
            }
        }

        postDic.insert(QStringLiteral("JobTime"),
                       QString::number(static_cast<qint64>(stopWatch.lap())));
        if (isCancel()) {
            postDic.insert(QStringLiteral("ErrorInfo"),
                           QStringLiteral("キャンセルボタンによって処理が中止"));
            Log::outputLn(QStringLiteral("処理がキャンセルされた"));
            Tool::alertWithMsg(QStringLiteral("処理を中止しました"),
                               QStringLiteral("キャンセルボタンによって処理が中止されました"));
            orbel::limitDeleteFileOrFolder(*resizeFolder);
        } else if (isErr()) {
            postDic.insert(
                QStringLiteral("ErrorInfo"),
                QStringLiteral("画像変換処理中にエラーが発生(%1)").arg(fileNameOf(failedPath)));
            Log::outputLn(QStringLiteral("変換中にエラーが発生"));
            Tool::alertWithMsg(
                QStringLiteral("エラーが発生しました"),
                QStringLiteral("画像変換処理中にエラーが発生しました\n[%1]\n処理を中止しました")
                    .arg(failedPath));
        } else {
            Log::outputLn(QStringLiteral("リサイズ成功（%1ファイル）").arg(index));
        }
    }

    Analyzer::analyzerPost(isSucsess() ? QStringLiteral("Resize") : QStringLiteral("Resize-NG"),
                           postDic);
    progressViewClear();
    removeCancelObserver();
    return isSucsess();
}
