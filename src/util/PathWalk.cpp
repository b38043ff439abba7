#include "util/PathWalk.h"

#include <QDir>
#include <QDirIterator>
#include <algorithm>

namespace orbel::walk {

QString lastComponent(const QString& path) {
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == QLatin1Char('/')) {
        --end;
    }
    const QString trimmed = path.left(end);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    return slash < 0 || trimmed.size() == 1 ? trimmed : trimmed.mid(slash + 1);
}

QList<QFileInfo> folderEntries(const QString& folder) {
    QList<QFileInfo> entries;
    if (folder.isEmpty()) {
        return entries;
    }
    const QString clean = QDir::cleanPath(folder);
    if (!QFileInfo(clean).isDir()) {
        return entries;
    }
    // Hidden entries are listed so that the name rule, not the lister, decides about them.
    // Sockets, pipes and broken links are not files a studio can send.
    QDirIterator it(clean, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        entries.append(it.fileInfo());
    }
    std::sort(entries.begin(), entries.end(),
              [](const QFileInfo& a, const QFileInfo& b) { return a.fileName() < b.fileName(); });
    return entries;
}

namespace {

// Returns false once visit asked to stop.
bool walkFolder(const QString& folder, const std::function<bool(const QFileInfo&)>& visit,
                qint64& visited) {
    for (const QFileInfo& entry : folderEntries(folder)) {
        if (entry.isDir()) {
            // A link to a folder could lead back up the tree or out of it.
            if (entry.isSymLink()) {
                continue;
            }
            if (!walkFolder(entry.filePath(), visit, visited)) {
                return false;
            }
            continue;
        }
        if (!entry.isFile() || entry.fileName().startsWith(QLatin1Char('.'))) {
            continue;
        }
        ++visited;
        if (!visit(entry)) {
            return false;
        }
    }
    return true;
}

} // namespace

qint64 walkFiles(const QString& folder, const std::function<bool(const QFileInfo&)>& visit) {
    qint64 visited = 0;
    walkFolder(folder, visit, visited);
    return visited;
}

} // namespace orbel::walk
