#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class ProductData;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// What the order sheets need of the application. Implemented by the application controller.
class OrderSheetHost {
public:
    virtual ~OrderSheetHost() = default;
    virtual bool isCharInputProduct() const = 0; // the album choices need a name and date
    virtual bool is3465LayoutEditRequest() const = 0;
    virtual ProductData* productData() const = 0; // album catalogue sections; may be null
    virtual int poolCount() const = 0;
    virtual QString poolListText() const = 0; // pooled file names joined with LF
    virtual QString poolFolderPath() const = 0;
    virtual void menuUseOff() = 0;
    virtual void menuUseOn() = 0;
    virtual void dragDropOff() = 0;
    virtual void dragDropOn() = 0;
    virtual void executeJobThread() = 0; // the last sheet was confirmed: start the job
    virtual void comViewRefresh() = 0;
};

// The chain of sheets between a tab's Send and the job: customer check, order information (or
// the wedding group's sheet), name and date, order action, save panel; and the pool send sheet.
// Every sheet is a window-modal dialog over the main window; the next one opens when the previous
// one has finished. Drops stay off for the whole chain, so the files cannot change between the
// report the sheets prepare and the archive the job packs.
class OrderSheets : public QObject {
    Q_OBJECT
public:
    OrderSheets(QWidget* window, OrderSheetHost& host, QObject* parent = nullptr);
    ~OrderSheets() override;

    // The tabs' Send after the size check: preselects send now, removes the name-and-date record
    // and opens the first sheet.
    void startOrderChain();
    void showOrderCustomerCheckWindowSheet();
    void showOrderInfo3465WindowSheet();
    void showCharacterInputWindowSheet();
    void showOrderInfoWindowSheet();
    void showOrderAcWindowSheet();
    void orderSaveFolderSelectSheet();
    // From the menu and from the quit question.
    void poolOrderSendWindowSheet();
    // The pool send sheet follows the pool: its list and its send button. Also to be called when
    // the pool changes.
    void applicationWillBecomeActive();

    // The sheet open now, or null.
    QDialog* currentSheet() const { return current_.data(); }

Q_SIGNALS:
    // The chain ended: with the job started, or cancelled (drops are on again then).
    void orderChainEnded(bool jobStarted);
    void poolSendEnded(bool jobStarted);

private:
    struct Sheet;
    Sheet makeSheet(const QString& objectName, const QString& title, const QString& okTitle);
    void present(QDialog* dialog, std::function<void(bool accepted)> finished);
    void openAfterCustomerCheck();
    void chainCancelled();
    void startJob();

    QWidget* window_;
    OrderSheetHost& host_;
    QPointer<QDialog> current_;
    QPointer<QDialog> poolSheet_; // the open pool send sheet, which follows the pool
};
