#include "util/WorkFolder.h"

#include "util/PathUtil.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool isFolder(const QString& path) {
    return QFileInfo(path).isDir();
}

// Creates the folder only when nothing at all is at its path; true when a folder is there after.
bool ensureFolder(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        QDir().mkdir(path);
    }
    return isFolder(path);
}

bool ensureSubFolders() {
    const bool log = ensureFolder(WorkFolder::logFolderPath());
    const bool pool = ensureFolder(WorkFolder::orderZipPoolFolderPath());
    return log && pool;
}

} // namespace

QString WorkFolder::workFolderPath() {
    return orbel::expandTilde(QStringLiteral("~/MVL_WorkArea"));
}

QString WorkFolder::logFolderPath() {
    return workFolderPath() + QStringLiteral("/Halvix2Log");
}

QString WorkFolder::orderZipPoolFolderPath() {
    return workFolderPath() + QStringLiteral("/OrderZipPool");
}

bool WorkFolder::checkWorkFolder() {
    const QString work = workFolderPath();
    if (isFolder(work)) {
        return ensureSubFolders();
    }
    const QFileInfo info(work);
    if (info.exists() || info.isSymLink()) {
        return false; // a file (or a broken link) occupies the work area's name
    }
    if (!QDir().mkdir(work)) {
        return false;
    }
    return ensureSubFolders();
}
