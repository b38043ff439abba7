// Delete, create and move-to-Trash of PathUtil.h. They act only on absolute paths: a path
// given with "~" or relative to the working folder is refused, so a mistyped path never
// removes something unexpected.
#include "util/FileMove.h"
#include "util/PathUtil.h"
#include "util/PathWalk.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QUrl>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace orbel {

namespace {

fs::path toFsPath(const QString& path) {
    return fs::path(path.toStdU16String());
}

// Exists as an entry of its folder; a link counts itself, whether its target exists or not.
bool entryExists(const QString& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(toFsPath(path), ec));
}

bool isAbsoluteTarget(const QString& path) {
    if (!path.startsWith(QLatin1Char('/'))) {
        return false;
    }
    // The root and the home folder itself are never targets of these operations.
    const QString clean = QDir::cleanPath(path);
    return clean != QLatin1String("/") && clean != QDir::cleanPath(QDir::homePath());
}

} // namespace

bool deleteFileOrFolder(const QString& path) {
    if (!isAbsoluteTarget(path) || !entryExists(path)) {
        return false;
    }
    // remove_all removes a link itself and never what it points to.
    std::error_code ec;
    const std::uintmax_t removed = fs::remove_all(toFsPath(path), ec);
    return !ec && removed > 0 && !entryExists(path);
}

bool createFolder(const QString& path) {
    if (!isAbsoluteTarget(path)) {
        return false;
    }
    std::error_code ec;
    // One level only: the parent must exist; an existing entry is a failure.
    return fs::create_directory(toFsPath(path), ec) && !ec;
}

QString trashFolderPath() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!dataHome.startsWith(QLatin1Char('/'))) {
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(dataHome) + QStringLiteral("/Trash");
}

namespace {

bool ensureFolder(const QString& path) {
    std::error_code ec;
    fs::create_directories(toFsPath(path), ec);
    if (ec) {
        return false;
    }
    // The Trash holds the user's deleted files: keep it private.
    fs::permissions(toFsPath(path), fs::perms::owner_all, fs::perm_options::replace, ec);
    return QFileInfo(path).isDir();
}

// Reserves the name in the Trash by creating its info file exclusively.
bool writeTrashInfo(const QString& infoPath, const QString& originalPath) {
    QFile info(infoPath);
    if (!info.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return false;
    }
    const QByteArray text =
        QByteArrayLiteral("[Trash Info]\nPath=") +
        QUrl::toPercentEncoding(originalPath, QByteArrayLiteral("/")) +
        QByteArrayLiteral("\nDeletionDate=") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() +
        QByteArrayLiteral("\n");
    const bool written = info.write(text) == text.size() && info.flush();
    info.close();
    return written && info.error() == QFileDevice::NoError;
}

QString fsParent(const fs::path& path) {
    return QString::fromStdU16String(path.parent_path().u16string());
}

// Syncs the whole file system that holds folder: a copied tree is on its disk, every file and
// folder of it, before its source is removed.
bool syncFileSystemOf(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::syncfs(fd) == 0;
    ::close(fd);
    return synced;
}

// Moves source to target; across file systems by copying and then removing the source, once the
// copy is on the target's disk. Either way the folders that changed are synced.
bool moveEntry(const fs::path& source, const fs::path& target) {
    std::error_code ec;
    fs::rename(source, target, ec);
    if (!ec) {
        syncFolder(fsParent(target));
        syncFolder(fsParent(source));
        return true;
    }
    if (ec != std::errc::cross_device_link) {
        return false;
    }
    fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec || !syncFileSystemOf(fsParent(target))) {
        std::error_code ignored;
        fs::remove_all(target, ignored); // leave no half copy behind; the source is untouched
        return false;
    }
    fs::remove_all(source, ec);
    syncFolder(fsParent(source));
    return !ec;
}

} // namespace

bool moveTrashFileOrFolder(const QString& path) {
    if (!isAbsoluteTarget(path) || !entryExists(path)) {
        return false;
    }
    const QString original = QDir::cleanPath(path);
    const QString name = walk::lastComponent(original);
    const QString trash = trashFolderPath();
    const QString filesFolder = trash + QStringLiteral("/files");
    const QString infoFolder = trash + QStringLiteral("/info");
    if (!ensureFolder(filesFolder) || !ensureFolder(infoFolder)) {
        return false;
    }
    const QString target = filesFolder + QLatin1Char('/') + name;
    const QString infoPath = infoFolder + QLatin1Char('/') + name + QStringLiteral(".trashinfo");
    // A name already in the Trash is a failure; nothing is renamed or overwritten there.
    if (entryExists(target) || !writeTrashInfo(infoPath, original)) {
        return false;
    }
    if (entryExists(target) || !moveEntry(toFsPath(original), toFsPath(target))) {
        QFile::remove(infoPath);
        return false;
    }
    return true;
}

} // namespace orbel
