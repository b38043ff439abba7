#include "ui/KineloFileListCtrl.h"

#include "ui/KineloFileListDataSource.h"

#include <QTableView>

KineloFileListCtrl::KineloFileListCtrl(QLabel* hint, QWidget* parent)
    : PrintFileListCtrl(std::make_unique<KineloFileListDataSource>(), QStringLiteral("kinelo"),
                        hint, parent) {
    tableView()->setAccessibleName(QStringLiteral("キネロ追加ファイル"));
}

KineloFileListDataSource& KineloFileListCtrl::dataSource() const {
    return static_cast<KineloFileListDataSource&>(PrintFileListCtrl::dataSource());
}

QStringList KineloFileListCtrl::orderFileInfoArray() const {
    return dataSource().orderFileInfoArray();
}

bool KineloFileListCtrl::isSendOk() const {
    return dataSource().isSendOk();
}
