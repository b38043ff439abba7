#include "job/ZipJob.h"

#include "job/JobInfo.h"
#include "job/JobTestHook.h"
#include "job/OrderHistory.h"
#include "job/PoolArchiveRecord.h"
#include "job/StopWatch.h"
#include "service/Analyzer.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/FileMove.h"
#include "util/MiravellPath.h"
#include "util/PathUtil.h"
#include "util/StringUtil.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <filesystem>

namespace {

const QString kCancelInfo = QStringLiteral("キャンセルボタンによって処理が中止");

QString wholeSeconds(double seconds) {
    return QString::number(static_cast<qint64>(seconds));
}

QString fileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

// The path without the base folder in front; every path of the order lies below it. A path that
// does not is handed over whole (zip then stores it without its leading "/").
QString stripBase(const QString& path, const QString& base) {
    if (!base.isEmpty() && path.startsWith(base)) {
        return path.mid(base.size());
    }
    return path;
}

} // namespace

ZipJob::ZipJob(JobInfo& info) : Job(info) {}

QString ZipJob::orderSaveFinalPath(const QString& chosenPath) {
    if (chosenPath.isEmpty() || chosenPath.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive)) {
        return chosenPath;
    }
    return chosenPath + QStringLiteral(".zip");
}

bool ZipJob::confirmOrderSaveReplace(const QString& finalPath) {
    return Tool::confirmReplaceFile(finalPath);
}

bool ZipJob::isUsableCustomerCode() {
    const std::optional<QString> code = UserDef::stringForKey(SettingsKey::CustomerCode);
    return !code || code->isEmpty() || orbel::isValidCustomerCode(*code);
}

void ZipJob::chooseBagNo() {
    const QString pool = WorkFolder::orderZipPoolFolderPath() + u'/';
    // Names this machine already used (the history outlives a settings file kept aside as
    // damaged, which starts the bag number again).
    QSet<QString> used;
    for (const OrderHistoryRecord& record : OrderHistory::records()) {
        used.insert(record.archiveName);
    }
    const qint64 first = _info.bagNo();
    qint64 bag = first;
    for (;; ++bag) {
        const QString name = _info.zipNameForBagNo(bag) + QStringLiteral(".zip");
        if (!orbel::isFolderOrFilePath(pool + name) && !used.contains(name)) {
            break;
        }
    }
    if (bag != first) {
        Log::outputLn(
            QStringLiteral("BagNo %1 の名前は使用済み（オーダープールまたは履歴）のため %2 を使用")
                .arg(first)
                .arg(bag));
        _info.setBagNo(bag);
    }
}

bool ZipJob::moveToDestination(const QString& zipFile, const QString& destination, bool save) {
    if (orbel::moveFileNoReplace(zipFile, destination)) {
        return true;
    }
    if (!save || !orbel::isFilePath(destination)) {
        return false;
    }
    // The save path holds a file: replaced only when the user agreed to exactly this name.
    const std::optional<QString> agreed = UserDef::stringForKey(SettingsKey::OrderSaveReplacePath);
    if (agreed != destination && !confirmOrderSaveReplace(destination)) {
        Log::outputLn(QStringLiteral("保存先に同じ名前のファイルがあるため保存しない --- %1")
                          .arg(destination));
        return false;
    }
    return orbel::moveFileReplacing(zipFile, destination);
}

QString ZipJob::zipPassword() {
    return QStringLiteral("qelvoxa");
}

QString ZipJob::zipWorkFolderPath() {
    return orbel::miravellZipWorkFolderPath();
}

QString ZipJob::baseFolderPath() const {
    if (info().isResizeMode()) {
        return resizeFolderPath() + u'/';
    }
    if (isSelectFolder()) {
        QString parent = QFileInfo(QDir::cleanPath(selectInfo())).path();
        if (!parent.endsWith(u'/')) {
            parent += u'/';
        }
        return parent;
    }
    return {};
}

ZipJob::EntryPlan ZipJob::planForFile(const QString& path) const {
    if (info().isTab(OrderTab::Print) || info().isTab(OrderTab::School)) {
        return {path, QStringLiteral("-gj"), {}};
    }
    const QString base = baseFolderPath();
    if (info().isTab(OrderTab::Resize)) {
        if (base.isEmpty()) {
            return {path, QStringLiteral("-gj"), {}};
        }
        return {stripBase(path, base), QStringLiteral("-g"), base};
    }
    // Album, etc: the path below the base, or the whole path.
    if (base.isEmpty()) {
        return {path, QStringLiteral("-g"), {}};
    }
    return {stripBase(path, base), QStringLiteral("-g"), base};
}

QString ZipJob::entryPathForFile(const QString& path) const {
    return planForFile(path).entry;
}

void ZipJob::directZipFlagSetup() {
    _directZipFlg = true;
    const bool fullPath = isZipAddFullPath();
    const bool selectFolder = isSelectFolder();
    const QString base = info().isResizeMode() ? resizeFolderPath() : selectInfo();
    for (const QString& file : zipJobFiles()) {
        QString tested;
        if (fullPath) {
            tested = file;
        } else if (selectFolder) {
            tested = orbel::replaceOfString(file, base, QString());
        } else {
            tested = fileNameOf(file);
        }
        if (orbel::isInNGCharForWindowsPath(tested)) {
            _directZipFlg = false;
            break;
        }
    }
    Log::outputLn(_directZipFlg ? QStringLiteral("DirectZip Mode")
                                : QStringLiteral("CopyConvertZip Mode"));
}

bool ZipJob::copyFile(const QString& source, const QString& destination) {
    if (QFileInfo::exists(destination)) {
        QFile::remove(destination);
    }
    // A hard link costs nothing and zip only reads it; other disks get a real copy.
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_hard_link(fs::path(source.toStdString()), fs::path(destination.toStdString()),
                         error);
    if (error && !QFile::copy(source, destination)) {
        return false;
    }
    return orbel::isFilePath(destination);
}

bool ZipJob::createZipWorkFolders(const QString& relativeFolder) {
    QString folder = zipWorkFolderPath();
    if (!orbel::isFolderPath(folder) && !orbel::limitZipCreateFolder(folder)) {
        return false;
    }
    // It holds copies of the customers' photos while the order is packed: the user's alone.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QStringList parts = relativeFolder.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        folder += u'/' + part;
        if (!orbel::isFolderPath(folder) && !orbel::limitZipCreateFolder(folder)) {
            return false;
        }
    }
    return true;
}

ZipJob::PackedName ZipJob::packedNameForFile(const QString& path) const {
    const EntryPlan plan = planForFile(path);
    PackedName packed{plan.entry, {}};
    if (!_directZipFlg) {
        // Copy-convert: the file goes in under the Windows-safe name its copy in the staging
        // folder has; the entry no longer depends on where the bytes are read, so they are read
        // from the order file itself.
        if (orbel::isInNGCharForWindowsPath(packed.entry)) {
            packed.entry = orbel::convertToWindowsPath(packed.entry);
        }
        static const QRegularExpression leadingSlashes(QStringLiteral("^/+"));
        packed.entry = QDir::cleanPath(packed.entry).remove(leadingSlashes);
    }
    packed.name = plan.option == QStringLiteral("-gj") ? fileNameOf(packed.entry)
                                                       : ZipPacker::entryNameForPath(packed.entry);
    return packed;
}

bool ZipJob::oneZipWithPath(const QString& path, const QString& zipFilePath) {
    Log::outputLn(path);
    const PackedName packed = packedNameForFile(path);
    if (!_directZipFlg) {
        addSelectWorkFile(zipWorkFolderPath() + u'/' + packed.entry);
    }
    return packFile(path, packed.name, zipFilePath);
}

bool ZipJob::packFile(const QString& path, const QString& entry, const QString& zipFilePath) {
    // Two files under one entry name would leave only the last (the lab unpacks on a file system
    // that ignores letter case, and a file may even be named like the report): refused.
    const QString folded = entry.toCaseFolded();
    if (_packedEntries.contains(folded)) {
        Log::outputLn(
            QStringLiteral("ZIP書き込みエラー 同じ名前の項目が2つあります: %1").arg(entry));
        _errorText = QStringLiteral("ZIP中にエラーが発生。同じ名前のファイル %1").arg(entry);
        return false;
    }
    _packedEntries.insert(folded);
    std::unique_ptr<ZipPacker> alone;
    ZipPacker* packer = _packer.get();
    if (packer == nullptr || packer->archivePath() != zipFilePath) {
        alone = std::make_unique<ZipPacker>(
            zipFilePath, isPassZip() ? std::optional<QString>(zipPassword()) : std::nullopt);
        alone->setCancelCheck([this] { return isCancel(); });
        packer = alone.get();
    }
    bool ok = (!alone || packer->open()) && packer->addFile(path, entry);
    if (ok && alone) {
        ok = packer->finish();
    }
    if (!ok && !packer->wasCancelled()) {
        Log::outputLn(QStringLiteral("ZIP書き込みエラー %1").arg(packer->errorText()));
    }
    return ok;
}

void ZipJob::packOrderFiles(const QStringList& files, const QString& zipFilePath,
                            qsizetype& index) {
    const qsizetype count = files.size();
    _packedEntries = {QStringLiteral("PrintReport4.txt").toCaseFolded()};
    _packer = std::make_unique<ZipPacker>(
        zipFilePath, isPassZip() ? std::optional<QString>(zipPassword()) : std::nullopt);
    // A cancel stops even a large file between two blocks.
    _packer->setCancelCheck([this] { return isCancel(); });
    if (!_packer->open()) {
        Log::outputLn(QStringLiteral("ZIP書き込みエラー %1").arg(_packer->errorText()));
        _errorFile = zipFilePath;
        setErr(true);
    } else {
        // Read and encrypted ahead on other cores while the archive is written; each file is
        // still checked, logged and added in turn below.
        for (const QString& file : files) {
            _packer->expect(file, packedNameForFile(file).name);
        }
    }
    for (const QString& file : files) {
        if (isErr() || isCancel()) {
            break;
        }
        ++index;
        progressViewUpdateWithValue(
            static_cast<double>(index),
            QStringLiteral("%1 / %2  ファイル圧縮処理中").arg(index).arg(count));
        const quint64 size = orbel::fileSize(file);
        bool ok = false;
        if ((size <= 9 && orbel::isJpegFile(file)) || size <= 4) {
            _errorText = QStringLiteral("ZIP中にエラーが発生。SizeNG!! %1(%2)")
                             .arg(fileNameOf(file))
                             .arg(size);
        } else {
            ok = oneZipWithPath(file, zipFilePath);
        }
        if (!ok) {
            _errorFile = file;
        }
        setErr(!ok);
    }
}

void ZipJob::finishPacking(const QString& zipFilePath) {
    // The directory is written once, after the order files and the Kinelo files: the archive is
    // read back only once, while it is small. An archive left unfinished by an error or a cancel
    // is deleted by the stage.
    if (_packer && !isFailure() && !_packer->finish()) {
        Log::outputLn(QStringLiteral("ZIP書き込みエラー %1").arg(_packer->errorText()));
        _errorFile = zipFilePath;
        setErr(true);
    }
    _packedSha256 = _packer ? _packer->sha256() : std::nullopt;
    _packer.reset();
}

std::optional<PoolArchiveRecord> ZipJob::packedRecord(const QString& zipFilePath) const {
    if (!_packedSha256) {
        return PoolArchiveRecord::forArchive(
            zipFilePath, QString::fromLatin1(PoolArchiveRecord::kHashPacked), {});
    }
    const QFileInfo info(zipFilePath);
    if (!info.isFile()) {
        return std::nullopt;
    }
    PoolArchiveRecord record;
    record.size = info.size();
    record.modified = info.lastModified();
    record.sha256 = *_packedSha256;
    record.hashSource = QString::fromLatin1(PoolArchiveRecord::kHashPacked);
    return record;
}

bool ZipJob::kineloZipJob(const QString& zipFilePath) {
    qint64 type = 0;
    QStringList addFiles;
    std::optional<QString> movPath;
    std::optional<QString> picPath;
    if (info().isTab(OrderTab::Album)) {
        type = UserDef::albumKinloOrderType();
        addFiles = UserDef::albumKineloAddFiles().value_or(QStringList());
        movPath = UserDef::albumKineloMovFilePath();
        picPath = UserDef::albumKineloPicFilePath();
    } else if (info().isTab(OrderTab::Print)) {
        type = UserDef::printKinloOrderType();
        if (type != 0) {
            type = 2; // the print tab takes a movie and a picture only
        }
        movPath = UserDef::printKineloMovFilePath();
        picPath = UserDef::printKineloPicFilePath();
    }
    if (type == 0) {
        return true;
    }

    // The files are read where they are and packed under their Kinelo names.
    const QString kineloFolder = QStringLiteral("kinelo");
    bool ok = true;
    if (type == 1) {
        const QString sourceFolder = kineloFolder + QStringLiteral("/soucefile");
        QSet<QString> usedNames;
        for (const QString& file : std::as_const(addFiles)) {
            if (!ok) {
                break;
            }
            // Two added files of the same name would replace each other in the archive.
            QString name = orbel::convertToWindowsPath(fileNameOf(file));
            const QFileInfo nameInfo(name);
            for (int n = 2; usedNames.contains(name.toLower()); ++n) {
                name = nameInfo.completeBaseName() + QStringLiteral("_%1").arg(n) +
                       (nameInfo.suffix().isEmpty() ? QString() : u'.' + nameInfo.suffix());
            }
            usedNames.insert(name.toLower());
            ok = packFile(file, sourceFolder + u'/' + name, zipFilePath);
        }
    } else if (type == 2) {
        ok = movPath && picPath;
        if (ok) {
            const QString movEntry = kineloFolder + QStringLiteral("/MOV_") +
                                     orbel::convertToWindowsPath(fileNameOf(*movPath));
            const QString picEntry = kineloFolder + QStringLiteral("/PIC_") +
                                     orbel::convertToWindowsPath(fileNameOf(*picPath));
            ok = packFile(*movPath, movEntry, zipFilePath) &&
                 packFile(*picPath, picEntry, zipFilePath);
        }
    }
    return ok;
}

bool ZipJob::isFotoFusionFile() const {
    const QVariantMap record = UserDef::fotoFusionDic().value_or(QVariantMap());
    const QString manifest = record.value(QStringLiteral("ManifestPath")).toString();
    const QString archive = record.value(QStringLiteral("ArchivePath")).toString();
    if (manifest.isEmpty() || archive.isEmpty()) {
        return false;
    }
    const QStringList files = jobFiles();
    return files.contains(manifest) && files.contains(archive);
}

void ZipJob::deleteFotoFusionTemp() {
    const QString documents = orbel::fotoFusionWorkFolderPath();
    if (orbel::isFolderPath(documents)) {
        for (const QString& name : orbel::directoryContents(documents)) {
            const QString folder = documents + u'/' + name;
            if (!orbel::isFolderPath(folder)) {
                continue;
            }
            const QStringList entries = orbel::directoryContents(folder);
            const bool hasScrap =
                std::any_of(entries.cbegin(), entries.cend(), [](const QString& e) {
                    return QFileInfo(e).suffix() == QStringLiteral("ScrapPackage");
                });
            if (hasScrap) {
                orbel::limitFotoFusionDeleteFileOrFolder(folder);
            }
        }
    }
    UserDef::setFotoFusionDic(QVariantMap());
}

bool ZipJob::start() {
    StopWatch stopWatch;
    stopWatch.start();
    QVariantMap postDic;

    Log::outputLn(QStringLiteral("ZIP処理開始"));
    errClear();
    addCancelObserver();
    progressViewInit();
    directZipFlagSetup();

    // Only a customer code of digits (and a branch) may name an archive and reach the lab.
    if (!isUsableCustomerCode()) {
        const QString code = UserDef::stringForKey(SettingsKey::CustomerCode).value_or(QString());
        const QString info = QStringLiteral("お客様コードが正しくない");
        setErr(true);
        postDic.insert(QStringLiteral("ErrorInfo"), info);
        Log::outputLn(info);
        Tool::alertWithMsg(QStringLiteral("お客様コードが正しくありません"),
                           QStringLiteral("お客様コード「%1」ではオーダーを作成できません。\n"
                                          "環境設定でお客様コードを半角数字で入力してください"
                                          "（支店番号は「-」の後に続けます）。")
                               .arg(code));
        orbel::limitDeleteFileOrFolder(resizeFolderPath());
        Analyzer::analyzerPost(QStringLiteral("ZIP-NG"), postDic);
        progressViewClear();
        removeCancelObserver();
        return false;
    }
    // Report and archive name carry the same number: chosen before the report is written.
    chooseBagNo();

    const std::optional<QString> zipFile = createAndZipFilePath();
    if (!zipFile) {
        const QString info = QStringLiteral("作業フォルダが作成できない");
        postDic.insert(QStringLiteral("ErrorInfo"), info);
        Log::outputLn(info);
        Tool::alertWithMsg(QStringLiteral("作業フォルダが作成できません"),
                           QStringLiteral("ファイル圧縮の作業フォルダが作成できませんでした"));
        orbel::limitDeleteFileOrFolder(resizeFolderPath());
    } else {
        // A path chosen twice (a print row repeated for another size) is packed once: packing it
        // again would only replace the same entry.
        QStringList files = zipJobFiles();
        files.removeDuplicates();
        const qsizetype count = files.size();
        progressViewSetupWithMax(static_cast<double>(count));
        qsizetype index = 0;
        packOrderFiles(files, *zipFile, index);

        const bool kinelo = (info().isTab(OrderTab::Print) && UserDef::isPrintKineloFile()) ||
                            (info().isTab(OrderTab::Album) && UserDef::isAlbumKineloFile());
        if (!isFailure() && kinelo) {
            postDic.insert(QStringLiteral("kinelo"), QStringLiteral("あり"));
            if (!kineloZipJob(*zipFile)) {
                setErr(true);
                _errorText = QStringLiteral("ZIP中にエラーが発生（kinelo処理）");
                _errorFile = QStringLiteral("kinelo");
            }
        }
        finishPacking(*zipFile);

        postDic.insert(QStringLiteral("FileName"), fileNameOf(*zipFile));
        postDic.insert(QStringLiteral("JobTime"), wholeSeconds(stopWatch.lap()));
        if (!Tool::isTigerOperatingSystem()) {
            postDic.insert(QStringLiteral("Encryption"), QStringLiteral("ON"));
        }

        bool keepArchive = false;
        if (isSucsess()) {
            orbel::limitDeleteFileOrFolder(resizeFolderPath());
            Log::outputLn(QStringLiteral("ZIP成功（%1ファイル）").arg(index));
            const bool save = UserDef::isOrderActionSave();
            QString destination = zipPoolFilePath();
            if (save) {
                destination = orderSaveFinalPath(
                    UserDef::stringForKey(SettingsKey::OrderSavePath).value_or(QString()));
                Log::outputLn(QStringLiteral("OrderActionSave --- %1").arg(destination));
            }
            // What was packed, so that the send stage can refuse an archive damaged or replaced
            // in the pool. Hashed before the move: only the finished archive is measured.
            std::optional<PoolArchiveRecord> packed;
            if (!save && !destination.isEmpty()) {
                packed = packedRecord(*zipFile);
                if (!packed)
                    Log::outputLn(QStringLiteral("作成したファイルのハッシュを記録できない --- %1")
                                      .arg(*zipFile));
            }
            // A finished archive that did not arrive where it belongs must not pass for a
            // success: the order stays on the tab and can be sent again. An archive already
            // there is never replaced without the user's word.
            const bool moved =
                !destination.isEmpty() && moveToDestination(*zipFile, destination, save);
            if (moved && packed)
                packed->modified = QFileInfo(destination).lastModified();
            if (moved && packed && !packed->write(destination))
                Log::outputLn(QStringLiteral("送信の記録を書き込めない -- %1")
                                  .arg(PoolArchiveRecord::recordPathFor(destination)));
            if (save) {
                UserDef::removeObjectForKey(SettingsKey::OrderSaveReplacePath);
            }
            if (!moved) {
                setErr(true);
                keepArchive = orbel::isFolderOrFilePath(destination);
                _errorText = keepArchive
                                 ? QStringLiteral("ZIP中にエラーが発生（同じ名前のファイルがある）")
                                 : QStringLiteral("ZIP中にエラーが発生（ファイル移動失敗）");
                _errorFile = destination;
            } else {
                // The archive is in its place: the stage has succeeded, whatever comes now.
                decideSucsess();
                OrderHistory::append(OrderHistory::recordFor(
                    _info, destination,
                    save ? OrderHistoryRecord::Outcome::Saved : OrderHistoryRecord::Outcome::Pooled,
                    static_cast<qint64>(index)));
                JobTestHook::reach(JobTestHook::Point::AfterPoolMove);
                postDic.insert(QStringLiteral("FileSize"),
                               Tool::autoDataByteStringWithByte(
                                   static_cast<double>(orbel::fileSize(destination))));
                if (isFotoFusionFile()) {
                    const QString manifest =
                        UserDef::objectForKeyFromFotoFusionDic(QStringLiteral("ManifestPath"))
                            .toString();
                    postDic.insert(QStringLiteral("FotoFusion"), fileNameOf(manifest));
                    deleteFotoFusionTemp();
                }
            }
        }

        if (isFailure()) {
            progressViewClear(); // the tab's progress ends before the alert tells what happened
            if (isCancel()) {
                postDic.insert(QStringLiteral("ErrorInfo"), kCancelInfo);
                Log::outputLn(QStringLiteral("処理がキャンセルされた"));
                Tool::doneAlertWithMsg(
                    QStringLiteral("処理を中止しました"),
                    QStringLiteral("キャンセルボタンによって処理が中止されました"));
            } else {
                postDic.insert(QStringLiteral("ErrorInfo"),
                               _errorText.isEmpty() ? QStringLiteral("ZIP中にエラーが発生")
                                                    : _errorText);
                Log::outputLn(QStringLiteral("ZIP中にエラーが発生"));
                Tool::alertWithMsg(
                    QStringLiteral("エラーが発生しました"),
                    QStringLiteral("ファイル圧縮中にエラーが発生しました\n[%1]\n処理を中止しました")
                        .arg(_errorFile));
            }
            orbel::limitDeleteFileOrFolder(resizeFolderPath());
            if (keepArchive) {
                // Neither archive is lost: the one at the destination stays, the new one waits
                // in the work area.
                Log::outputLn(
                    QStringLiteral("作成したファイルは作業フォルダに残す --- %1").arg(*zipFile));
            } else {
                orbel::limitDeleteFileOrFolder(*zipFile);
            }
        }
    }

    Analyzer::analyzerPost(isSucsess() ? QStringLiteral("ZIP") : QStringLiteral("ZIP-NG"), postDic);
    progressViewClear();
    removeCancelObserver();
    return isSucsess();
}
