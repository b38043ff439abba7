#pragma once

#include "app/FileListRows.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class PreflightBoard;

class ThumbnailLoader;

// The rows of the per-file order list, one record per row with the keys of the tab's prefix
// ("Print" or "School"): file path, count, category, size, surface, laminate, memo, and the
// thumbnail once made. One class serves both tabs; the prefix is the only difference.
class PrintFileListDataSource : public QAbstractTableModel, public FileListRows {
    Q_OBJECT
public:
    enum Column {
        LineNo,
        Picture,
        FileName,
        Category,
        Size,
        Surface,
        Laminate,
        NumberOfSheets,
        Status, // the photo check's mark (shown after the row number)
        ColumnCount
    };
    // The column identifiers ("LineNo", "Picture", ...).
    static QString columnIdentifier(int column);

    // prefix: "Print" or "School".
    explicit PrintFileListDataSource(const QString& prefix, QObject* parent = nullptr);
    ~PrintFileListDataSource() override;

    const QString& prefix() const { return prefix_; }
    // The row key with the list's prefix: key("FilePathKey") == "PrintFilePathKey".
    QString key(const char* suffix) const;

    // --- Rows ---
    const QList<QVariantMap>& fileInfoArray() const { return rows_; }
    int fileCount() const { return static_cast<int>(rows_.size()); }
    bool isNoFile() const { return rows_.isEmpty(); }
    QVariantMap rowAt(int row) const { return rows_.value(row); }
    // Replaces the order keys of a row (the thumbnail stays) and repaints it.
    void setRowAt(int row, const QVariantMap& record);
    // Inserts a new row holding only path at index at.
    void insertFilePath(int at, const QString& path);
    void removeRowsAt(QList<int> rows);
    bool isEqualFileName(const QString& fileName) const;
    QString allFileNameStr() const;
    QString allFileSizeStr() const;
    // The rows handed to the report: every key but the thumbnail.
    QVariantList orderFileInfoArray() const;
    bool hasOrder(int row) const;
    // At least one row, and every row has an order.
    bool isSendOk() const;

    // --- FileListRows ---
    QStringList filePaths() const override;
    void appendFilePaths(const QStringList& paths) override;
    void removeAllRecords() override;
    void reloadData() override;

    // --- Thumbnails ---
    // Read from "ThumbnailView" at every reloadData.
    bool thumbnailsOn() const { return thumbnailsOn_; }
    void setThumbnailsOn(bool on);
    // Only rows first..last are on screen: pending decodes of all other rows are cancelled.
    void keepThumbnailsFor(int first, int last);
    ThumbnailLoader& thumbnailLoader() const { return *loader_; }
    bool hasThumbnail(int row) const;

    // "ファイル名: …" texts of the detail (tooltip).
    QString orderInfo(const QVariantMap& row) const;

    // --- QAbstractTableModel ---
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // --- Photo check ---
    // The level of a row's verdict (PreflightLevel as int) in the Status column.
    static constexpr int PreflightLevelRole = Qt::UserRole + 1;
    // The board that judges this list's rows; the list hands it its rows (file and size) after
    // every change, once per turn of the event loop.
    void setPreflightBoard(PreflightBoard* board);
    PreflightBoard* preflightBoard() const { return preflight_; }
    // Hands the rows over now (before Send reads the verdicts).
    void flushPreflight();

private:
    void schedulePreflight();

    QVariant pictureFor(int row) const;
    void thumbnailReady(const QString& path, const QImage& image);
    QString recordName(const QVariantMap& row, const char* suffix) const;

    QString prefix_;
    QList<QVariantMap> rows_;
    bool thumbnailsOn_ = true;
    ThumbnailLoader* loader_ = nullptr; // child
    QPixmap placeholder_;
    PreflightBoard* preflight_ = nullptr;
    bool preflightDirty_ = false;
};

// The school list is the same component under the prefix "School".
using SchoolFileListDataSource = PrintFileListDataSource;
