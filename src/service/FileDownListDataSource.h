#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// What a folder listing of the lab's download folder offers: one row per downloadable file, the
// information file's presence, and the names that were left out because they are unsafe.
struct FileDownListing {
    QList<QVariantMap> rows; // {"Check": "1"/"0", "FileName": name, "FileSize": size text}
    bool hasInfoFile = false;
    QStringList refusedNames;
};

// The file table of the download window: one check-box column ("FileInfo") whose cells read
// "name (size)". Rows are the dictionaries of FileDownListing.
class FileDownListDataSource : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FileDownListDataSource(QObject* parent = nullptr);

    // Reads a DOS-style listing ("date time size name", blank separated). The name is the whole
    // rest of the line after the third field, so names with blanks survive; folders ("<DIR>"),
    // lines of fewer than four fields and unsafe names are left out. "<code>.txt" is the
    // information file, never a row. A name in history is offered unmarked.
    static FileDownListing parseListing(const QString& listing, const QString& customerCode,
                                        const QVariantMap& history);
    // A name that can only mean a file in the download folder itself: not empty, no "/", no
    // "\\", no "..", no control character, not starting with "-".
    static bool isSafeFileName(const QString& name);

    void setFileInfoArray(const QList<QVariantMap>& rows);
    const QList<QVariantMap>& fileInfoArray() const { return rows_; }
    bool isCheckFile() const;             // any row marked
    QStringList checkFiles() const;       // names of the marked rows, in table order
    QString checkFilesStr() const;        // the same joined by ","
    double checkFilesSize() const;        // sum of their sizes in bytes
    QList<double> checkFileSizes() const; // each marked row's size, parallel to checkFiles()
    void clearCheck();                    // unmark every row
    void setCheck(int row, bool checked);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // A mark changed: the window refreshes its controls.
    void viewRefrash();

private:
    static bool isChecked(const QVariantMap& row);
    QList<QVariantMap> rows_;
};
