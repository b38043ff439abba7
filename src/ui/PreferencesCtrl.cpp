#include "ui/PreferencesCtrl.h"

#include "app/PassCheck.h"
#include "app/PreferencesHost.h"
#include "app/UserPref.h"
#include "app/VersionUp.h"
#include "service/CustomAuth.h"
#include "settings/UserDef.h"
#include "ui/PassCheckWindow.h"
#include "ui/PhotoStudioNamePop.h"
#include "ui/PreferencesWindow.h"
#include "util/Tool.h"

PreferencesCtrl::PreferencesCtrl(QWidget* mainWindow, PreferencesHost& host_)
    : QObject(mainWindow), window(mainWindow), host(host_) {
    studioPop = new PhotoStudioNamePop(mainWindow);
    connect(studioPop, &PhotoStudioNamePop::photoStudioChosen, this,
            [this](const QString& title) { photoStudioNamePopAction(title); });
}

PreferencesCtrl::~PreferencesCtrl() = default;

PassCheckWindow* PreferencesCtrl::passCheckWindow() {
    // Built when first needed: only a custom-catalogue customer ever sees it.
    if (!passWindow) {
        passWindow = new PassCheckWindow(window);
        connect(passWindow, &PassCheckWindow::passCheckRequested, this,
                [this] { passCheckWindowClose(); });
        // Without the password the customer works with the standard catalogues.
        connect(passWindow, &PassCheckWindow::cancelled, this, [this] {
            host.reloadDataAndUIInit();
            host.comViewRefresh();
        });
    }
    return passWindow;
}

PreferencesWindow* PreferencesCtrl::preferencesWindow() {
    // Built when first opened: a studio whose customer is set never opens it at start, and it is
    // the costliest window to build.
    if (!prefWindow) {
        prefWindow = new PreferencesWindow(host, window);
        connect(prefWindow, &PreferencesWindow::customerChanged, this,
                [this] { customerChanged(); });
        connect(prefWindow, &PreferencesWindow::customerListChanged, this, [this] {
            makePhotoStudioNamePop();
            selectPhotoStudioNamePop();
        });
    }
    return prefWindow;
}

void PreferencesCtrl::preferencesAction() {
    preferencesWindow()->preferencesAction();
}

bool PreferencesCtrl::prefWindowVisible() const {
    return prefWindow && prefWindow->isPrefWindowVisible();
}

void PreferencesCtrl::makePhotoStudioNamePop() {
    studioPop->makePhotoStudioNamePop();
}

void PreferencesCtrl::selectPhotoStudioNamePop() {
    studioPop->selectPhotoStudioNamePop();
}

void PreferencesCtrl::photoStudioNamePopAction(const QString& title) {
    UserPref::choosePhotoStudio(title);
    customerChanged();
}

void PreferencesCtrl::customerChanged() {
    makePhotoStudioNamePop();
    selectPhotoStudioNamePop();
    if (CustomAuth::isNeedToAuth()) {
        passCheckWindowOpen();
        return;
    }
    host.reloadDataAndUIInit();
    host.comViewRefresh();
}

void PreferencesCtrl::passCheckWindowOpen() {
    passCheckWindow()->openForCode(UserDef::customerCode().value_or(QString()));
}

void PreferencesCtrl::passCheckWindowClose() {
    const QString code = UserDef::customerCode().value_or(QString());
    PassCheckWindow* pass = passCheckWindow();
    if (PassCheck::checkPassword(pass->password(), code)) {
        Tool::alertWithMsg(PassCheck::successMessage(), PassCheck::successInformation(code), pass);
        CustomAuth::customDataLoadForCode(code);
        host.reloadDataAndUIInit();
        host.comViewRefresh();
        pass->closeWindow();
        return;
    }
    Tool::beep(QStringLiteral("Beep"));
    if (!Tool::alertOkNgWithMsg(PassCheck::failureMessage(), PassCheck::failureInformation(code))) {
        pass->reject();
    }
}

void PreferencesCtrl::startUpPassCheck() {
    if (!UserDef::isCustomCustomer()) {
        return;
    }
    if (CustomAuth::isNeedToAuth()) {
        passCheckWindowOpen();
    }
    host.reloadDataAndUIInit();
}

bool PreferencesCtrl::applicationUpdateCheck(const QString& updateInfo) {
    return VersionUp::applicationUpdateCheck(updateInfo, host) == VersionUp::Outcome::Installing;
}
