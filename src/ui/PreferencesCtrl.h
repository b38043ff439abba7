#pragma once

#include "ui/PassCheckWindow.h"
#include "ui/PhotoStudioNamePop.h"
#include "ui/PreferencesWindow.h"

#include <QObject>
#include <QPointer>

class PreferencesHost;
class QWidget;

// The controller's preferences, password-check and version-up operations for the widget half of
// the application. It owns the preferences window (built when first opened), the password window
// and the studio pop-up
// (parented to the main window; the main window places the pop-up in its layout) and reaches the
// rest of the application through PreferencesHost.
class PreferencesCtrl : public QObject {
    Q_OBJECT
public:
    PreferencesCtrl(QWidget* mainWindow, PreferencesHost& host);
    ~PreferencesCtrl() override;

    // Application menu 環境設定… and the start-up when the customer information is incomplete.
    void preferencesAction();
    bool prefWindowVisible() const;

    // Built on first use.
    PreferencesWindow* preferencesWindow();
    PassCheckWindow* passCheckWindow();
    PhotoStudioNamePop* photoStudioNamePop() const { return studioPop; }

    // The studio pop-up: rebuild, select the stored studio, and the user's choice.
    void makePhotoStudioNamePop();
    void selectPhotoStudioNamePop();
    void photoStudioNamePopAction(const QString& title);

    // After the customer changed (preferences saved, studio chosen): the password window when
    // the new customer needs it, else the catalogues are reloaded and the main window refreshed.
    void customerChanged();

    // The password window: open (password emptied) and its confirm button.
    void passCheckWindowOpen();
    void passCheckWindowClose();
    // Start-up: for a custom customer, the password window when needed, then the catalogue
    // reload in either case.
    void startUpPassCheck();

    // Start-up version-up check with the update information; true when the installer was
    // started and the host was asked to terminate.
    bool applicationUpdateCheck(const QString& updateInfo);

private:
    QWidget* window;
    PreferencesHost& host;
    QPointer<PreferencesWindow> prefWindow;
    QPointer<PassCheckWindow> passWindow;
    QPointer<PhotoStudioNamePop> studioPop;
};
