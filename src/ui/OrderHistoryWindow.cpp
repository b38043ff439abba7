#include "ui/OrderHistoryWindow.h"

#include "service/OrderHistoryTable.h"
#include "ui/DialogConvention.h"
#include "ui/ServiceWindowHost.h"
#include "util/WorkFolder.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

OrderHistoryWindow::OrderHistoryWindow(ServiceWindowHost& host, QWidget* parent)
    : QDialog(parent), host_(host), table_(new OrderHistoryTable(this)) {
    setObjectName(QStringLiteral("orderHistoryWindow"));
    setWindowTitle(QStringLiteral("送信履歴"));
    setAccessibleName(windowTitle());
    // Sized to the screen when opened (orderHistoryWindowOpen); the table scrolls.
    setMinimumSize(600, 400);

    auto* filterLabel = new QLabel(QStringLiteral("結果:"), this);
    filterPop_ = new QComboBox(this);
    filterPop_->setObjectName(QStringLiteral("orderHistoryFilterPop"));
    filterPop_->setAccessibleName(QStringLiteral("結果で絞り込み"));
    filterPop_->addItem(QStringLiteral("すべて"), QString());
    for (const QString& outcome : OrderHistoryTable::knownOutcomes())
        filterPop_->addItem(OrderHistoryTable::outcomeLabel(outcome), outcome);
    filterLabel->setBuddy(filterPop_);
    countField_ = new QLabel(this);
    countField_->setObjectName(QStringLiteral("orderHistoryCountField"));

    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("orderHistoryTable"));
    view_->setAccessibleName(QStringLiteral("送信履歴の一覧"));
    view_->setModel(table_);
    view_->setAlternatingRowColors(true);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setWordWrap(false);
    view_->verticalHeader()->hide();
    // Fixed row heights and column widths: no pass over every row, so thousands show at once.
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 8);
    QHeaderView* header = view_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    const int unit = view_->fontMetrics().horizontalAdvance(QStringLiteral("0"));
    view_->setColumnWidth(OrderHistoryTable::DateTime, unit * 21);
    view_->setColumnWidth(OrderHistoryTable::Tab, unit * 9);
    view_->setColumnWidth(OrderHistoryTable::Archive, unit * 34);
    view_->setColumnWidth(OrderHistoryTable::Files, unit * 9);
    view_->setColumnWidth(OrderHistoryTable::Size, unit * 10);
    view_->setColumnWidth(OrderHistoryTable::Outcome, unit * 20);

    auto* eventsPane = new QWidget(this);
    auto* eventsLabel = new QLabel(QStringLiteral("選択した注文の経過:"), eventsPane);
    eventsList_ = new QListWidget(eventsPane);
    eventsList_->setObjectName(QStringLiteral("orderHistoryEventsList"));
    eventsLabel->setBuddy(eventsList_);
    eventsList_->setAccessibleName(QStringLiteral("選択した注文の経過"));
    auto* eventsBox = new QVBoxLayout(eventsPane);
    eventsBox->setContentsMargins(0, 0, 0, 0);
    eventsBox->addWidget(eventsLabel);
    eventsBox->addWidget(eventsList_, 1);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setChildrenCollapsible(false);
    split->addWidget(view_);
    split->addWidget(eventsPane);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    eventsList_->setMinimumHeight(eventsList_->fontMetrics().height() * 3);

    sendButton_ = new QPushButton(QStringLiteral("この注文を送信"), this);
    sendButton_->setObjectName(QStringLiteral("orderHistorySendButton"));
    sendButton_->setAccessibleName(sendButton_->text());
    openPoolButton_ = new QPushButton(QStringLiteral("送信待ちフォルダを開く"), this);
    openPoolButton_->setObjectName(QStringLiteral("orderHistoryOpenPoolButton"));
    openPoolButton_->setAccessibleName(openPoolButton_->text());
    auto* reloadButton = new QPushButton(QStringLiteral("最新の状態にする"), this);
    reloadButton->setObjectName(QStringLiteral("orderHistoryReloadButton"));
    reloadButton->setAccessibleName(reloadButton->text());
    auto* closeButton = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton->setObjectName(QStringLiteral("orderHistoryCloseButton"));
    closeButton->setAccessibleName(closeButton->text());

    auto* top = new QHBoxLayout;
    top->addWidget(filterLabel);
    top->addWidget(filterPop_);
    top->addStretch(1);
    top->addWidget(countField_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(openPoolButton_);
    bottom->addWidget(reloadButton);
    bottom->addStretch(1);
    bottom->addWidget(closeButton);
    bottom->addWidget(sendButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    connect(filterPop_, &QComboBox::currentIndexChanged, this, &OrderHistoryWindow::filterChanged);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &OrderHistoryWindow::refreshButtons);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &OrderHistoryWindow::showEvents);
    connect(table_, &QAbstractItemModel::modelReset, this, &OrderHistoryWindow::refreshButtons);
    connect(table_, &QAbstractItemModel::modelReset, this, &OrderHistoryWindow::showEvents);
    connect(sendButton_, &QPushButton::clicked, this, &OrderHistoryWindow::sendSelected);
    connect(openPoolButton_, &QPushButton::clicked, this, &OrderHistoryWindow::openPoolFolder);
    connect(reloadButton, &QPushButton::clicked, this, &OrderHistoryWindow::reload);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    refreshButtons();
}

void OrderHistoryWindow::orderHistoryWindowOpen() {
    reload();
    if (!isVisible()) {
        // Most of the screen, so the columns and the error texts have room on a large screen.
        const QScreen* screen =
            parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
        const QSize area =
            screen != nullptr ? screen->availableGeometry().size() : QSize(1100, 600);
        fitToAvailableScreen(this, QSize(area.width() * 85 / 100, area.height() * 85 / 100));
    }
    show();
    raise();
    activateWindow();
}

void OrderHistoryWindow::reload() {
    table_->reload();
}

void OrderHistoryWindow::filterChanged() {
    table_->setOutcomeFilter(filterPop_->currentData().toString());
}

QString OrderHistoryWindow::selectedPoolArchivePath() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return {};
    const QString archive = table_->rowAt(rows.first().row()).archive;
    if (archive.isEmpty() || archive.contains(u'/'))
        return {};
    const QString path = QDir(WorkFolder::orderZipPoolFolderPath()).filePath(archive);
    return QFileInfo(path).isFile() ? path : QString();
}

void OrderHistoryWindow::refreshButtons() {
    countField_->setText(
        QStringLiteral("%1件 / 全%2件").arg(table_->rowCount()).arg(table_->orderCount()));
    const bool inPool = !selectedPoolArchivePath().isEmpty();
    sendButton_->setEnabled(inPool && !host_.isJobExecuting());
    if (host_.isJobExecuting())
        sendButton_->setToolTip(QStringLiteral("送信中の注文が終わるまでお待ちください"));
    else if (!inPool)
        sendButton_->setToolTip(QStringLiteral("送信待ちフォルダにある注文を選んでください"));
    else
        sendButton_->setToolTip(QString());
}

void OrderHistoryWindow::sendSelected() {
    const QString path = selectedPoolArchivePath();
    if (path.isEmpty() || host_.isJobExecuting())
        return;
    host_.sendPooledOrder(path);
    refreshButtons();
}

void OrderHistoryWindow::openPoolFolder() {
    WorkFolder::checkWorkFolder();
    QDesktopServices::openUrl(QUrl::fromLocalFile(WorkFolder::orderZipPoolFolderPath()));
}

void OrderHistoryWindow::showEvents() {
    eventsList_->clear();
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    for (const OrderHistoryRow& event : table_->eventsAt(rows.first().row())) {
        QString line = event.dateTimeText() + QStringLiteral("  ") +
                       OrderHistoryTable::outcomeLabel(event.outcome);
        if (!event.error.isEmpty()) {
            line += QStringLiteral("  ") + event.error;
        }
        eventsList_->addItem(line);
    }
}
