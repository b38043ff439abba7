#include "ui/PrintFileListDataSource.h"

#include "app/PreflightBoard.h"
#include "settings/UserDef.h"
#include "ui/PreflightMarks.h"
#include "ui/ThumbnailLoader.h"
#include "util/PathUtil.h"
#include "util/Tool.h"

#include <QFileInfo>
#include <QPainter>
#include <algorithm>

namespace {

QString fileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

} // namespace

QString PrintFileListDataSource::columnIdentifier(int column) {
    switch (column) {
    case LineNo:
        return QStringLiteral("LineNo");
    case Picture:
        return QStringLiteral("Picture");
    case FileName:
        return QStringLiteral("FileName");
    case Category:
        return QStringLiteral("Category");
    case Size:
        return QStringLiteral("Size");
    case Surface:
        return QStringLiteral("Surface");
    case Laminate:
        return QStringLiteral("Laminate");
    case NumberOfSheets:
        return QStringLiteral("NumberOfSheets");
    case Status:
        return QStringLiteral("Status");
    default:
        return {};
    }
}

PrintFileListDataSource::PrintFileListDataSource(const QString& prefix, QObject* parent)
    : QAbstractTableModel(parent), prefix_(prefix), loader_(new ThumbnailLoader(this)) {
    const int h = ThumbnailLoader::kThumbnailHeight;
    QPixmap placeholder(h, h);
    placeholder.fill(Qt::transparent);
    {
        QPainter painter(&placeholder);
        painter.setPen(QColor(0xc8, 0xc8, 0xc8));
        painter.setBrush(QColor(0xee, 0xee, 0xee));
        painter.drawRoundedRect(QRectF(4.5, 4.5, h - 9, h - 9), 4, 4);
    }
    placeholder_ = placeholder;
    connect(loader_, &ThumbnailLoader::thumbnailReady, this,
            &PrintFileListDataSource::thumbnailReady);
    thumbnailsOn_ = UserDef::stringForKey(QStringLiteral("ThumbnailView")).value_or(QString()) !=
                    QStringLiteral("OFF");
}

PrintFileListDataSource::~PrintFileListDataSource() = default;

QString PrintFileListDataSource::key(const char* suffix) const {
    return prefix_ + QLatin1String(suffix);
}

// --- Rows ---

void PrintFileListDataSource::setRowAt(int row, const QVariantMap& record) {
    if (row < 0 || row >= rows_.size()) {
        return;
    }
    QVariantMap updated = record;
    const QString imageKey = key("FileImageKey");
    if (rows_[row].contains(imageKey)) {
        updated.insert(imageKey, rows_[row].value(imageKey));
    }
    rows_[row] = updated;
    Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void PrintFileListDataSource::insertFilePath(int at, const QString& path) {
    at = std::clamp(at, 0, fileCount());
    beginInsertRows(QModelIndex(), at, at);
    rows_.insert(at, QVariantMap{{key("FilePathKey"), path}});
    endInsertRows();
    // Row numbers below it changed.
    if (at + 1 < fileCount()) {
        Q_EMIT dataChanged(index(at + 1, LineNo), index(fileCount() - 1, LineNo));
    }
}

void PrintFileListDataSource::removeRowsAt(QList<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // Contiguous runs come out in one step each: deleting 5,000 selected rows stays quick.
    qsizetype i = 0;
    while (i < rows.size()) {
        const int last = rows[i];
        int first = last;
        while (i + 1 < rows.size() && rows[i + 1] == first - 1) {
            ++i;
            first = rows[i];
        }
        ++i;
        if (first < 0 || last >= rows_.size()) {
            continue;
        }
        beginRemoveRows(QModelIndex(), first, last);
        rows_.remove(first, last - first + 1);
        endRemoveRows();
    }
    if (!rows_.isEmpty()) {
        Q_EMIT dataChanged(index(0, LineNo), index(fileCount() - 1, LineNo));
    }
}

bool PrintFileListDataSource::isEqualFileName(const QString& fileName) const {
    const QString pathKey = key("FilePathKey");
    return std::any_of(rows_.cbegin(), rows_.cend(), [&](const QVariantMap& row) {
        return fileNameOf(row.value(pathKey).toString()) == fileName;
    });
}

QString PrintFileListDataSource::allFileNameStr() const {
    QString text = QStringLiteral(",");
    const QString pathKey = key("FilePathKey");
    for (const QVariantMap& row : rows_) {
        text += fileNameOf(row.value(pathKey).toString()) + u',';
    }
    return text;
}

QString PrintFileListDataSource::allFileSizeStr() const {
    return Tool::autoDataByteStringWithByte(
        static_cast<double>(orbel::arrayAllFilesSize(filePaths())));
}

QVariantList PrintFileListDataSource::orderFileInfoArray() const {
    QVariantList array;
    array.reserve(rows_.size());
    const QString imageKey = key("FileImageKey");
    for (QVariantMap row : rows_) {
        row.remove(imageKey);
        array.append(row);
    }
    return array;
}

bool PrintFileListDataSource::hasOrder(int row) const {
    return rows_.value(row).contains(key("OrderNumKey"));
}

bool PrintFileListDataSource::isSendOk() const {
    if (rows_.isEmpty()) {
        return false;
    }
    const QString numKey = key("OrderNumKey");
    return std::all_of(rows_.cbegin(), rows_.cend(),
                       [&](const QVariantMap& row) { return row.contains(numKey); });
}

// --- FileListRows ---

QStringList PrintFileListDataSource::filePaths() const {
    QStringList paths;
    paths.reserve(rows_.size());
    const QString pathKey = key("FilePathKey");
    for (const QVariantMap& row : rows_) {
        paths.append(row.value(pathKey).toString());
    }
    return paths;
}

void PrintFileListDataSource::appendFilePaths(const QStringList& paths) {
    if (paths.isEmpty()) {
        return;
    }
    const QString pathKey = key("FilePathKey");
    beginInsertRows(QModelIndex(), fileCount(), fileCount() + static_cast<int>(paths.size()) - 1);
    rows_.reserve(rows_.size() + paths.size());
    for (const QString& path : paths) {
        rows_.append(QVariantMap{{pathKey, path}});
    }
    endInsertRows();
}

void PrintFileListDataSource::removeAllRecords() {
    loader_->cancelAll();
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void PrintFileListDataSource::reloadData() {
    setThumbnailsOn(UserDef::stringForKey(QStringLiteral("ThumbnailView")).value_or(QString()) !=
                    QStringLiteral("OFF"));
    if (!rows_.isEmpty()) {
        Q_EMIT dataChanged(index(0, 0), index(fileCount() - 1, columnCount() - 1));
    }
}

// --- Thumbnails ---

void PrintFileListDataSource::setThumbnailsOn(bool on) {
    if (thumbnailsOn_ == on) {
        return;
    }
    thumbnailsOn_ = on;
    if (!on) {
        loader_->cancelAll();
    }
    if (!rows_.isEmpty()) {
        Q_EMIT dataChanged(index(0, Picture), index(fileCount() - 1, Picture));
    }
}

void PrintFileListDataSource::keepThumbnailsFor(int first, int last) {
    QSet<QString> keep;
    const QString pathKey = key("FilePathKey");
    for (int row = std::max(0, first); row <= last && row < fileCount(); ++row) {
        keep.insert(rows_[row].value(pathKey).toString());
    }
    loader_->cancelExcept(keep);
}

bool PrintFileListDataSource::hasThumbnail(int row) const {
    return rows_.value(row).contains(key("FileImageKey"));
}

QVariant PrintFileListDataSource::pictureFor(int row) const {
    if (!thumbnailsOn_) {
        return {};
    }
    const QVariantMap& record = rows_[row];
    const auto it = record.constFind(key("FileImageKey"));
    if (it != record.constEnd()) {
        return *it;
    }
    // First display of this row: the decode is asked for, the placeholder shows meanwhile.
    loader_->request(record.value(key("FilePathKey")).toString());
    return placeholder_;
}

void PrintFileListDataSource::thumbnailReady(const QString& path, const QImage& image) {
    const QString pathKey = key("FilePathKey");
    const QString imageKey = key("FileImageKey");
    const QPixmap pixmap = QPixmap::fromImage(image);
    for (int row = 0; row < fileCount(); ++row) {
        QVariantMap& record = rows_[row];
        if (!record.contains(imageKey) && record.value(pathKey).toString() == path) {
            record.insert(imageKey, pixmap);
            Q_EMIT dataChanged(index(row, Picture), index(row, Picture), {Qt::DecorationRole});
        }
    }
}

// --- Display ---

QString PrintFileListDataSource::recordName(const QVariantMap& row, const char* suffix) const {
    return row.value(key(suffix)).toMap().value(QStringLiteral("name")).toString();
}

QString PrintFileListDataSource::orderInfo(const QVariantMap& row) const {
    const QString fileName = fileNameOf(row.value(key("FilePathKey")).toString());
    const QString memo = row.value(key("OrderMemoKey")).toString();
    QString memoPart;
    if (row.contains(key("OrderMemoKey"))) {
        QString oneLine = memo;
        oneLine.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        oneLine.replace(u'\r', u' ');
        oneLine.replace(u'\n', u' ');
        memoPart = QStringLiteral("【発注メモ】  %1").arg(oneLine);
    }
    if (row.contains(key("OrderNumKey"))) {
        return QStringLiteral("ファイル名: %1\n【カテゴリ】 %2\n【発注内容】 %3  %4  %5  %6枚\n%7")
            .arg(fileName, recordName(row, "CateoryPopKey"), recordName(row, "SizePopKey"),
                 recordName(row, "SurfacePopKey"), recordName(row, "LaminatePopKey"),
                 row.value(key("OrderNumKey")).toString(), memoPart);
    }
    if (row.contains(key("OrderMemoKey"))) {
        return QStringLiteral("ファイル名: %1\n\n%2").arg(fileName, memoPart);
    }
    return QStringLiteral("ファイル名: %1").arg(fileName);
}

int PrintFileListDataSource::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : fileCount();
}

int PrintFileListDataSource::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PrintFileListDataSource::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= fileCount()) {
        return {};
    }
    const QVariantMap& row = rows_[index.row()];
    if (index.column() == Status) {
        if (preflight_ == nullptr) {
            return {};
        }
        const PreflightVerdict verdict = preflight_->verdictAt(index.row());
        switch (role) {
        case Qt::DecorationRole:
            return PreflightMarks::icon(verdict.level);
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole:
            return verdict.toolTip();
        case Qt::AccessibleTextRole:
            // The level in words with its reasons; the cell paints only the mark.
            return verdict.accessibleText();
        case PreflightLevelRole:
            return static_cast<int>(verdict.level);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignCenter);
        default:
            return {};
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case LineNo:
            return QString::number(index.row() + 1);
        case FileName:
            return fileNameOf(row.value(key("FilePathKey")).toString());
        case Category:
            return recordName(row, "CateoryPopKey");
        case Size:
            return recordName(row, "SizePopKey");
        case Surface:
            return recordName(row, "SurfacePopKey");
        case Laminate:
            return recordName(row, "LaminatePopKey");
        case NumberOfSheets:
            return row.value(key("OrderNumKey")).toString();
        default:
            return {};
        }
    case Qt::DecorationRole:
        return index.column() == Picture ? pictureFor(index.row()) : QVariant();
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        return orderInfo(row);
    case Qt::TextAlignmentRole:
        if (index.column() == LineNo || index.column() == NumberOfSheets) {
            return QVariant::fromValue(Qt::AlignCenter);
        }
        return QVariant::fromValue(Qt::AlignVCenter | Qt::AlignLeft);
    default:
        return {};
    }
}

QVariant PrintFileListDataSource::headerData(int section, Qt::Orientation orientation,
                                             int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case LineNo:
        return QStringLiteral("No.");
    case Picture:
        return QStringLiteral("画像");
    case FileName:
        return QStringLiteral("ファイル名");
    case Category:
        return QStringLiteral("カテゴリ");
    case Size:
        return QStringLiteral("サイズ");
    case Surface:
        return QStringLiteral("面質");
    case Laminate:
        return QStringLiteral("ラミネート");
    case NumberOfSheets:
        return QStringLiteral("枚数");
    case Status:
        return QStringLiteral("確認");
    default:
        return {};
    }
}

// --- Photo check ---

void PrintFileListDataSource::setPreflightBoard(PreflightBoard* board) {
    preflight_ = board;
    if (board == nullptr) {
        return;
    }
    connect(board, &PreflightBoard::verdictsChanged, this, [this] {
        if (!rows_.isEmpty()) {
            Q_EMIT dataChanged(index(0, Status), index(fileCount() - 1, Status));
        }
    });
    // Rows come, go and get their sizes through many small steps (5,000 rows stamped one by
    // one): they are handed over once, when the step is over.
    connect(this, &QAbstractItemModel::rowsInserted, this, [this] { schedulePreflight(); });
    connect(this, &QAbstractItemModel::rowsRemoved, this, [this] { schedulePreflight(); });
    connect(this, &QAbstractItemModel::modelReset, this, [this] { schedulePreflight(); });
    connect(this, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (topLeft.column() <= Size && bottomRight.column() >= Size) {
                    schedulePreflight();
                }
            });
    schedulePreflight();
}

void PrintFileListDataSource::schedulePreflight() {
    if (preflightDirty_) {
        return;
    }
    preflightDirty_ = true;
    QMetaObject::invokeMethod(this, &PrintFileListDataSource::flushPreflight, Qt::QueuedConnection);
}

void PrintFileListDataSource::flushPreflight() {
    preflightDirty_ = false;
    if (preflight_ == nullptr) {
        return;
    }
    QList<PreflightRow> rows;
    rows.reserve(rows_.size());
    const QString pathKey = key("FilePathKey");
    for (const QVariantMap& row : rows_) {
        rows.append({row.value(pathKey).toString(), recordName(row, "SizePopKey")});
    }
    preflight_->setRows(rows);
}
