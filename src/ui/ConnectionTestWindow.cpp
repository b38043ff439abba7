#include "ui/ConnectionTestWindow.h"

#include "service/ConnectionTest.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum ColumnIndex { TitleColumn, StateColumn, DetailColumn };

QColor stateColor(ConnectionCheckResult::State state) {
    switch (state) {
    case ConnectionCheckResult::State::Ok:
        return QColor(0x1b, 0x7f, 0x2a);
    case ConnectionCheckResult::State::Warning:
        return QColor(0xb3, 0x6b, 0x00);
    case ConnectionCheckResult::State::Failed:
        return QColor(0xc0, 0x1c, 0x1c);
    default:
        return QColor(0x66, 0x66, 0x66);
    }
}

} // namespace

ConnectionTestWindow::ConnectionTestWindow(QWidget* parent)
    : QDialog(parent), test_(new ConnectionTest(this)) {
    setObjectName(QStringLiteral("connectionTestWindow"));
    setWindowTitle(QStringLiteral("接続テスト"));
    setAccessibleName(windowTitle());
    setMinimumSize(760, 360);

    auto* intro = new QLabel(QStringLiteral("ラボのサーバーと正しく通信できるかを順番に確認します。"
                                            "注文データは送信されません。"),
                             this);
    intro->setWordWrap(true);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("connectionTestList"));
    list_->setAccessibleName(QStringLiteral("確認項目と結果"));
    list_->setColumnCount(3);
    list_->setHeaderLabels(
        {QStringLiteral("確認項目"), QStringLiteral("結果"), QStringLiteral("内容と対処")});
    list_->setRootIsDecorated(false);
    list_->setWordWrap(true);
    list_->setUniformRowHeights(false);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->header()->setStretchLastSection(true);
    const int unit = list_->fontMetrics().horizontalAdvance(QStringLiteral("0"));
    list_->setColumnWidth(TitleColumn, unit * 34);
    list_->setColumnWidth(StateColumn, unit * 10);
    for (int check = 0; check < ConnectionTest::CheckCount; ++check) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(TitleColumn, ConnectionTest::checkTitle(check));
    }

    summaryField_ = new QLabel(this);
    summaryField_->setObjectName(QStringLiteral("connectionTestSummary"));
    summaryField_->setAccessibleName(QStringLiteral("接続テストの結果"));
    summaryField_->setWordWrap(true);
    startButton_ = new QPushButton(QStringLiteral("もう一度テスト"), this);
    startButton_->setObjectName(QStringLiteral("connectionTestStartButton"));
    startButton_->setAccessibleName(startButton_->text());
    closeButton_ = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton_->setObjectName(QStringLiteral("connectionTestCloseButton"));
    closeButton_->setAccessibleName(closeButton_->text());
    closeButton_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summaryField_, 1);
    buttons->addWidget(startButton_);
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    connect(test_, &ConnectionTest::checkStarted, this, &ConnectionTestWindow::checkStarted);
    connect(test_, &ConnectionTest::checkFinished, this, &ConnectionTestWindow::checkFinished);
    connect(test_, &ConnectionTest::finished, this, &ConnectionTestWindow::testFinished);
    connect(startButton_, &QPushButton::clicked, this, &ConnectionTestWindow::startTest);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::close);
}

ConnectionTestWindow::~ConnectionTestWindow() = default;

bool ConnectionTestWindow::isRunning() const {
    return test_->isRunning();
}

void ConnectionTestWindow::connectionTestOpen() {
    show();
    raise();
    activateWindow();
    if (!test_->isRunning())
        startTest();
}

void ConnectionTestWindow::startTest() {
    for (int check = 0; check < list_->topLevelItemCount(); ++check) {
        QTreeWidgetItem* item = list_->topLevelItem(check);
        item->setText(StateColumn, QStringLiteral("待機中"));
        item->setForeground(StateColumn, stateColor(ConnectionCheckResult::State::Skipped));
        item->setText(DetailColumn, QString());
    }
    summaryField_->setText(QStringLiteral("確認しています..."));
    if (test_->start()) {
        startButton_->setEnabled(false);
        closeButton_->setEnabled(false);
    }
}

void ConnectionTestWindow::checkStarted(int check) {
    if (QTreeWidgetItem* item = list_->topLevelItem(check))
        item->setText(StateColumn, QStringLiteral("確認中..."));
}

void ConnectionTestWindow::checkFinished(int check, int state, const QString& detail) {
    QTreeWidgetItem* item = list_->topLevelItem(check);
    if (!item)
        return;
    const auto s = static_cast<ConnectionCheckResult::State>(state);
    item->setText(StateColumn, ConnectionTest::stateLabel(s));
    item->setForeground(StateColumn, stateColor(s));
    item->setText(DetailColumn, detail);
    item->setToolTip(DetailColumn, detail);
}

void ConnectionTestWindow::testFinished(bool allOk) {
    summaryField_->setText(
        allOk ? QStringLiteral("すべての確認が終わりました。問題はありません。")
              : QStringLiteral("問題が見つかりました。各項目の対処をご確認ください。"));
    startButton_->setEnabled(true);
    closeButton_->setEnabled(true);
    Q_EMIT testEnded(allOk);
}

void ConnectionTestWindow::closeEvent(QCloseEvent* event) {
    // The checks end on their own within their time limits; the window waits for them.
    if (test_->isRunning()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ConnectionTestWindow::reject() {
    if (!test_->isRunning())
        QDialog::reject();
}
