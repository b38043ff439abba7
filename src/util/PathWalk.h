#pragma once

#include <QFileInfo>
#include <QList>
#include <QString>
#include <functional>

// The folder walk behind the tree operations of PathUtil.h.
namespace orbel::walk {

// The last path component, trailing slashes ignored ("/a/b/" gives "b").
QString lastComponent(const QString& path);

// The direct entries of a folder (hidden ones included), sorted by name; empty when the path is
// not a readable folder.
QList<QFileInfo> folderEntries(const QString& folder);

// Visits every regular file below folder, depth first in name order, skipping files whose own name
// starts with "."; folders are entered whatever their name, links to folders never. The walk ends
// early when visit answers false. Returns the number of files handed to visit.
qint64 walkFiles(const QString& folder, const std::function<bool(const QFileInfo&)>& visit);

} // namespace orbel::walk
