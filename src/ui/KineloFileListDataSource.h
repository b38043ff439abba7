#pragma once

#include "ui/PrintFileListDataSource.h"

#include <QStringList>

// The rows of the Kinelo added-files list: a file path ("KineloFilePathKey") and, once shown, its
// thumbnail ("KineloFileImageKey"). It is the print list's component with the key prefix
// "Kinelo" and only its first three columns (number, picture, file name): these files carry no
// order of their own, they travel with the album order.
class KineloFileListDataSource : public PrintFileListDataSource {
    Q_OBJECT
public:
    static constexpr int kColumnCount = FileName + 1;

    explicit KineloFileListDataSource(QObject* parent = nullptr);

    // The paths of all rows, in row order (what the Kinelo record stores).
    QStringList orderFileInfoArray() const { return filePaths(); }
    // Any row will do: the rows need no order.
    bool isSendOk() const { return !isNoFile(); }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
};
