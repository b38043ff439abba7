#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orbel {

// Every move and replacement here is durable: the file's bytes reach the disk before any name of
// it does, the folder that gained the name is synced after the rename, and across file systems the
// source is removed only once the copy and its name are on the target's disk. A power loss at any
// moment leaves the source, the complete target, or both; never neither, never a short target.

// Syncs a file's bytes to the disk. False on an I/O error; a file system that cannot sync (no
// fsync support, read-only) counts as synced.
bool syncFile(const QString& path);
// Syncs a folder's entries (names made, renamed or removed in it) to the disk; same rule.
bool syncFolder(const QString& folder);

// Replaces path with data in one step that a crash cannot tear: a temporary file beside it
// ("NAME.tmp-XXXXXX", private to the owner), synced, renamed over path, the folder synced. False,
// with the previous file untouched and no temporary left, when any step fails (a full disk).
bool writeFileAtomically(const QString& path, const QByteArray& data);

// Moves a file to destination only when nothing is there yet: an existing file is never
// replaced, also not by a file that appears in the meantime. Within one file system the move is a
// single atomic step; across file systems (a save path on another disk) the content is copied into
// a newly created file of that name and the source removed afterwards. False, with the source left
// where it was, when the destination exists or the move fails. A file moved into a folder that only
// its owner may enter (the order pool) is made the owner's alone as well.
bool moveFileNoReplace(const QString& source, const QString& destination);

// Moves a file to destination, replacing what is there in one atomic step (across file systems:
// a complete copy beside the destination renamed over it). Only for a replacement the user has
// agreed to.
bool moveFileReplacing(const QString& source, const QString& destination);

// The partial copies that moves across file systems killed in the middle left in a folder: the
// hidden ".NAME.part-XXXXXX" files (regular files only).
QStringList partialMoveFilesIn(const QString& folder);
// Those a move to destination can leave beside it: ".NAME.part-XXXXXX", "NAME.part" and
// ".NAME.part.part-XXXXXX".
QStringList partialMoveFilesOf(const QString& destination);

} // namespace orbel
