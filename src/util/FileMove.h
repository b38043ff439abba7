#pragma once

#include <QString>

namespace orbel {

// Moves a file to destination only when nothing is there yet: an existing file is never
// replaced, also not by a file that appears in the meantime. Within one file system the move is a
// single atomic step; across file systems (a save path on another disk) the content is copied into
// a newly created file of that name and the source removed afterwards. False, with the source left
// where it was, when the destination exists or the move fails.
bool moveFileNoReplace(const QString& source, const QString& destination);

// Moves a file to destination, replacing what is there in one atomic step (across file systems:
// a complete copy beside the destination renamed over it). Only for a replacement the user has
// agreed to.
bool moveFileReplacing(const QString& source, const QString& destination);

} // namespace orbel
