#include "ui/OrderHistoryWindow.h"

#include "job/KeptOrders.h"
#include "service/OrderHistoryTable.h"
#include "ui/DialogConvention.h"
#include "ui/ReadingOrder.h"
#include "ui/ServiceWindowHost.h"
#include "util/OrderTab.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// A cell too narrow for its text shows the whole text as its tooltip; a cell with a tooltip of
// its own (the error) keeps that one, and a text that fits needs none.
class ElidedTextToolTip : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip ||
            !index.isValid() || index.data(Qt::ToolTipRole).isValid()) {
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        }
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QStyle* style = view->style();
        const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, view);
        // The style keeps this margin on both sides of an item's text.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        if (item.text.isEmpty() ||
            item.fontMetrics.horizontalAdvance(item.text) <= text.width() - 2 * margin) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(event->globalPos(), item.text, view->viewport(), option.rect);
        }
        return true;
    }
};

} // namespace

OrderHistoryWindow::OrderHistoryWindow(ServiceWindowHost& host, QWidget* parent)
    : QDialog(parent), host_(host), table_(new OrderHistoryTable(this)) {
    setObjectName(QStringLiteral("orderHistoryWindow"));
    setWindowTitle(QStringLiteral("送信履歴"));
    setAccessibleName(windowTitle());
    // Sized to the main window when opened (orderHistoryWindowOpen); the rows scroll.

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
    view_->setTabKeyNavigation(false); // Tab leaves the list for the buttons
    view_->setWordWrap(false);
    // Tab leaves the list (arrows move inside it), so the buttons below it can be reached.
    view_->setTabKeyNavigation(false);
    view_->verticalHeader()->hide();
    // Fixed row heights and column widths: no pass over every row, so thousands show at once.
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 8);
    // Columns sized to what they can hold, measured once from the shapes of their texts (never
    // from the rows, which can be tens of thousands); the error text takes the rest of the width
    // and the archive name gives way before the table scrolls sideways. Cut texts are elided and
    // show whole as a tooltip.
    view_->setItemDelegate(new ElidedTextToolTip(view_));
    view_->setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = view_->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionResizeMode(OrderHistoryTable::Archive, QHeaderView::Interactive);
    header->setSectionResizeMode(OrderHistoryTable::Error, QHeaderView::Stretch);
    const QFontMetrics metrics = view_->fontMetrics();
    const int padding =
        2 * (view_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view_) + 1) +
        metrics.averageCharWidth() + 1;
    const auto fitting = [&](int column, const QStringList& samples) {
        int width = header->sectionSizeHint(column);
        for (const QString& sample : samples)
            width = std::max(width, metrics.horizontalAdvance(sample) + padding);
        return width;
    };
    QStringList tabs;
    for (OrderTab tab : kAllOrderTabs)
        tabs.append(orderTabLabel(tab));
    QStringList outcomes;
    for (const QString& outcome : OrderHistoryTable::knownOutcomes())
        outcomes.append(OrderHistoryTable::outcomeLabel(outcome));
    view_->setColumnWidth(
        OrderHistoryTable::DateTime,
        fitting(OrderHistoryTable::DateTime, {QStringLiteral("0000/00/00 00:00:00")}));
    view_->setColumnWidth(OrderHistoryTable::Tab, fitting(OrderHistoryTable::Tab, tabs));
    view_->setColumnWidth(OrderHistoryTable::Files,
                          fitting(OrderHistoryTable::Files, {QStringLiteral("00000")}));
    view_->setColumnWidth(
        OrderHistoryTable::Size,
        fitting(OrderHistoryTable::Size, {QStringLiteral("0000 byte"), QStringLiteral("000.0 MB"),
                                          QStringLiteral("0.00 GB")}));
    view_->setColumnWidth(OrderHistoryTable::Outcome,
                          fitting(OrderHistoryTable::Outcome, outcomes));
    // The name the program gives its archives: code, MAC address, bag number.
    archiveWidth_ =
        fitting(OrderHistoryTable::Archive, {QStringLiteral("000000-00_00112233AABB_0000000.zip")});
    minimumArchiveWidth_ = metrics.averageCharWidth() * 12;
    minimumErrorWidth_ = std::max(header->sectionSizeHint(OrderHistoryTable::Error),
                                  metrics.averageCharWidth() * 16);
    header->setMinimumSectionSize(std::min(header->minimumSectionSize(), minimumArchiveWidth_));
    view_->setColumnWidth(OrderHistoryTable::Archive, archiveWidth_);
    view_->viewport()->installEventFilter(this);

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
    // A long error text breaks into lines instead of scrolling sideways.
    eventsList_->setWordWrap(true);
    eventsList_->setResizeMode(QListView::Adjust);
    eventsList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    sendButton_ = new QPushButton(QStringLiteral("この注文を送信"), this);
    sendButton_->setObjectName(QStringLiteral("orderHistorySendButton"));
    sendButton_->setAccessibleName(sendButton_->text());
    openPoolButton_ = new QPushButton(QStringLiteral("送信待ちフォルダを開く"), this);
    openPoolButton_->setObjectName(QStringLiteral("orderHistoryOpenPoolButton"));
    openPoolButton_->setAccessibleName(openPoolButton_->text());
    auto* reloadButton = new QPushButton(QStringLiteral("最新の状態にする"), this);
    reloadButton->setObjectName(QStringLiteral("orderHistoryReloadButton"));
    reloadButton->setAccessibleName(reloadButton->text());
    contentsButton_ = new QPushButton(QStringLiteral("内容を表示…"), this);
    contentsButton_->setObjectName(QStringLiteral("orderHistoryContentsButton"));
    contentsButton_->setAccessibleName(QStringLiteral("選択した注文の内容を表示"));
    resendButton_ = new QPushButton(QStringLiteral("もう一度送信…"), this);
    resendButton_->setObjectName(QStringLiteral("orderHistoryResendButton"));
    resendButton_->setAccessibleName(QStringLiteral("選択した注文をもう一度送信"));
    auto* closeButton = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton->setObjectName(QStringLiteral("orderHistoryCloseButton"));
    closeButton->setAccessibleName(closeButton->text());

    auto* top = new QHBoxLayout;
    top->addWidget(filterLabel);
    top->addWidget(filterPop_);
    top->addStretch(1);
    top->addWidget(countField_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(contentsButton_);
    bottom->addWidget(resendButton_);
    bottom->addWidget(openPoolButton_);
    bottom->addWidget(reloadButton);
    bottom->addStretch(1);
    bottom->addWidget(closeButton);
    bottom->addWidget(sendButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);
    // Never so narrow that the fixed columns, a shortened name and some error text miss room.
    int columns = minimumArchiveWidth_ + minimumErrorWidth_;
    for (int column :
         {OrderHistoryTable::DateTime, OrderHistoryTable::Tab, OrderHistoryTable::Files,
          OrderHistoryTable::Size, OrderHistoryTable::Outcome})
        columns += view_->columnWidth(column);
    const QMargins margins = layout->contentsMargins();
    const int frame = 2 * view_->frameWidth() +
                      view_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view_);
    setMinimumSize(
        std::max(columns + frame + margins.left() + margins.right(), layout->minimumSize().width()),
        metrics.height() * 20);

    connect(filterPop_, &QComboBox::currentIndexChanged, this, &OrderHistoryWindow::filterChanged);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &OrderHistoryWindow::refreshButtons);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &OrderHistoryWindow::showEvents);
    connect(table_, &QAbstractItemModel::modelReset, this, &OrderHistoryWindow::refreshButtons);
    connect(table_, &QAbstractItemModel::modelReset, this, &OrderHistoryWindow::showEvents);
    connect(sendButton_, &QPushButton::clicked, this, &OrderHistoryWindow::sendSelected);
    connect(resendButton_, &QPushButton::clicked, this, &OrderHistoryWindow::resendSelected);
    connect(contentsButton_, &QPushButton::clicked, this,
            &OrderHistoryWindow::showSelectedContents);
    // The row's actions also from its context menu (the menu key and Shift+F10 open it too).
    rowMenu_ = new QMenu(this);
    rowMenu_->setObjectName(QStringLiteral("orderHistoryRowMenu"));
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this,
            &OrderHistoryWindow::showContextMenu);
    // Reading order: the list, the events, then the buttons from left to right.
    setTabOrder(filterPop_, view_);
    setTabOrder(view_, eventsList_);
    setTabOrder(eventsList_, contentsButton_);
    setTabOrder(contentsButton_, resendButton_);
    setTabOrder(resendButton_, openPoolButton_);
    setTabOrder(openPoolButton_, reloadButton);
    setTabOrder(reloadButton, closeButton);
    setTabOrder(closeButton, sendButton_);
    connect(openPoolButton_, &QPushButton::clicked, this, &OrderHistoryWindow::openPoolFolder);
    connect(reloadButton, &QPushButton::clicked, this, &OrderHistoryWindow::reload);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    refreshButtons();
}

void OrderHistoryWindow::orderHistoryWindowOpen() {
    reload();
    if (!isVisible()) {
        // Most of the main window it belongs to and never more, centred on it: the columns and
        // the error texts have room, and on a large screen the history stays over the program.
        QWidget* main = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
        if (main != nullptr && main->isVisible()) {
            const QSize room = main->size();
            fitToAvailableScreen(this, QSize(room.width() * 9 / 10, room.height() * 9 / 10));
            resize(size().boundedTo(room).expandedTo(minimumSize()));
            // pos() is the frame's corner, geometry() the inside's: keep the frame's offset.
            const QPoint frameOffset = geometry().topLeft() - pos();
            move(main->geometry().center() - rect().center() - frameOffset);
        } else {
            const QScreen* screen =
                parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
            const QSize area =
                screen != nullptr ? screen->availableGeometry().size() : QSize(1100, 600);
            fitToAvailableScreen(this, QSize(area.width() * 85 / 100, area.height() * 85 / 100));
        }
    }
    keepReadingOrder(this);
    show();
    raise();
    activateWindow();
}

bool OrderHistoryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QDialog::eventFilter(watched, event);
}

void OrderHistoryWindow::fitColumns() {
    int others = minimumErrorWidth_;
    for (int column :
         {OrderHistoryTable::DateTime, OrderHistoryTable::Tab, OrderHistoryTable::Files,
          OrderHistoryTable::Size, OrderHistoryTable::Outcome})
        others += view_->columnWidth(column);
    // A wide window gives a third of its spare room to the name (a saved order's is a path)
    // and the rest to the error text.
    const int room = view_->viewport()->width() - others;
    view_->setColumnWidth(
        OrderHistoryTable::Archive,
        std::clamp(room, minimumArchiveWidth_, std::max(archiveWidth_, room / 3)));
}

void OrderHistoryWindow::reload() {
    // The selected order stays selected (a re-send adds a row above it).
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    const QString selected = rows.isEmpty() ? QString() : table_->rowAt(rows.first().row()).archive;
    table_->reload();
    if (!selected.isEmpty())
        selectArchive(selected);
}

void OrderHistoryWindow::selectArchive(const QString& archive) {
    const int row = table_->rowOfArchive(archive);
    if (row < 0)
        return;
    view_->selectRow(row);
    view_->scrollTo(table_->index(row, 0));
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

QString OrderHistoryWindow::selectedKeptArchivePath() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return {};
    return KeptOrders::keptArchivePath(table_->rowAt(rows.first().row()).archive)
        .value_or(QString());
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
    const bool kept = !selectedKeptArchivePath().isEmpty();
    resendButton_->setEnabled(kept && !host_.isJobExecuting());
    if (host_.isJobExecuting())
        resendButton_->setToolTip(QStringLiteral("送信中の注文が終わるまでお待ちください"));
    else if (!kept)
        resendButton_->setToolTip(
            QStringLiteral("保管されている送信済みの注文を選んでください（保管は%1日間）")
                .arg(KeptOrders::keepDays()));
    else
        resendButton_->setToolTip(QString());
    contentsButton_->setEnabled(kept || inPool);
    contentsButton_->setToolTip(kept || inPool ? QString()
                                               : QStringLiteral("保管されている注文か、送信待ちの"
                                                                "注文を選んでください"));
}

void OrderHistoryWindow::showContextMenu(const QPoint& at) {
    const QModelIndex index = view_->indexAt(at);
    if (index.isValid() && !view_->selectionModel()->isRowSelected(index.row(), QModelIndex()))
        view_->selectRow(index.row());
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    rowMenu_->clear();
    for (QPushButton* button : {contentsButton_, resendButton_, sendButton_}) {
        QAction* action = rowMenu_->addAction(button->text(), button, &QPushButton::click);
        action->setEnabled(button->isEnabled());
    }
    // From the keyboard the menu opens at the selected row.
    const QRect cell = view_->visualRect(table_->index(rows.first().row(), 0));
    const QPoint where = index.isValid() ? at : cell.center();
    rowMenu_->popup(view_->viewport()->mapToGlobal(where));
}

void OrderHistoryWindow::resendSelected() {
    const QString kept = selectedKeptArchivePath();
    if (kept.isEmpty() || host_.isJobExecuting())
        return;
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    const OrderHistoryRow row = table_->rowAt(rows.first().row());
    const std::optional<OrderArchiveName> name = OrderArchiveName::parse(row.archive);
    const QString text =
        QStringLiteral("送信日時：%1\nお客様コード：%2\n袋番号：%3\nサイズ：%4\n\n"
                       "送信した時と同じ内容を、新しい袋番号で送信します。")
            .arg(row.dateTimeText(), name ? name->customerCode : QString(),
                 name ? QStringLiteral("%1").arg(name->bagNo, 7, 10, QLatin1Char('0')) : QString(),
                 Tool::autoDataByteStringWithByte(static_cast<double>(QFileInfo(kept).size())));
    if (!Tool::alertOkNgWithMsg(QStringLiteral("この注文をもう一度送信しますか？"), text,
                                QStringLiteral("送信"), QStringLiteral("キャンセル")))
        return;
    host_.resendKeptOrder(kept);
    refreshButtons();
}

QDialog* OrderHistoryWindow::contentsWindow() const {
    return contents_;
}

void OrderHistoryWindow::showSelectedContents() {
    QString path = selectedKeptArchivePath();
    if (path.isEmpty())
        path = selectedPoolArchivePath();
    if (path.isEmpty())
        return;
    const KeptOrderContents contents = KeptOrders::contents(path);
    if (contents_ != nullptr)
        contents_->deleteLater();
    auto* dialog = new QDialog(this);
    contents_ = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QObject::destroyed, this, [this, dialog] {
        if (contents_ == dialog)
            contents_ = nullptr;
    });
    dialog->setObjectName(QStringLiteral("orderContentsWindow"));
    dialog->setWindowTitle(QStringLiteral("注文の内容 - %1").arg(QFileInfo(path).fileName()));
    dialog->setAccessibleName(dialog->windowTitle());
    auto* summary = new QLabel(dialog);
    summary->setObjectName(QStringLiteral("orderContentsSummary"));
    summary->setWordWrap(true);
    summary->setText(
        contents.error.isEmpty()
            ? QStringLiteral("%1（%2、%3ファイル）")
                  .arg(QFileInfo(path).fileName(), Tool::autoDataByteStringWithByte(
                                                       static_cast<double>(QFileInfo(path).size())))
                  .arg(contents.files.size())
            : contents.error);
    auto* reportLabel = new QLabel(QStringLiteral("注文書（PrintReport4.txt）:"), dialog);
    auto* report = new QPlainTextEdit(dialog);
    report->setObjectName(QStringLiteral("orderContentsReport"));
    report->setReadOnly(true);
    report->setLineWrapMode(QPlainTextEdit::NoWrap);
    // CR LF as the lab reads it; shown as plain lines.
    QString reportText = contents.report;
    reportText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    report->setPlainText(reportText);
    reportLabel->setBuddy(report);
    report->setAccessibleName(QStringLiteral("注文書"));
    auto* filesLabel = new QLabel(QStringLiteral("注文ファイルの中身:"), dialog);
    auto* files = new QListWidget(dialog);
    files->setObjectName(QStringLiteral("orderContentsFileList"));
    files->addItems(contents.files);
    filesLabel->setBuddy(files);
    files->setAccessibleName(QStringLiteral("注文ファイルの中身"));
    auto* split = new QSplitter(Qt::Horizontal, dialog);
    auto* reportPane = new QWidget(split);
    auto* reportBox = new QVBoxLayout(reportPane);
    reportBox->setContentsMargins(0, 0, 0, 0);
    reportBox->addWidget(reportLabel);
    reportBox->addWidget(report, 1);
    auto* filesPane = new QWidget(split);
    auto* filesBox = new QVBoxLayout(filesPane);
    filesBox->setContentsMargins(0, 0, 0, 0);
    filesBox->addWidget(filesLabel);
    filesBox->addWidget(files, 1);
    split->addWidget(reportPane);
    split->addWidget(filesPane);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("orderContentsCloseButton"));
    close->setAccessibleName(close->text());
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    auto* box = new QVBoxLayout(dialog);
    box->addWidget(summary);
    box->addWidget(split, 1);
    box->addWidget(buttons);
    const QFontMetrics metrics = dialog->fontMetrics();
    fitToAvailableScreen(dialog, QSize(metrics.averageCharWidth() * 110, metrics.height() * 32));
    dialog->show();
    report->setFocus(Qt::OtherFocusReason);
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
    const QString link = table_->linkText(table_->rowAt(rows.first().row()));
    if (!link.isEmpty()) {
        eventsList_->addItem(link);
    }
}
