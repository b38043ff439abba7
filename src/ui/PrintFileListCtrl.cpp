#include "ui/PrintFileListCtrl.h"

#include "app/PreflightBoard.h"
#include "ui/FocusFrameTableView.h"
#include "ui/PhotoPreviewWindow.h"
#include "ui/PrintFileListDataSource.h"
#include "ui/ThumbnailLoader.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

PrintFileListCtrl::PrintFileListCtrl(const QString& prefix, QLabel* hint, QWidget* parent)
    : PrintFileListCtrl(std::make_unique<PrintFileListDataSource>(prefix),
                        prefix.left(1).toLower() + prefix.mid(1), hint, parent) {}

PrintFileListCtrl::PrintFileListCtrl(std::unique_ptr<PrintFileListDataSource> dataSource,
                                     const QString& lower, QLabel* hint, QWidget* parent)
    : QWidget(parent), hint_(hint) {
    setObjectName(lower + QStringLiteral("FileListCtrl"));
    dataSource_ = dataSource.release();
    dataSource_->setParent(this);

    // The current row and cell are framed while the list has the focus.
    tableView_ = new FocusFrameTableView(this);
    tableView_->setObjectName(lower + QStringLiteral("FileListView"));
    tableView_->setAccessibleName(QStringLiteral("ファイル一覧"));
    tableView_->setModel(dataSource_);
    tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tableView_->setAlternatingRowColors(true);
    tableView_->setSortingEnabled(false);
    tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab and Shift+Tab leave the list (and keep its selection); arrows move inside it.
    tableView_->setTabKeyNavigation(false);
    tableView_->setWordWrap(false);
    tableView_->setTextElideMode(Qt::ElideMiddle);
    tableView_->setIconSize(
        QSize(ThumbnailLoader::kThumbnailHeight * 3 / 2, ThumbnailLoader::kThumbnailHeight));
    tableView_->verticalHeader()->setVisible(false);
    // Fixed row heights: the view never measures 5,000 rows.
    tableView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* header = tableView_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    const int em = fontMetrics().horizontalAdvance(u'0');
    tableView_->setColumnWidth(PrintFileListDataSource::LineNo, em * 6);
    tableView_->setColumnWidth(PrintFileListDataSource::Picture,
                               ThumbnailLoader::kThumbnailHeight * 3 / 2 + 8);
    tableView_->setColumnWidth(PrintFileListDataSource::NumberOfSheets, em * 6);
    if (PrintFileListDataSource::Status < dataSource_->columnCount()) {
        // The photo check's mark stands right after the row number, where the eye starts.
        tableView_->setColumnWidth(PrintFileListDataSource::Status, em * 5);
        header->moveSection(header->visualIndex(PrintFileListDataSource::Status), 1);
    }
    // A list without the order columns (Kinelo) stretches what it has.
    for (int c : {int(PrintFileListDataSource::FileName), int(PrintFileListDataSource::Category),
                  int(PrintFileListDataSource::Size), int(PrintFileListDataSource::Surface),
                  int(PrintFileListDataSource::Laminate)}) {
        if (c < dataSource_->columnCount()) {
            header->setSectionResizeMode(c, QHeaderView::Stretch);
        }
    }
    tableView_->installEventFilter(this);
    tableView_->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tableView_);

    if (hint_ != nullptr) {
        hint_->setParent(tableView_->viewport());
        hint_->setAttribute(Qt::WA_TransparentForMouseEvents);
        hint_->setAlignment(Qt::AlignCenter);
        hint_->setWordWrap(true);
    }

    // A double click shows the photo large with its print's frame.
    connect(tableView_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { openPreview(index.row()); });
    connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { Q_EMIT tableViewSelectChange(); });
    connect(dataSource_, &QAbstractItemModel::rowsInserted, this, &PrintFileListCtrl::updateHint);
    connect(dataSource_, &QAbstractItemModel::rowsRemoved, this, &PrintFileListCtrl::updateHint);
    connect(dataSource_, &QAbstractItemModel::modelReset, this, &PrintFileListCtrl::updateHint);
    // The rows in view decide which thumbnails are worth making; checked once the scrolling
    // settles for a moment, so a fast scroll does not cancel and re-ask on every step.
    auto* settle = new QTimer(this);
    settle->setSingleShot(true);
    settle->setInterval(30);
    connect(settle, &QTimer::timeout, this, &PrintFileListCtrl::visibleRowsChanged);
    connect(tableView_->verticalScrollBar(), &QScrollBar::valueChanged, settle,
            qOverload<>(&QTimer::start));
    updateRowHeight();
    updateHint();
}

const QList<QVariantMap>& PrintFileListCtrl::fileInfoArray() const {
    return dataSource_->fileInfoArray();
}

int PrintFileListCtrl::fileCount() const {
    return dataSource_->fileCount();
}

bool PrintFileListCtrl::isNoFile() const {
    return dataSource_->isNoFile();
}

bool PrintFileListCtrl::isSelectedRow() const {
    return tableView_->selectionModel()->hasSelection();
}

QList<int> PrintFileListCtrl::selectedRowIndexes() const {
    QList<int> rows;
    const QModelIndexList indexes = tableView_->selectionModel()->selectedRows();
    rows.reserve(indexes.size());
    for (const QModelIndex& index : indexes) {
        rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int PrintFileListCtrl::selectedRowCount() const {
    return static_cast<int>(tableView_->selectionModel()->selectedRows().size());
}

std::optional<QVariantMap> PrintFileListCtrl::selectedTopRowDic() const {
    const QList<int> rows = selectedRowIndexes();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return dataSource_->rowAt(rows.first());
}

bool PrintFileListCtrl::isEqualFileName(const QString& fileName) const {
    return dataSource_->isEqualFileName(fileName);
}

QString PrintFileListCtrl::allFileNameStr() const {
    return dataSource_->allFileNameStr();
}

QString PrintFileListCtrl::allFileSizeStr() const {
    return dataSource_->allFileSizeStr();
}

QVariantList PrintFileListCtrl::orderFileInfoArray() const {
    return dataSource_->orderFileInfoArray();
}

bool PrintFileListCtrl::isSendOk() const {
    return dataSource_->isSendOk();
}

void PrintFileListCtrl::reloadData() {
    dataSource_->reloadData();
    updateRowHeight();
    updateHint();
}

void PrintFileListCtrl::removeAllRecords() {
    dataSource_->removeAllRecords();
    updateHint();
}

void PrintFileListCtrl::removeSelectedRecords() {
    const QList<int> rows = selectedRowIndexes();
    tableView_->selectionModel()->clearSelection();
    dataSource_->removeRowsAt(rows);
    updateHint();
}

void PrintFileListCtrl::duplicateSelectedRecords() {
    const QList<int> rows = selectedRowIndexes();
    QList<int> added;
    int shift = 0;
    for (int row : rows) {
        const int source = row + shift;
        const QString path =
            dataSource_->rowAt(source).value(dataSource_->key("FilePathKey")).toString();
        dataSource_->insertFilePath(source + 1, path);
        added.append(source + 1);
        ++shift;
    }
    selectRows(added);
}

void PrintFileListCtrl::selectRows(const QList<int>& rows) {
    QItemSelection selection;
    for (int row : rows) {
        selection.select(dataSource_->index(row, 0),
                         dataSource_->index(row, dataSource_->columnCount() - 1));
    }
    tableView_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty()) {
        tableView_->selectionModel()->setCurrentIndex(dataSource_->index(rows.first(), 0),
                                                      QItemSelectionModel::NoUpdate);
    }
}

void PrintFileListCtrl::deselectAll() {
    tableView_->selectionModel()->clearSelection();
}

bool PrintFileListCtrl::openPreview(int row) {
    PreflightBoard* board = dataSource_->preflightBoard();
    if (board == nullptr || row < 0 || row >= board->rowCount()) {
        return false;
    }
    QPointer<PrintFileListCtrl> self(this);
    PhotoPreviewWindow::showFor(tableView_, *board, row, [self](int shown) {
        // The selection follows the preview.
        if (self != nullptr) {
            self->selectRows({shown});
            self->tableView_->scrollTo(self->dataSource_->index(shown, 0));
        }
    });
    return true;
}

void PrintFileListCtrl::updateHint() {
    if (hint_ == nullptr) {
        return;
    }
    hint_->setVisible(dataSource_->isNoFile());
    hint_->setGeometry(tableView_->viewport()->rect().adjusted(8, 8, -8, -8));
    hint_->raise();
}

void PrintFileListCtrl::updateRowHeight() {
    const int textHeight = fontMetrics().height() + 8;
    const int height = dataSource_->thumbnailsOn()
                           ? std::max(textHeight, ThumbnailLoader::kThumbnailHeight + 4)
                           : textHeight;
    if (tableView_->verticalHeader()->defaultSectionSize() != height) {
        tableView_->verticalHeader()->setDefaultSectionSize(height);
    }
    tableView_->setColumnHidden(PrintFileListDataSource::Picture, !dataSource_->thumbnailsOn());
}

void PrintFileListCtrl::visibleRowsChanged() {
    const int first = tableView_->rowAt(0);
    int last = tableView_->rowAt(tableView_->viewport()->height() - 1);
    if (first < 0) {
        dataSource_->keepThumbnailsFor(0, -1);
        return;
    }
    if (last < 0) {
        last = dataSource_->fileCount() - 1;
    }
    dataSource_->keepThumbnailsFor(first, last);
}

bool PrintFileListCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tableView_->viewport() && event->type() == QEvent::Resize) {
        updateHint();
    } else if (watched == tableView_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) &&
            key->modifiers() == Qt::NoModifier) {
            Q_EMIT deleteKeyPressed();
            return true;
        }
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier &&
            openPreview(tableView_->currentIndex().isValid() ? tableView_->currentIndex().row()
                                                             : selectedRowIndexes().value(0, -1))) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
