#pragma once

#include "ui/PrintFileListCtrl.h"

#include <QStringList>

class KineloFileListDataSource;

// The Kinelo added-files list of the album Kinelo sheet: the table ("kineloFileListView") over
// its data source, with the hint shown while it is empty. Rows come from drops while the sheet is
// open (the controller's intake); the sheet removes selected rows or all of them.
class KineloFileListCtrl : public PrintFileListCtrl {
    Q_OBJECT
public:
    explicit KineloFileListCtrl(QLabel* hint, QWidget* parent = nullptr);

    KineloFileListDataSource& dataSource() const;
    QStringList orderFileInfoArray() const; // paths of all rows
    bool isSendOk() const;                  // not empty
};
