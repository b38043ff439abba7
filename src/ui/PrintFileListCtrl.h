#pragma once

#include <QList>
#include <QVariantList>
#include <QVariantMap>
#include <QWidget>
#include <memory>
#include <optional>

class PrintFileListDataSource;
class QLabel;
class QTableView;

// The per-file order list of the print and school tabs: the table over its data source, the hint
// shown while it is empty, and the operations the tab runs on the rows and the selection. Every
// selection change is announced (tableViewSelectChange: "printTableViewSelectChange" /
// "schoolTableViewSelectChange"). Rows outside the view get no thumbnail work.
class PrintFileListCtrl : public QWidget {
    Q_OBJECT
public:
    // prefix: "Print" or "School"; controls are named "printFileListView" / "schoolFileListView".
    // hint: the empty-list hint (the tab's drop hint); it is moved over the table.
    PrintFileListCtrl(const QString& prefix, QLabel* hint, QWidget* parent = nullptr);

    PrintFileListDataSource& dataSource() const { return *dataSource_; }
    QTableView* tableView() const { return tableView_; }

    const QList<QVariantMap>& fileInfoArray() const;
    int fileCount() const;
    bool isNoFile() const;
    bool isSelectedRow() const;
    bool isSelectedrow() const { return isSelectedRow(); }
    QList<int> selectedRowIndexes() const; // ascending
    int selectedRowCount() const;
    std::optional<QVariantMap> selectedTopRowDic() const;
    bool isEqualFileName(const QString& fileName) const;
    QString allFileNameStr() const;
    QString allFileSizeStr() const;
    QVariantList orderFileInfoArray() const;
    bool isSendOk() const;
    void reloadData();
    void removeAllRecords();
    void removeSelectedRecords();
    // Below each selected row a new row with only its path; the new rows end up selected.
    void duplicateSelectedRecords();
    void selectRows(const QList<int>& rows);
    void deselectAll();
    // The preview of a row (Space on the current row, a double click); the selection follows
    // the rows its arrow keys go to. False for a list without photos to check (Kinelo).
    bool openPreview(int row);

Q_SIGNALS:
    void tableViewSelectChange();
    // The Delete key: the tab applies the rule of its delete button.
    void deleteKeyPressed();

protected:
    // A list over another data source (the Kinelo list); the control takes it over.
    PrintFileListCtrl(std::unique_ptr<PrintFileListDataSource> dataSource, const QString& name,
                      QLabel* hint, QWidget* parent);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateHint();
    void updateRowHeight();
    void visibleRowsChanged();

    PrintFileListDataSource* dataSource_ = nullptr;
    QTableView* tableView_ = nullptr;
    QLabel* hint_ = nullptr;
};

using SchoolFileListCtrl = PrintFileListCtrl;
