#include "ui/ConnectionTestWindow.h"

#include "service/ConnectionTest.h"
#include "ui/ReadingOrder.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
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
    list_ = new QTableWidget(ConnectionTest::CheckCount, 3, this);
    list_->setObjectName(QStringLiteral("connectionTestList"));
    list_->setAccessibleName(QStringLiteral("確認項目と結果"));
    list_->setHorizontalHeaderLabels(
        {QStringLiteral("確認項目"), QStringLiteral("結果"), QStringLiteral("内容と対処")});
    list_->setWordWrap(true);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->verticalHeader()->hide();
    // Rows grow with their wrapped advice, so every word of it stays readable.
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list_->horizontalHeader()->setStretchLastSection(true);
    const int unit = list_->fontMetrics().horizontalAdvance(QStringLiteral("0"));
    list_->setColumnWidth(TitleColumn, unit * 28);
    list_->setColumnWidth(StateColumn, unit * 9);
    for (int check = 0; check < ConnectionTest::CheckCount; ++check) {
        for (int column = 0; column < 3; ++column)
            list_->setItem(check, column, new QTableWidgetItem);
        list_->item(check, TitleColumn)->setText(ConnectionTest::checkTitle(check));
        list_->item(check, StateColumn)->setTextAlignment(Qt::AlignCenter);
    }

    summaryField_ = new QLabel(this);
    summaryField_->setObjectName(QStringLiteral("connectionTestSummary"));
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
    keepReadingOrder(this);
    show();
    raise();
    activateWindow();
    if (!test_->isRunning())
        startTest();
}

void ConnectionTestWindow::startTest() {
    for (int check = 0; check < list_->rowCount(); ++check) {
        list_->item(check, StateColumn)->setText(QStringLiteral("待機中"));
        list_->item(check, StateColumn)
            ->setForeground(stateColor(ConnectionCheckResult::State::Skipped));
        list_->item(check, DetailColumn)->setText(QString());
    }
    summaryField_->setText(QStringLiteral("確認しています..."));
    if (test_->start()) {
        startButton_->setEnabled(false);
        closeButton_->setEnabled(false);
    }
}

void ConnectionTestWindow::checkStarted(int check) {
    if (QTableWidgetItem* item = list_->item(check, StateColumn))
        item->setText(QStringLiteral("確認中..."));
}

void ConnectionTestWindow::checkFinished(int check, int state, const QString& detail) {
    if (check < 0 || check >= list_->rowCount())
        return;
    const auto s = static_cast<ConnectionCheckResult::State>(state);
    list_->item(check, StateColumn)->setText(ConnectionTest::stateLabel(s));
    list_->item(check, StateColumn)->setForeground(stateColor(s));
    list_->item(check, DetailColumn)->setText(detail);
    list_->item(check, DetailColumn)->setToolTip(detail);
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
