#pragma once

#include <QMainWindow>
#include <QStringList>

class QTabWidget;

// The single window of the program: five order tabs under one tab view.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // The tab labels, in the order the tabs stand; they identify the tabs everywhere.
    static QStringList tabLabels();

    QTabWidget* mainTabView() const { return tabView_; }

private:
    QTabWidget* tabView_ = nullptr; // owned by the window through Qt's parent chain
};
