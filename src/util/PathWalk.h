#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// The folder walk behind the tree operations of PathUtil.h.
namespace orbel::walk {

// The last path component, trailing slashes ignored ("/a/b/" gives "b").
QString lastComponent(const QString& path);

// The direct entries of a folder (hidden ones included), sorted by name; empty when the path is
// not a readable folder. Entries whose names are not UTF-8 cannot be named, so they are not
// listed; when unreadable is given, they are added to it (shown with shownName), and so is the
// folder itself when it cannot be opened or read to its end.
QList<QFileInfo> folderEntries(const QString& folder, QStringList* unreadable = nullptr);

// Visits every regular file below folder, depth first in name order, skipping files whose own name
// starts with "."; folders are entered whatever their name, links to folders never. The walk ends
// early when visit answers false. Returns the number of files handed to visit. When unreadable is
// given, every folder the walk could not enter or read to its end, and every folder or file it
// had to leave out because its name is not UTF-8, is added to it as shown to people.
qint64 walkFiles(const QString& folder, const std::function<bool(const QFileInfo&)>& visit,
                 QStringList* unreadable = nullptr);

// A name as people can read it: bytes that are not UTF-8 as "\xNN", control characters (line
// breaks, DEL, ...) as "\n", "\r", "\t" or "\xNN" / "\uNNNN", everything else as it is.
QString shownName(const QByteArray& raw);
QString shownName(const QString& text);
// Control characters (C0, DEL, C1) and the Unicode line and paragraph separators.
bool isControlCharacter(char32_t c);

} // namespace orbel::walk
