#pragma once

#include "util/OrderTab.h"

#include <QString>

// What the controller's start-up and menus ask of the main window. The window implements it; the
// controller stays free of widgets. Steps whose windows come with later work answer honestly
// (a log line) until then.
class AppWindowHooks {
public:
    virtual ~AppWindowHooks() = default;

    // The wait panel centred over the window, an indeterminate animated bar and the text.
    virtual void showWaitPanel(const QString& text) = 0;
    virtual void closeWaitPanel() = 0;
    // Kinelo buttons: the print, school and etc buttons are always hidden; the album button too
    // when kineloOff.
    virtual void setupKineloButtons(bool kineloOff) = 0;
    // The set-up of one tab's controls (its UI init).
    virtual void tabUIInit(OrderTab tab) = 0;
    // The custom-mode authentication window; false when it cannot be shown in this build.
    virtual bool openCustomAuthWindow() = 0;
    // The preferences window; false when it cannot be shown in this build.
    virtual bool openPreferencesWindow() = 0;
    // The photo-studio name pop-up of the preferences.
    virtual void buildPhotoStudioNamePopup() = 0;
    // The version-up check with the update information; true when the installer of a new
    // version was started and the run is ending (start-up then stops).
    virtual bool applicationUpdateCheck(const QString& updateInfo) {
        Q_UNUSED(updateInfo);
        return false;
    }
    // Window title and the version strip.
    virtual void setTitles(const QString& windowTitle, const QString& versionText) = 0;
    virtual void selectTab(OrderTab tab) = 0;
    virtual void removeTab(OrderTab tab) = 0;
    virtual void hideAlbumDropMessage() = 0;
    // The four Kinelo path fields accept drops.
    virtual void enableKineloPathDrops() = 0;
    // The album sets' start-up checks and their pop-up, right after the album tab's set-up.
    virtual void albumSetStartUp() {}
    // The window parts left for after the window came up, built now: the set-up is about to end
    // and nothing of it may come after.
    virtual void completeWindow() {}
};
