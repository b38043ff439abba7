#pragma once

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

// Path operations: tests and properties, folder-tree walks, one-level listings, delete / create /
// move-to-Trash, image properties through the image tool, and Windows-safe names.
//
// Path tests and tree walks expand a leading "~". Delete, create and move-to-Trash act only on
// absolute paths (starting with "/"), never on "~" paths. Tree walks include hidden entries and
// skip files whose own name starts with "." (".DS_Store" and the like); folders whose name starts
// with "." are still walked. Links to folders are not followed.
namespace orbel {

// "~" or "~/..." becomes the home folder; anything else is returned unchanged.
QString expandTilde(const QString& path);

// --- Tests and properties ---
bool isFolderPath(const QString& path);       // exists and is a folder
bool isFilePath(const QString& path);         // exists and is not a folder
bool isFolderOrFilePath(const QString& path); // exists
// Attributes of a file (following links); none for folders and missing paths.
std::optional<QFileInfo> fileAttributes(const QString& path);
quint64 fileSize(const QString& path); // 0 for folders and missing paths

bool hasPrefixPeriod(const QString& path); // the last component starts with "."
bool hasSuffixJpeg(const QString& path);   // .jpg .jpeg
bool hasSuffixExcel(const QString& path);  // .xls .xlsx .xlsm
bool hasSuffixText(const QString& path);   // .txt .text
bool hasSuffixCsv(const QString& path);    // .csv
bool hasSuffixWord(const QString& path);   // .doc .docx .docm
bool hasSuffixZip(const QString& path);    // .zip
bool isJpegFile(const QString& path);      // JPEG suffix, no leading period (existence not tested)
bool isZipFile(const QString& path);       // zip suffix, no leading period

// --- Folder trees (every depth) ---
qint64 fileCount(const QString& folder);                  // 0 when not a folder
qint64 fileCountToLimit(const QString& folder, qint64 n); // stops once the count reaches n + 1
bool isFileCountOver(const QString& folder, qint64 n);
qint64 jpegFileCountToLimit(const QString& folder, qint64 n);
bool isJpegFileCountOver(const QString& folder, qint64 n);
quint64 allFilesSize(const QString& path);        // a file: its size; a folder: sum of its files
QString allFilePathString(const QString& folder); // joined by "\n"
QStringList allFilePathArray(const QString& folder);
QStringList allJpegFilePathArray(const QString& folder);
// Sum of fileSize of every element that is an existing file.
quint64 arrayAllFilesSize(const QStringList& paths);

// --- One folder level ---
QStringList directoryContents(const QString& folder); // entry names
QString directoryJpegPathString(const QString& folder);
QStringList directoryJpegPathArray(const QString& folder);
QString directoryZipPathString(const QString& folder);
QStringList directoryZipPathArray(const QString& folder);
QString directoryZipFileString(const QString& folder); // names, joined by "\n"

// --- File operations (absolute paths only) ---
bool deleteFileOrFolder(const QString& path); // a folder with all its contents
bool createFolder(const QString& path);       // one folder; the parent must exist
// Moves into the per-user Trash under its own name; false when that name is already there.
bool moveTrashFileOrFolder(const QString& path);
// The Trash folder ($XDG_DATA_HOME/Trash, default ~/.local/share/Trash).
QString trashFolderPath();

// --- Image properties (the image tool's "-g allxml" answer) ---
std::optional<QVariantMap> imageFilePropertys(const QString& path);
qint64 narrowWidthOfImageFile(const QString& path); // min(pixelWidth, pixelHeight), or 0

// --- Windows names ---
// True when the text holds any of  " ¥ : ? * < > |
bool isInNGCharForWindowsPath(const QString& text);
// Each of them becomes its full-width counterpart (":" becomes "／").
QString convertToWindowsPath(const QString& text);

} // namespace orbel
