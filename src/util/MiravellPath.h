#pragma once

#include <QString>

// Guarded file operations: creating, deleting and trashing only inside the program's own work
// areas (the work area's folders are named by util/WorkFolder.h). A path ("~" expanded, "." and
// ".." resolved) counts as inside when it is the area's folder itself or lies below it; anything
// else is refused with false and left alone.
namespace orbel {

// The three areas, "~" expanded.
QString miravellWorkFolderPath();    // WorkFolder::workFolderPath(), cleaned
QString miravellZipWorkFolderPath(); // ~/_MivelZipW_
QString fotoFusionWorkFolderPath();  // ~/Documents/HALVIX 2

bool isInMiravellWorkFolder(const QString& path);
bool limitCreateFolder(const QString& path);
bool limitDeleteFileOrFolder(const QString& path);
bool limitMoveTrashFileOrFolder(const QString& path);

bool isInMiravellZipWorkFolder(const QString& path);
bool limitZipCreateFolder(const QString& path);
bool limitZipDeleteFileOrFolder(const QString& path);

bool isInFotoFusionWorkFolder(const QString& path);
bool limitFotoFusionDeleteFileOrFolder(const QString& path);

} // namespace orbel
