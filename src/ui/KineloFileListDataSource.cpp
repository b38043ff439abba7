#include "ui/KineloFileListDataSource.h"

KineloFileListDataSource::KineloFileListDataSource(QObject* parent)
    : PrintFileListDataSource(QStringLiteral("Kinelo"), parent) {}

int KineloFileListDataSource::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}
