#pragma once

#include "job/Job.h"
#include "job/PoolArchiveRecord.h"
#include "job/ZipPacker.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

// The zip stage: one password-protected archive per order, the order report first, then the
// order's files (packed in one pass by ZipPacker), then the files of a Kinelo order; the
// finished archive goes into the order pool, or to the save path for "save" orders.
class ZipJob : public Job {
public:
    explicit ZipJob(JobInfo& info);

    bool start() override;

    // Decides between packing the files where they are (direct) and packing Windows-safe copies
    // from the staging folder (copy-convert); run once before any file is packed.
    void directZipFlagSetup();
    bool isDirectZip() const { return _directZipFlg; }

    // Adds one order file to the archive.
    bool oneZipWithPath(const QString& path, const QString& zipFilePath);
    // Adds the Kinelo order's files.
    bool kineloZipJob(const QString& zipFilePath);
    bool isFotoFusionFile() const;
    static void deleteFotoFusionTemp();

    // The archive path a save panel's choice stands for: ".zip" is appended only when the name
    // does not already end in it.
    static QString orderSaveFinalPath(const QString& chosenPath);
    // Asks the user (alert gateway) whether the file at finalPath, named in full, may be replaced.
    static bool confirmOrderSaveReplace(const QString& finalPath);
    // The customer code stored in the settings may name an archive (unset counts as "0000").
    static bool isUsableCustomerCode();
    // Picks the first bag number from the record's one whose archive name is free in the order
    // pool (and not in the order history), so that the report and the archive name agree and no
    // pooled archive is replaced.
    void chooseBagNo();

    // The password of every order archive.
    static QString zipPassword();
    // The staging folder of copy-convert mode, "~" expanded.
    static QString zipWorkFolderPath();
    // The base folder of the order's files ("" when none); always ends with "/".
    QString baseFolderPath() const;
    // The entry path an order file gets inside the archive, and the zip option used for it.
    QString entryPathForFile(const QString& path) const;

private:
    // Moves the finished archive to its destination; never over an existing file unless the
    // user agreed to replace a save path's file.
    bool moveToDestination(const QString& zipFile, const QString& destination, bool save);

    struct EntryPlan {
        QString entry;  // what is handed to zip
        QString option; // "-g" or "-gj"
        QString base;   // working folder, "" for "~"
    };
    EntryPlan planForFile(const QString& path) const;
    struct PackedName {
        QString entry; // the path below the base (Windows-safe in copy-convert mode)
        QString name;  // the entry name in the archive
    };
    PackedName packedNameForFile(const QString& path) const;
    // Copies source to destination (replacing a leftover), success when the file is there.
    static bool copyFile(const QString& source, const QString& destination);
    // Creates every missing folder of relativeFolder below the staging folder.
    static bool createZipWorkFolders(const QString& relativeFolder);
    // The order files' part of start(): every file checked, shown and packed in turn.
    // Opens the packer on the report archive and adds the order files; finishPacking() writes
    // the directory once the Kinelo files are in too.
    void packOrderFiles(const QStringList& files, const QString& zipFilePath, qsizetype& index);
    void finishPacking(const QString& zipFilePath);
    // The pool record of the finished archive: its hash taken while it was written, or read
    // from the file when the packer could not follow every byte (an archive packed in pieces).
    std::optional<PoolArchiveRecord> packedRecord(const QString& zipFilePath) const;
    // Packs one file as entry, with the stage's packer, or alone when none is open.
    bool packFile(const QString& path, const QString& entry, const QString& zipFilePath);

    bool _directZipFlg = true;
    QString _errorText; // the ErrorInfo of a failing item
    QString _errorFile; // the path shown in the error alert

    // Open while the order files are packed.
    std::unique_ptr<ZipPacker> _packer;
    std::optional<QString> _packedSha256; // the finished archive's hash, from the packer
    QSet<QString> _packedEntries; // case-folded entry names in the archive, the report's included
};
