#pragma once

#include <QStringList>

// The rows of a per-file order list (print or school) as the controller sees them: the list's
// own model implements it in the window half, so the rows live in one place only.
class FileListRows {
public:
    virtual ~FileListRows() = default;
    virtual QStringList filePaths() const = 0;                  // one per row, in row order
    virtual void appendFilePaths(const QStringList& paths) = 0; // one new row per path
    virtual void removeAllRecords() = 0;
    virtual void reloadData() = 0;
};
