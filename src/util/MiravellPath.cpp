#include "util/MiravellPath.h"

#include "util/PathUtil.h"
#include "util/WorkFolder.h"

#include <QDir>

namespace {

QString cleanExpanded(const QString& path) {
    return QDir::cleanPath(orbel::expandTilde(path));
}

// A plain prefix test would also accept "~/MVL_WorkAreaOld" and "~/MVL_WorkArea/../x": only the
// area itself and what lies below it count.
bool isInside(const QString& path, const QString& area) {
    if (path.isEmpty()) {
        return false;
    }
    const QString clean = cleanExpanded(path);
    const QString root = cleanExpanded(area);
    return clean == root || clean.startsWith(root + u'/');
}

} // namespace

namespace orbel {

QString miravellWorkFolderPath() {
    // The work area's root is named once, by WorkFolder.
    return QDir::cleanPath(WorkFolder::workFolderPath());
}

QString miravellZipWorkFolderPath() {
    return cleanExpanded(QStringLiteral("~/_MivelZipW_"));
}

QString fotoFusionWorkFolderPath() {
    return cleanExpanded(QStringLiteral("~/Documents/HALVIX 2"));
}

bool isInMiravellWorkFolder(const QString& path) {
    return isInside(path, miravellWorkFolderPath());
}

bool limitCreateFolder(const QString& path) {
    return isInMiravellWorkFolder(path) && createFolder(cleanExpanded(path));
}

bool limitDeleteFileOrFolder(const QString& path) {
    return isInMiravellWorkFolder(path) && deleteFileOrFolder(cleanExpanded(path));
}

bool limitMoveTrashFileOrFolder(const QString& path) {
    return isInMiravellWorkFolder(path) && moveTrashFileOrFolder(cleanExpanded(path));
}

bool isInMiravellZipWorkFolder(const QString& path) {
    return isInside(path, miravellZipWorkFolderPath());
}

bool limitZipCreateFolder(const QString& path) {
    return isInMiravellZipWorkFolder(path) && createFolder(cleanExpanded(path));
}

bool limitZipDeleteFileOrFolder(const QString& path) {
    return isInMiravellZipWorkFolder(path) && deleteFileOrFolder(cleanExpanded(path));
}

bool isInFotoFusionWorkFolder(const QString& path) {
    return isInside(path, fotoFusionWorkFolderPath());
}

bool limitFotoFusionDeleteFileOrFolder(const QString& path) {
    return isInFotoFusionWorkFolder(path) && deleteFileOrFolder(cleanExpanded(path));
}

} // namespace orbel
