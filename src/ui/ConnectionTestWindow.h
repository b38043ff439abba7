#pragma once

#include <QDialog>

class ConnectionTest;
class QLabel;
class QPushButton;
class QTableWidget;

// The connection test: one row per check, filled in as each check ends, with what to do.
class ConnectionTestWindow : public QDialog {
    Q_OBJECT
public:
    explicit ConnectionTestWindow(QWidget* parent = nullptr);
    ~ConnectionTestWindow() override;

    // Shows the window and runs every check from the start.
    void connectionTestOpen();
    void startTest();
    bool isRunning() const;

Q_SIGNALS:
    void testEnded(bool allOk);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void checkStarted(int check);
    void checkFinished(int check, int state, const QString& detail);
    void testFinished(bool allOk);

    ConnectionTest* test_ = nullptr;
    QTableWidget* list_ = nullptr;
    QLabel* summaryField_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};
