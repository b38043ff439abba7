#pragma once

#include "ui/OrderTabPage.h"

class QPlainTextEdit;

// The etc tab: any files with a memo, no product choice. Tags: 501 folder choice, 502 Send,
// 503 cancel.
class EtcTabPage : public OrderTabPage {
    Q_OBJECT
public:
    explicit EtcTabPage(AppCtrl& ctrl, QWidget* parent = nullptr);

    void uiInit() override { etcUIInit(); }
    void viewRefresh() override { etcViewRefresh(); }
    void etcUIInit();
    void etcViewRefresh();
    void etcAction(int tag);
    // The memo is emptied after the order was packed.
    void orderMemoClear();

    QLineEdit* etcImageFolderPath() const { return imageFolderPath_; }
    QPlainTextEdit* etcFileInfoTextView() const { return fileInfoTextView_; }
    QPlainTextEdit* etcOrderMemo() const { return orderMemo_; }

private:
    QLineEdit* imageFolderPath_ = nullptr;
    QPushButton* imageFolderSelectButton_ = nullptr;
    QPlainTextEdit* fileInfoTextView_ = nullptr;
    QPlainTextEdit* orderMemo_ = nullptr;
    QPushButton* kineloButton_ = nullptr;
};
