#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

// Album sets: named snapshots of the album form, kept in the settings as two parallel lists
// ("AlbumSetTitles", "AlbumSetDics"), exported to and imported from set files (an XML property
// list {"TitleArray", "DicArray"}), checked and migrated at start-up. Every file write is atomic,
// and nothing is thrown away before its backup was written.
class AlbumSet {
public:
    AlbumSet() = delete;

    static QStringList titles();
    static QVariantList dics();
    static void store(const QStringList& titles, const QVariantList& dics);

    static bool isAlbumSetTitleNG(const QString& name);
    static void addAlbumSet(const QString& name, const QVariantMap& albumDic);
    static void modAlbumSetName(const QString& name, int index);
    static void delAlbumSet(int index);
    // The record of list entry index; none outside the list.
    static std::optional<QVariantMap> albumSetDic(int index);

    // Old format: at least one record without "AlOptoinArray".
    static bool isAlbumSetOld(const QVariantList& dics);
    static QVariant oneAlbumSetConvert(const QVariant& dic);
    static QVariantList albumSetConvert(const QVariantList& dics);

    // The set file of the stored sets (an empty dictionary unless both lists exist), written
    // atomically; false (and an alert) when it cannot be written.
    static bool exportAlbumSetToFilePath(const QString& path);
    static QString bkAlbumSetPath();        // ~/MVL_WorkArea/_bk_AlbumSet.plist
    static QString bkOldAlbumSetPath();     // ~/MVL_WorkArea/_bk_OldAlbumSet.plist
    static QString bkDamagedAlbumSetPath(); // ~/MVL_WorkArea/_bk_DamagedAlbumSet.plist
    // The backup before an import.
    static bool bkExportAlbumSet();

    // Menu and button: the save chooser, then the file.
    static void exportAlbumSet();
    // Menu and button: the open chooser, the checks, the three-button choice, the merge.
    static void importAlbumSet();
    // One set file read and checked; none (after the log line, beep and alert) when refused.
    struct SetFile {
        QStringList titles;
        QVariantList dics;
    };
    static std::optional<SetFile> readSetFile(const QString& path);
    static bool checkSameTitleWithTitleArray(const QStringList& titles);
    // "追加": merge into the stored sets. False when a record is not readable (the stored lists
    // stay as they were).
    static bool importAlbumSetJobWithTitleArray(const QStringList& titles,
                                                const QVariantList& dics);

    // Start-up, in this order.
    static void albumSetDicCheck();
    static void albumSetAutoReset();
    static void albumSetAutoConvert();

private:
    static bool writeSetFile(const QString& path, const QVariantMap& content);
    static QVariantMap storedSetFileContent();
};
