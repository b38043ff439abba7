#pragma once

#include "util/OrderTab.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class AppCtrl;
class DragDropScrollView;
class PreflightTextMarks;
class ProductPopUpButton;
class ProductPopUpComboBox;
class QBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class WidgetProgressTarget;

// The skeleton every order tab shares: the drop area on top, the tab's own form in the middle,
// and at the bottom, always in the same place, the message field over the row of file count,
// progress bar, cancel and Send. A tab's own work fills formLayout() and viewRefresh().
class OrderTabPage : public QWidget {
    Q_OBJECT
public:
    // The controls are named after the tab ("etcDragDropView", "etcJobMsg", ...); sendName is the
    // Send button's name ("etcSendButton", "resizeResizeAndSendButton", ...).
    OrderTabPage(OrderTab tab, AppCtrl& ctrl, const QString& sendName, QWidget* parent = nullptr);

    OrderTab tab() const { return tab_; }
    static QString prefix(OrderTab tab); // "print", "school", "album", "resize", "etc"

    DragDropScrollView* dragDropView() const { return dragDropView_; }
    QLabel* dragDropMsg() const;
    QLabel* imageFileNum() const { return imageFileNum_; }
    // "印刷に向かない画像：N枚／確認をおすすめ：M枚" while some file of the tab needs a look.
    QLabel* preflightSummary() const { return preflightSummary_; }
    QLineEdit* jobMsg() const { return jobMsg_; }
    QProgressBar* jobIndicator() const { return jobIndicator_; }
    QPushButton* sendButton() const { return sendButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* addFilesButton() const { return addFilesButton_; } // print and school
    WidgetProgressTarget* progressTarget() const { return progress_; }

    // The keyboard's way to what a drop does (the ファイル menu's item and Ctrl+O): the folder
    // chooser on a tab that takes one folder, the file chooser on the print and school tabs; the
    // choice goes the drop's way. Nothing while the tab's own button for it is off.
    void addFilesAction();

    // The tabs that take one selection (album, resize, etc) share one caption column: 選択 and
    // the fields after it start at one x on each of them, whatever captions each tab has.
    static void shareCaptionColumn(const QList<OrderTabPage*>& pages);

    // The tab's UI init and view refresh. The plain page has no order form of its own yet: its
    // Send stays off and says why.
    virtual void uiInit();
    virtual void viewRefresh();

protected:
    QBoxLayout* formLayout() const { return formLayout_; }
    AppCtrl& ctrl() const { return ctrl_; }
    // The drop hint is hidden while the count field starts with a number above 0.
    void updateDropHint();
    // The tabs that take one selection (album, resize, etc) show it alike: the read-only select
    // info with its full text as tooltip, the folder button and the file names, named after the
    // tab.
    void makeSelectionControls(QLineEdit*& folderPath, QPushButton*& folderButton,
                               QPlainTextEdit*& fileInfo);
    // The file names of the selection in the file info view, with the photo check's marks and
    // words; nothing happens when they are the ones shown.
    void showFileNames(const QString& names);
    // The one layout of the tabs that take one selection (album, resize, etc): the chosen files
    // listed inside the drop area, where its hint stood, so the list has the room the window
    // has; under it one form: 選択 (folder row), the tab's own rows (own, may be null) and メモ
    // last. The drop area takes the height the form leaves.
    void layOutSelection(QLineEdit* folderPath, QPushButton* folderButton, QPlainTextEdit* fileInfo,
                         QLayout* own, QPlainTextEdit* memo);
    // The captions of the form's left column (選択, メモ and a tab's own) share one width, right
    // aligned, so they and the fields after them line up even where a tab nests a layout of its
    // own; the width is that of the widest caption the column may show, hidden ones included,
    // so the fields do not move when a product shows other rows. A tab whose captions change
    // text aligns them again.
    void addCaptions(const QList<QLabel*>& captions);
    void alignCaptions();
    // The "ファイルを追加…" button of the tabs whose list takes files one by one.
    QPushButton* makeAddFilesButton();
    // The file chooser; its choice is taken as a drop of those files.
    void chooseFiles();
    // A product pop-up of the tab shows the list its form holds: items, records and selection.
    static void presentPopUp(ProductPopUpComboBox* box, const ProductPopUpButton& list);
    // Send's tooltip gives the reason it is off; empty while it is on.
    void setSendEnabled(bool enabled, const QString& reasonWhenOff);
    // Where every tab's refresh starts: closed (preferences open or no customer information),
    // a job running (only its cancel works), the form usable, or menus off while a sheet is open.
    // For closed and running, reason says why Send is off.
    enum class FormState { Closed, JobRunning, Usable, MenusOff };
    FormState formState(QString& reason) const;

private:
    OrderTab tab_;
    AppCtrl& ctrl_;
    DragDropScrollView* dragDropView_ = nullptr;
    QBoxLayout* formLayout_ = nullptr;
    QLabel* imageFileNum_ = nullptr;
    QLabel* preflightSummary_ = nullptr;
    QLineEdit* jobMsg_ = nullptr;
    QProgressBar* jobIndicator_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* sendButton_ = nullptr;
    QPushButton* folderButton_ = nullptr;     // tabs that take one folder
    QPushButton* addFilesButton_ = nullptr;   // tabs that take files one by one
    QPlainTextEdit* fileInfo_ = nullptr;      // shown in the drop area once files are chosen
    PreflightTextMarks* fileMarks_ = nullptr; // on fileInfo_
    // The form's left column, shared with the tabs of shareCaptionColumn.
    std::shared_ptr<QList<QPointer<QLabel>>> captions_;
    WidgetProgressTarget* progress_ = nullptr;
};
