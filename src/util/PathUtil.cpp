#include "util/PathUtil.h"

#include "util/PathWalk.h"

#include <QDir>

namespace orbel {

QString expandTilde(const QString& path) {
    if (path == QLatin1String("~")) {
        return QDir::homePath();
    }
    if (path.startsWith(QLatin1String("~/"))) {
        return QDir::homePath() + path.mid(1);
    }
    return path;
}

bool isFolderPath(const QString& path) {
    return !path.isEmpty() && QFileInfo(expandTilde(path)).isDir();
}

bool isFilePath(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(expandTilde(path));
    return info.exists() && !info.isDir();
}

bool isFolderOrFilePath(const QString& path) {
    return !path.isEmpty() && QFileInfo::exists(expandTilde(path));
}

std::optional<QFileInfo> fileAttributes(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    QFileInfo info(expandTilde(path));
    if (!info.exists() || info.isDir()) {
        return std::nullopt;
    }
    return info;
}

quint64 fileSize(const QString& path) {
    const std::optional<QFileInfo> info = fileAttributes(path);
    return info ? static_cast<quint64>(info->size()) : 0;
}

bool hasPrefixPeriod(const QString& path) {
    return walk::lastComponent(path).startsWith(QLatin1Char('.'));
}

namespace {

bool endsWithAny(const QString& path, std::initializer_list<const char*> suffixes) {
    for (const char* suffix : suffixes) {
        if (path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool hasSuffixJpeg(const QString& path) {
    return endsWithAny(path, {".jpg", ".jpeg"});
}

bool hasSuffixExcel(const QString& path) {
    return endsWithAny(path, {".xls", ".xlsx", ".xlsm"});
}

bool hasSuffixText(const QString& path) {
    return endsWithAny(path, {".txt", ".text"});
}

bool hasSuffixCsv(const QString& path) {
    return endsWithAny(path, {".csv"});
}

bool hasSuffixWord(const QString& path) {
    return endsWithAny(path, {".doc", ".docx", ".docm"});
}

bool hasSuffixZip(const QString& path) {
    return endsWithAny(path, {".zip"});
}

bool isJpegFile(const QString& path) {
    return hasSuffixJpeg(path) && !hasPrefixPeriod(path);
}

bool isZipFile(const QString& path) {
    return hasSuffixZip(path) && !hasPrefixPeriod(path);
}

// --- Folder trees ---

namespace {

qint64 countToLimit(const QString& folder, qint64 n, bool jpegOnly) {
    qint64 count = 0;
    const qint64 stopAt = n + 1;
    if (stopAt <= 0) {
        return 0;
    }
    walk::walkFiles(expandTilde(folder), [&](const QFileInfo& file) {
        if (jpegOnly && !isJpegFile(file.fileName())) {
            return true;
        }
        ++count;
        return count < stopAt;
    });
    return count;
}

} // namespace

qint64 fileCount(const QString& folder) {
    qint64 count = 0;
    walk::walkFiles(expandTilde(folder), [&count](const QFileInfo&) {
        ++count;
        return true;
    });
    return count;
}

qint64 fileCountToLimit(const QString& folder, qint64 n) {
    return countToLimit(folder, n, false);
}

bool isFileCountOver(const QString& folder, qint64 n) {
    return fileCountToLimit(folder, n) > n;
}

qint64 jpegFileCountToLimit(const QString& folder, qint64 n) {
    return countToLimit(folder, n, true);
}

bool isJpegFileCountOver(const QString& folder, qint64 n) {
    return jpegFileCountToLimit(folder, n) > n;
}

quint64 allFilesSize(const QString& path) {
    const QString expanded = expandTilde(path);
    if (isFilePath(expanded)) {
        return fileSize(expanded);
    }
    quint64 total = 0;
    walk::walkFiles(expanded, [&total](const QFileInfo& file) {
        total += static_cast<quint64>(file.size());
        return true;
    });
    return total;
}

QString allFilePathString(const QString& folder) {
    return allFilePathArray(folder).join(QLatin1Char('\n'));
}

QStringList allFilePathArray(const QString& folder) {
    QStringList paths;
    walk::walkFiles(expandTilde(folder), [&paths](const QFileInfo& file) {
        paths.append(file.filePath());
        return true;
    });
    return paths;
}

QStringList allJpegFilePathArray(const QString& folder) {
    QStringList paths;
    walk::walkFiles(expandTilde(folder), [&paths](const QFileInfo& file) {
        if (isJpegFile(file.fileName())) {
            paths.append(file.filePath());
        }
        return true;
    });
    return paths;
}

quint64 arrayAllFilesSize(const QStringList& paths) {
    quint64 total = 0;
    for (const QString& path : paths) {
        total += fileSize(path); // 0 for folders and missing paths
    }
    return total;
}

// --- One folder level ---

QStringList directoryContents(const QString& folder) {
    QStringList names;
    for (const QFileInfo& entry : walk::folderEntries(expandTilde(folder))) {
        names.append(entry.fileName());
    }
    return names;
}

namespace {

// Full paths (or names) of the direct entries that pass the name test; folders whose name merely
// looks like a file's are left out.
QStringList directoryFiles(const QString& folder, bool (*nameTest)(const QString&),
                           bool namesOnly) {
    QStringList result;
    for (const QFileInfo& entry : walk::folderEntries(expandTilde(folder))) {
        if (!nameTest(entry.fileName()) || entry.isDir()) {
            continue;
        }
        result.append(namesOnly ? entry.fileName() : entry.filePath());
    }
    return result;
}

} // namespace

QString directoryJpegPathString(const QString& folder) {
    return directoryJpegPathArray(folder).join(QLatin1Char('\n'));
}

QStringList directoryJpegPathArray(const QString& folder) {
    return directoryFiles(folder, &isJpegFile, false);
}

QString directoryZipPathString(const QString& folder) {
    return directoryZipPathArray(folder).join(QLatin1Char('\n'));
}

QStringList directoryZipPathArray(const QString& folder) {
    return directoryFiles(folder, &isZipFile, false);
}

QString directoryZipFileString(const QString& folder) {
    return directoryFiles(folder, &isZipFile, true).join(QLatin1Char('\n'));
}

// --- Windows names ---

namespace {

struct WindowsReplacement {
    char16_t from;
    char16_t to;
};

constexpr WindowsReplacement kWindowsReplacements[] = {
    {u'"', u'\u201D'}, {u'\u00A5', u'\uFFE5'}, {u':', u'\uFF0F'}, {u'?', u'\uFF1F'},
    {u'*', u'\uFF0A'}, {u'<', u'\uFF1C'},      {u'>', u'\uFF1E'}, {u'|', u'\uFF5C'},
};

} // namespace

bool isInNGCharForWindowsPath(const QString& text) {
    for (const WindowsReplacement& r : kWindowsReplacements) {
        if (text.contains(QChar(r.from))) {
            return true;
        }
    }
    return false;
}

QString convertToWindowsPath(const QString& text) {
    QString result = text.isNull() ? QStringLiteral("") : text;
    for (const WindowsReplacement& r : kWindowsReplacements) {
        result.replace(QChar(r.from), QChar(r.to));
    }
    return result;
}

} // namespace orbel
