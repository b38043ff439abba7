#pragma once

#include <QAbstractTableModel>
#include <QVariantList>

// The multiple-customers list as a table: one row per "Customers" entry, column 0 the studio
// name (PhotoStudioName), column 1 the customer code (CustomerCode). Every edit, insertion and
// removal is written through to the settings at once. A customer code that is not valid is
// refused (the entry keeps its old code) and codeRefused tells the window.
class CustomersModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { StudioNameColumn = 0, CustomerCodeColumn = 1 };

    explicit CustomersModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // Re-reads "Customers" (after customerCodeFilter, or when another part changed it).
    void reload();
    // The studio name and code of a row ("" when missing).
    QString studioName(int row) const;
    QString customerCode(int row) const;

Q_SIGNALS:
    void codeRefused(const QString& typed);

private:
    void store();

    QVariantList entries;
};
