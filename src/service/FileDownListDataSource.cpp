#include "service/FileDownListDataSource.h"

#include "util/Tool.h"

#include <QRegularExpression>

namespace {

const QString kCheck = QStringLiteral("Check");
const QString kFileName = QStringLiteral("FileName");
const QString kFileSize = QStringLiteral("FileSize");
const QString kFolderMark = QStringLiteral("<DIR>");

// Three blank-separated fields (date, time, size or "<DIR>"), then the name: everything after the
// blanks that follow the third field, inner and double blanks included.
const QRegularExpression& listingLine() {
    static const QRegularExpression re(
        QStringLiteral("^[ \\t]*(\\S+)[ \\t]+(\\S+)[ \\t]+(\\S+)[ \\t]+(.+)$"));
    return re;
}

} // namespace

FileDownListDataSource::FileDownListDataSource(QObject* parent) : QAbstractTableModel(parent) {}

bool FileDownListDataSource::isSafeFileName(const QString& name) {
    if (name.isEmpty() || name.startsWith(u'-') || name.contains(u'/') || name.contains(u'\\') ||
        name.contains(QStringLiteral("..")))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

FileDownListing FileDownListDataSource::parseListing(const QString& listing,
                                                     const QString& customerCode,
                                                     const QVariantMap& history) {
    FileDownListing result;
    const QString infoName = QStringLiteral("%1.txt").arg(customerCode);
    const QStringList lines = listing.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = listingLine().match(line);
        if (!m.hasMatch())
            continue;
        if (m.captured(3) == kFolderMark)
            continue;
        const QString name = m.captured(4);
        if (name == infoName) {
            result.hasInfoFile = true;
            continue;
        }
        if (!isSafeFileName(name)) {
            result.refusedNames.append(name);
            continue;
        }
        QVariantMap row;
        row.insert(kCheck, history.contains(name) ? QStringLiteral("0") : QStringLiteral("1"));
        row.insert(kFileName, name);
        row.insert(kFileSize, m.captured(3));
        result.rows.append(row);
    }
    return result;
}

void FileDownListDataSource::setFileInfoArray(const QList<QVariantMap>& rows) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
    Q_EMIT viewRefrash();
}

bool FileDownListDataSource::isChecked(const QVariantMap& row) {
    return row.value(kCheck).toString() == QStringLiteral("1");
}

bool FileDownListDataSource::isCheckFile() const {
    for (const QVariantMap& row : rows_) {
        if (isChecked(row))
            return true;
    }
    return false;
}

QStringList FileDownListDataSource::checkFiles() const {
    QStringList names;
    for (const QVariantMap& row : rows_) {
        if (isChecked(row))
            names.append(row.value(kFileName).toString());
    }
    return names;
}

QString FileDownListDataSource::checkFilesStr() const {
    return checkFiles().join(u',');
}

QList<double> FileDownListDataSource::checkFileSizes() const {
    QList<double> sizes;
    for (const QVariantMap& row : rows_) {
        if (isChecked(row))
            sizes.append(row.value(kFileSize).toString().toDouble()); // 0 when not a number
    }
    return sizes;
}

double FileDownListDataSource::checkFilesSize() const {
    double total = 0;
    for (const double size : checkFileSizes())
        total += size;
    return total;
}

void FileDownListDataSource::clearCheck() {
    for (QVariantMap& row : rows_)
        row.insert(kCheck, QStringLiteral("0"));
    if (!rows_.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
    Q_EMIT viewRefrash();
}

void FileDownListDataSource::setCheck(int row, bool checked) {
    if (row < 0 || row >= rows_.size())
        return;
    rows_[row].insert(kCheck, checked ? QStringLiteral("1") : QStringLiteral("0"));
    Q_EMIT dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
    Q_EMIT viewRefrash();
}

int FileDownListDataSource::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileDownListDataSource::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant FileDownListDataSource::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size() || index.column() != 0)
        return {};
    const QVariantMap& row = rows_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return QStringLiteral("%1 (%2)").arg(
            row.value(kFileName).toString(),
            Tool::autoDataByteStringWithByte(row.value(kFileSize).toString().toDouble()));
    case Qt::CheckStateRole:
        return isChecked(row) ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole:
        return row.value(kFileName).toString();
    default:
        return {};
    }
}

bool FileDownListDataSource::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole || index.row() >= rows_.size())
        return false;
    setCheck(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags FileDownListDataSource::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

QVariant FileDownListDataSource::headerData(int section, Qt::Orientation orientation,
                                            int role) const {
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return QStringLiteral("ファイル（サイズ）");
    return {};
}
