#pragma once

#include "util/OrderTab.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

// The three file lists that take dropped files as rows.
enum class FileListKind { Print, School, Kinelo };

// What the intake handler needs of the application: the selected tab, its selection and select
// info, the file lists and the refresh. Implemented by the application controller.
class FileIntakeHost {
public:
    virtual ~FileIntakeHost() = default;
    virtual OrderTab selectedTab() const = 0;
    virtual bool kineloWindowOpen() const = 0;
    virtual bool resizeExeChecked() const = 0;                      // resizeResizeExeCheck ticked
    virtual QStringList listFilePaths(FileListKind list) const = 0; // paths of the list's rows
    // Appends one row per path ({"PrintFilePathKey"/"SchoolFilePathKey"/"KineloFilePathKey":
    // path}), reloads the list and, for print/school, rebuilds that tab's selected files from it.
    virtual void appendListRows(FileListKind list, const QStringList& paths) = 0;
    virtual void reloadList(FileListKind list) = 0;
    virtual QStringList selectFiles() const = 0;               // of the selected tab
    virtual void setSelectFiles(const QStringList& files) = 0; // selected tab; info texts; refresh
    virtual void setSelectInfo(const QString& info) = 0;       // selected tab's path field
    virtual void comViewRefresh() = 0;
    // The drop areas of every tab, switched off while the folder chooser is open.
    virtual void dragDropOff() = 0;
    virtual void dragDropOn() = 0;
};

// The intake handler of every route by which files enter an order: drops on a tab's drop area,
// the folder button of the album, resize and etc tabs, and the files FotoFusion hands over.
// Every refusal is one log line and one alert; a refused drop changes nothing.
class FileIntake {
public:
    static constexpr qsizetype kDropPathLimit = 10000; // paths in one drag
    static constexpr qsizetype kTabFileLimit = 5000;   // files of one tab, folders expanded

    // Select info texts.
    static QString selectInfoFilesOnly();       // "ファイルが直接選択されました"
    static QString selectInfoFilesAndFolders(); // "フォルダとファイルが選択されました"
    static QString selectInfoSeveralFolders(); // "複数のフォルダが選択されました"
    static QString selectInfoNone();           // "---"

    explicit FileIntake(FileIntakeHost& host);

    // The dropped paths, routed by the selected tab; ends with comViewRefresh.
    void dragDropFolderAndFiles(const QStringList& paths);
    // One folder for the album, etc or resize tab; a refusal clears the tab's selection.
    void oneImageFolderSelected(const QString& folder);
    // The files become the selection, "ファイルが直接選択されました".
    void jpegFilesDrop(const QStringList& files);
    // The folder button: drops off, the folder chooser as a sheet on window, the one-folder
    // choice for a chosen folder, drops on again and a refresh however it ends.
    void imageFolderSelect(QObject* window);

    // The filters of the file chooser of a list that takes files one by one (print, school),
    // first the one it opens with: every file the list takes (of any kind, as a drop), then the
    // photos alone, then JPEG alone.
    static QStringList listChooserNameFilters();

    // At least one path is named like a JPEG file.
    static bool isContanisJpegFileWithFilesPath(const QStringList& paths);
    // Every path lies in the same folder (true for none or one).
    static bool isEqualFolderWithFilesPath(const QStringList& paths);
    // A file name that two different paths share, letter case and composed or decomposed kana
    // ignored (the lab unpacks orders on a file system that ignores case, and the archive holds
    // the composed form); none when every name is distinct. The later checks compare the same way.
    static std::optional<QString> overlapFileName(const QStringList& paths);
    // The first file name of paths that occurs, letter case ignored, as ",name," in
    // registFileNameStr (an allFileNameStr text).
    static std::optional<QString> registeredFileName(const QStringList& paths,
                                                     const QString& registFileNameStr);
    // The first file name of paths that a listed path already has, letter case ignored.
    static std::optional<QString> registeredFileNameInList(const QStringList& paths,
                                                           const QStringList& listPaths);
    // "," then each path's file name followed by ",".
    static QString allFileNameStr(const QStringList& paths);
    static bool isFileSizeOver(const QStringList& paths);
    // As isFileSizeOver, but never over while the resize tab asks for resizing.
    bool isResizeFileSizeOver(const QStringList& paths) const;
    static qint64 fileLimitSize();
    static QString fileLimitSizeStr();

    // The first path whose name has a character the lab cannot pair with the report (a line
    // break or another control character, DEL included), anywhere in the path; none when clean.
    static std::optional<QString> unpairableName(const QStringList& paths);
    // Tells the studio which name cannot be sent and logs it; true when one was refused.
    static bool refuseUnpairableNames(const QStringList& paths);

private:
    void setIntake(const QStringList& files, const QStringList& folders);
    void resizeIntake(const QStringList& files, const QStringList& folders);
    void listIntake(FileListKind list, const QStringList& files);
    void oneFolder(const QString& folder);
    bool refuseSpecialFiles(const QStringList& specials);
    // The folder's files as the walk takes them; what it could not read is kept for the report.
    QStringList folderFiles(const QString& folder);
    // Tells the studio, once, which folders could not be read, and forgets them.
    void reportUnreadable();

    FileIntakeHost& host_;
    QStringList unreadable_; // shown names, gathered during one drop or folder choice
};
