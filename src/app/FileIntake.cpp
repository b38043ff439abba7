#include "app/FileIntake.h"

#include "settings/Log.h"
#include "util/PathUtil.h"
#include "util/PathWalk.h"
#include "util/Tool.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace {

const QString kTooManyFilesInfo = QStringLiteral("5000ファイル以下に調整してください");

QString fileName(const QString& path) {
    return orbel::walk::lastComponent(path);
}

// A name as the lab's file system compares it: composed (the archive and the report carry the
// composed form, so "ガ" typed on a Mac and on Windows is one name) and without letter case.
QString nameKey(const QString& name) {
    return name.normalized(QString::NormalizationForm_C).toCaseFolded();
}

// A path inside folder at any depth (not the folder itself).
bool isInside(const QString& path, const QString& folder) {
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return path.startsWith(prefix);
}

// The folder's files as the tree walks take them (regular files at every depth, names not
// starting with ".", links to folders not entered), counted in directory order so that the count
// really stops one file past limit, even inside one huge folder level.
qint64 fileCountToLimit(const QString& folder, qint64 limit) {
    if (!QFileInfo(folder).isDir()) {
        return 0;
    }
    qint64 count = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (count <= limit && it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        if (info.isFile() && !info.fileName().startsWith(QLatin1Char('.'))) {
            ++count;
        }
    }
    return count;
}

void sortPlain(QStringList& paths) {
    std::sort(paths.begin(), paths.end());
}

void alertSizeOverWithResize() {
    Tool::alertWithMsg(
        QStringLiteral("ファイルの合計サイズが大きすぎます"),
        QStringLiteral(
            "%1以下になる様にファイルを減らすか、『適切なサイズにリサイズする』をチェック"
            "してください")
            .arg(FileIntake::fileLimitSizeStr()));
}

} // namespace

QString FileIntake::selectInfoFilesOnly() {
    return QStringLiteral("ファイルが直接選択されました");
}

QString FileIntake::selectInfoFilesAndFolders() {
    return QStringLiteral("フォルダとファイルが選択されました");
}

QString FileIntake::selectInfoSeveralFolders() {
    return QStringLiteral("複数のフォルダが選択されました");
}

QString FileIntake::selectInfoNone() {
    return QStringLiteral("---");
}

FileIntake::FileIntake(FileIntakeHost& host) : host_(host) {}

QStringList FileIntake::listChooserNameFilters() {
    return {QStringLiteral("すべてのファイル (*)"),
            QStringLiteral("写真 (*.jpg *.jpeg *.png *.tif *.tiff *.heic *.heif *.psd *.bmp *.gif "
                           "*.webp *.pdf)"),
            QStringLiteral("JPEG画像 (*.jpg *.jpeg)")};
}

void FileIntake::dragDropFolderAndFiles(const QStringList& paths) {
    QStringList sorted;
    sorted.reserve(paths.size());
    for (const QString& path : paths) {
        if (!path.isEmpty()) {
            sorted.append(QDir::cleanPath(path));
        }
    }
    sorted.removeDuplicates();
    sortPlain(sorted);

    // Regular files are taken; folders and vanished paths are "the rest". Pipes, sockets and
    // devices are refused: reading one would block the program or never end.
    QStringList files;
    QStringList rest;
    QStringList specials;
    for (const QString& path : std::as_const(sorted)) {
        const QFileInfo info(path);
        if (info.isFile()) {
            files.append(path);
        } else if (info.isDir() || !info.exists()) {
            rest.append(path);
        } else {
            specials.append(path);
        }
    }

    unreadable_.clear();
    if (!refuseSpecialFiles(specials) && !refuseUnpairableNames(sorted)) {
        if (host_.kineloWindowOpen()) {
            listIntake(FileListKind::Kinelo, files);
        } else {
            switch (host_.selectedTab()) {
            case OrderTab::Etc:
            case OrderTab::Album:
                setIntake(files, rest);
                break;
            case OrderTab::Resize:
                resizeIntake(files, rest);
                break;
            case OrderTab::Print:
                listIntake(FileListKind::Print, files);
                break;
            case OrderTab::School:
                listIntake(FileListKind::School, files);
                break;
            }
        }
    }
    reportUnreadable();
    host_.comViewRefresh();
}

bool FileIntake::refuseSpecialFiles(const QStringList& specials) {
    if (specials.isEmpty()) {
        return false;
    }
    Log::outputLn(QStringLiteral("通常のファイルではないのでNG(%1)").arg(specials.first()));
    Tool::alertWithMsg(QStringLiteral("通常のファイル以外はドロップできません"),
                       QStringLiteral("%1\nパイプや装置などの特殊なファイルは受け付けられません。")
                           .arg(fileName(specials.first())));
    return true;
}

std::optional<QString> FileIntake::unpairableName(const QStringList& paths) {
    for (const QString& path : paths) {
        for (const char32_t c : path.toUcs4()) {
            if (orbel::walk::isControlCharacter(c)) {
                return path;
            }
        }
    }
    return std::nullopt;
}

// The report writes such a name on one line and the archive keeps it as it is, so the lab cannot
// pair them; nor can Windows unpack it.
bool FileIntake::refuseUnpairableNames(const QStringList& paths) {
    const std::optional<QString> path = unpairableName(paths);
    if (!path) {
        return false;
    }
    const QString shown = orbel::walk::shownName(*path);
    Log::outputLn(QStringLiteral("ファイル名に制御文字が含まれているのでNG(%1)").arg(shown));
    Tool::alertWithMsg(QStringLiteral("ファイル名に使えない文字が含まれています"),
                       QStringLiteral("%1\n改行などの制御文字を含む名前のファイルやフォルダは"
                                      "送信できません。名前を変えてからもう一度追加してください。")
                           .arg(shown));
    return true;
}

QStringList FileIntake::folderFiles(const QString& folder) {
    QStringList paths;
    orbel::walk::walkFiles(
        folder,
        [&paths](const QFileInfo& file) {
            paths.append(file.filePath());
            return true;
        },
        &unreadable_);
    sortPlain(paths);
    return paths;
}

void FileIntake::reportUnreadable() {
    if (unreadable_.isEmpty()) {
        return;
    }
    QStringList names = unreadable_;
    unreadable_.clear();
    names.removeDuplicates();
    Log::outputLn(QStringLiteral("読み込めないフォルダを除外（%1件）：%2")
                      .arg(names.size())
                      .arg(names.join(QStringLiteral(", "))));
    // The alert stays readable: the first ten, and how many more the log holds.
    constexpr qsizetype kShown = 10;
    QString list = names.mid(0, kShown).join(u'\n');
    if (names.size() > kShown) {
        list += QStringLiteral("\nほか%1件").arg(names.size() - kShown);
    }
    Tool::alertWithMsg(QStringLiteral("読み込めないフォルダがあります"),
                       QStringLiteral("次のフォルダまたはファイルは、名前が読み取れないか開く権限が"
                                      "ないため、注文に入っていません。\n%1")
                           .arg(list));
}

void FileIntake::setIntake(const QStringList& files, const QStringList& folders) {
    Log::outputLn(QStringLiteral("その他 or アルバムとしてドロップファイルを処理"));

    // A file or folder dropped together with a folder that holds it is taken once, through the
    // outer folder, so no file is counted or sent twice.
    QStringList outerFolders;
    for (const QString& folder : folders) {
        const bool nested = std::any_of(folders.cbegin(), folders.cend(), [&](const QString& o) {
            return o != folder && isInside(folder, o);
        });
        if (!nested) {
            outerFolders.append(folder);
        }
    }
    QStringList result;
    for (const QString& file : files) {
        const bool inFolder =
            std::any_of(outerFolders.cbegin(), outerFolders.cend(),
                        [&](const QString& folder) { return isInside(file, folder); });
        if (!inFolder) {
            result.append(file);
        }
    }

    bool tooMany = result.size() > kTabFileLimit;
    qsizetype counted = result.size();
    if (!tooMany) {
        for (const QString& folder : std::as_const(outerFolders)) {
            const qint64 allowance = kTabFileLimit - result.size();
            const qint64 count = fileCountToLimit(folder, allowance);
            if (count > allowance) {
                tooMany = true;
                counted = result.size() + count;
                break;
            }
            result.append(folderFiles(folder));
        }
    }

    if (tooMany) {
        Log::outputLn(QStringLiteral("ファイルの数が多すぎるのでNG（%1件）").arg(counted));
        Tool::alertWithMsg(QStringLiteral("対象となるファイルが多過ぎます"), kTooManyFilesInfo);
        return;
    }
    if (result.isEmpty()) {
        Log::outputLn(QStringLiteral("対象のファイルが含まれてないのでNG"));
        Tool::alertWithMsg(QStringLiteral("対象となるファイルが含まれていません"), QString());
        return;
    }
    if (refuseUnpairableNames(result)) {
        return;
    }
    if (isFileSizeOver(result)) {
        Log::outputLn(QStringLiteral("合計のファイルサイズが制限を超えている"));
        alertSizeOverWithResize();
        return;
    }

    host_.setSelectFiles(result);
    QString info;
    if (!files.isEmpty() && !folders.isEmpty()) {
        info = selectInfoFilesAndFolders();
    } else if (!files.isEmpty()) {
        info = selectInfoFilesOnly();
    } else if (folders.size() >= 2) {
        info = selectInfoSeveralFolders();
    } else if (folders.size() == 1) {
        info = folders.first();
    } else {
        info = selectInfoNone();
    }
    host_.setSelectInfo(info);
    Log::outputLn(info);
}

void FileIntake::resizeIntake(const QStringList& files, const QStringList& folders) {
    Log::outputLn(QStringLiteral("リサイズ商品としてドロップファイルを処理"));
    const qsizetype f = files.size();
    const qsizetype d = folders.size();
    if (f > 0 && d > 0) {
        Log::outputLn(
            QStringLiteral("ファイルとフォルダを混在でNG（file=%1 folder=%2）").arg(f).arg(d));
        Tool::alertWithMsg(QStringLiteral("ファイルとフォルダを混在して選択できません"), QString());
        return;
    }
    if (d >= 2) {
        Log::outputLn(QStringLiteral("複数フォルダでNG（file=%1 folder=%2）").arg(f).arg(d));
        Tool::alertWithMsg(QStringLiteral("複数フォルダは選択できません"), QString());
        return;
    }
    if (d == 1) {
        Log::outputLn(QStringLiteral("１フォルダのみでOK（file=%1 folder=%2）").arg(f).arg(1));
        oneFolder(folders.first());
        return;
    }
    if (f == 0) {
        return;
    }
    Log::outputLn(QStringLiteral("ファイルのみドロップ（file=%1 folder=%2）").arg(f).arg(d));
    // The tab holds at most as many files as any other tab.
    if (f > kTabFileLimit) {
        Log::outputLn(QStringLiteral("ファイルの数が多すぎるのでNG（%1件）").arg(f));
        Tool::alertWithMsg(QStringLiteral("対象となるファイルが多過ぎます"), kTooManyFilesInfo);
        return;
    }
    if (!isContanisJpegFileWithFilesPath(files)) {
        Log::outputLn(QStringLiteral("jpegが含まれていないファイルがドロップされたのでNG"));
        Tool::alertWithMsg(QStringLiteral("jpgファイルが含まれていません"),
                           QStringLiteral("受注対象となるjpgファイルを含めてドロップしてください"));
        return;
    }
    if (!isEqualFolderWithFilesPath(files)) {
        Log::outputLn(QStringLiteral("異なる階層のファイルがドロップされたのでNG"));
        Tool::alertWithMsg(QStringLiteral("異なる階層のファイルはドロップできません"),
                           QStringLiteral("同じフォルダ内のファイルをドロップしてください"));
        return;
    }
    if (isResizeFileSizeOver(files)) {
        Log::outputLn(QStringLiteral("合計のファイルサイズが制限を超えている"));
        alertSizeOverWithResize();
        return;
    }
    Log::outputLn(QStringLiteral("%1件のファイルを受付").arg(f));
    jpegFilesDrop(files);
}

void FileIntake::listIntake(FileListKind list, const QStringList& files) {
    const bool kinelo = list == FileListKind::Kinelo;
    switch (list) {
    case FileListKind::Print:
        Log::outputLn(QStringLiteral("プリントとしてドロップファイルを処理"));
        break;
    case FileListKind::School:
        Log::outputLn(QStringLiteral("スクールとしてドロップファイルを処理"));
        break;
    case FileListKind::Kinelo:
        Log::outputLn(QStringLiteral("アルバムのキネロ追加ファイルとして処理"));
        break;
    }
    const auto step = [kinelo](const QString& line) {
        if (kinelo) {
            Log::outputLn(line);
        }
    };
    const QStringList existing = host_.listFilePaths(list);

    step(QStringLiteral("ファイル数をチェック"));
    if (existing.size() + files.size() > kTabFileLimit) {
        Log::outputLn(QStringLiteral("ファイルの数が多すぎるのでNG（%1件）").arg(files.size()));
        Tool::alertWithMsg(QStringLiteral("ドロップされたファイルが多過ぎます"), kTooManyFilesInfo);
        host_.reloadList(list);
        return;
    }
    step(QStringLiteral("処理できるファイルがあるかチェック"));
    if (files.isEmpty()) {
        Log::outputLn(QStringLiteral("対象のファイルが含まれてないのでNG"));
        Tool::alertWithMsg(QStringLiteral("ファイルのみドロップ可能です"), QString());
        host_.reloadList(list);
        return;
    }
    step(QStringLiteral("ドロップされた中に同じファイルがあるかチェック"));
    if (const std::optional<QString> name = overlapFileName(files)) {
        Log::outputLn(
            QStringLiteral("ドロップされたファイルの中に同じファイル名がある(%1)").arg(*name));
        Tool::alertWithMsg(QStringLiteral("同じファイル名が複数あります。"),
                           QStringLiteral("%1\n同じファイル名は登録できません。").arg(*name));
        host_.reloadList(list);
        return;
    }
    step(QStringLiteral("同じファイル名がすでにあるかチェック"));
    if (const std::optional<QString> name = registeredFileNameInList(files, existing)) {
        Log::outputLn(QStringLiteral("登録済みと同じファイル名がドロップされた(%1)").arg(*name));
        Tool::alertWithMsg(QStringLiteral("登録されているのと同じファイル名が含まれています。"),
                           QStringLiteral("%1\n同じファイル名は登録できません。").arg(*name));
        host_.reloadList(list);
        return;
    }
    step(QStringLiteral("ファイルサイズチェック"));
    // The order carries the tab's selection; the Kinelo files travel with the album order.
    QStringList base = host_.selectFiles();
    if (kinelo) {
        base.append(existing);
    }
    const quint64 total = orbel::arrayAllFilesSize(base) + orbel::arrayAllFilesSize(files);
    if (total > static_cast<quint64>(fileLimitSize())) {
        Log::outputLn(QStringLiteral("ファイルサイズの合計が%1を超える").arg(fileLimitSizeStr()));
        Tool::alertWithMsg(QStringLiteral("ファイルサイズの合計が大きすぎます"),
                           QStringLiteral("合計のファイルサイズが%1を超えるので追加できません")
                               .arg(fileLimitSizeStr()));
        host_.reloadList(list);
        return;
    }

    host_.appendListRows(list, files);
    if (kinelo) {
        Log::outputLn(QStringLiteral("ドロップファイルの受け入れ処理"));
        Log::outputLn(QStringLiteral("fileInfoArray.count=%1").arg(existing.size() + files.size()));
    }
}

void FileIntake::oneImageFolderSelected(const QString& folder) {
    unreadable_.clear();
    oneFolder(folder);
    reportUnreadable();
}

void FileIntake::oneFolder(const QString& folder) {
    const OrderTab tab = host_.selectedTab();
    if (tab != OrderTab::Album && tab != OrderTab::Etc && tab != OrderTab::Resize) {
        return; // the print and school tabs take files into their lists only
    }
    QStringList files;
    bool failed = false;
    bool sizeOver = false;
    // Every file of the folder goes into the order, so every file counts against the tab's
    // limit, and the walk stops one past it.
    const qint64 count = fileCountToLimit(folder, kTabFileLimit);
    if (count > kTabFileLimit) {
        Log::outputLn(QStringLiteral("ファイルの数が多すぎるのでNG（%1件）").arg(count));
        Tool::alertWithMsg(QStringLiteral("フォルダに含まれるファイルが多過ぎます"),
                           kTooManyFilesInfo);
        failed = true;
    } else {
        files = folderFiles(folder);
        if (refuseUnpairableNames(QStringList{folder} + files)) {
            failed = true;
        } else if (tab == OrderTab::Resize) {
            if (!isContanisJpegFileWithFilesPath(files)) {
                Log::outputLn(QStringLiteral("jpegが含まれていないフォルダが選択されたのでNG"));
                Tool::alertWithMsg(
                    QStringLiteral("jpgファイルが含まれていません"),
                    QStringLiteral(
                        "受注対象となるjpgファイルが含まれたフォルダを選択してください"));
                failed = true;
            } else {
                sizeOver = isResizeFileSizeOver(files);
            }
        } else {
            sizeOver = isFileSizeOver(files);
        }
    }
    if (!failed && sizeOver) {
        Log::outputLn(QStringLiteral("合計のファイルサイズが制限を超えている"));
        alertSizeOverWithResize();
        failed = true;
    }
    if (failed) {
        host_.setSelectFiles({});
        return;
    }

    host_.setSelectFiles(files);
    if (!files.isEmpty()) {
        Log::outputLn(QStringLiteral("画像フォルダ選択（%1件のファイル）").arg(files.size()));
        host_.setSelectInfo(folder);
    } else {
        host_.setSelectInfo(QString());
        Log::outputLn(QStringLiteral("対象のファイルが含まれてないのでNG"));
        Tool::alertWithMsg(QStringLiteral("対象となるファイルが含まれていません"),
                           QStringLiteral("この商品はJPEGファイルが対象です"));
    }
}

void FileIntake::jpegFilesDrop(const QStringList& files) {
    host_.setSelectFiles(files);
    host_.setSelectInfo(selectInfoFilesOnly());
}

void FileIntake::imageFolderSelect(QObject* window) {
    host_.dragDropOff();
    Tool::folderSelectSheet(window, [this](const std::optional<QString>& folder) {
        if (folder) {
            oneImageFolderSelected(*folder);
        }
    });
    host_.dragDropOn();
    host_.comViewRefresh();
}

bool FileIntake::isContanisJpegFileWithFilesPath(const QStringList& paths) {
    return std::any_of(paths.cbegin(), paths.cend(),
                       [](const QString& path) { return orbel::isJpegFile(path); });
}

bool FileIntake::isEqualFolderWithFilesPath(const QStringList& paths) {
    QSet<QString> parents;
    for (const QString& path : paths) {
        parents.insert(QFileInfo(QDir::cleanPath(path)).absolutePath());
        if (parents.size() > 1) {
            return false;
        }
    }
    return true;
}

std::optional<QString> FileIntake::overlapFileName(const QStringList& paths) {
    QHash<QString, QString> seen; // folded name -> first path with it
    for (const QString& path : paths) {
        const QString name = fileName(path);
        const QString key = nameKey(name);
        const auto it = seen.constFind(key);
        if (it != seen.cend()) {
            if (*it != path) {
                return name;
            }
            continue;
        }
        seen.insert(key, path);
    }
    return std::nullopt;
}

std::optional<QString> FileIntake::registeredFileName(const QStringList& paths,
                                                      const QString& registFileNameStr) {
    const QString registered = nameKey(registFileNameStr);
    for (const QString& path : paths) {
        const QString name = fileName(path);
        if (registered.contains(QLatin1Char(',') + nameKey(name) + QLatin1Char(','))) {
            return name;
        }
    }
    return std::nullopt;
}

std::optional<QString> FileIntake::registeredFileNameInList(const QStringList& paths,
                                                            const QStringList& listPaths) {
    // Compared name by name: a listed name holding a comma must not match part of another.
    QSet<QString> listed;
    for (const QString& path : listPaths) {
        listed.insert(nameKey(fileName(path)));
    }
    for (const QString& path : paths) {
        const QString name = fileName(path);
        if (listed.contains(nameKey(name))) {
            return name;
        }
    }
    return std::nullopt;
}

QString FileIntake::allFileNameStr(const QStringList& paths) {
    QString text = QStringLiteral(",");
    for (const QString& path : paths) {
        text += fileName(path) + QLatin1Char(',');
    }
    return text;
}

bool FileIntake::isFileSizeOver(const QStringList& paths) {
    return orbel::arrayAllFilesSize(paths) > static_cast<quint64>(fileLimitSize());
}

bool FileIntake::isResizeFileSizeOver(const QStringList& paths) const {
    return !host_.resizeExeChecked() && isFileSizeOver(paths);
}

qint64 FileIntake::fileLimitSize() {
    return Tool::isTigerOperatingSystem() || Tool::isLeopardOperatingSystem() ? 2147000000LL
                                                                              : 4147000000LL;
}

QString FileIntake::fileLimitSizeStr() {
    return Tool::isTigerOperatingSystem() || Tool::isLeopardOperatingSystem()
               ? QStringLiteral("2GB")
               : QStringLiteral("4GB");
}
