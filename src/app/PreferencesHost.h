#pragma once

#include <QString>

// What the preferences window, the custom-mode password window and the version-up need from the
// application controller. AppCtrl implements it; tests implement it with a recording host.
class PreferencesHost {
public:
    virtual ~PreferencesHost() = default;

    // The preferences window opened or closed (the controller's _prefWindowVisible; the common
    // view refresh and the menus read it).
    virtual void setPrefWindowVisible(bool visible) = 0;
    // The common view refresh of the main window.
    virtual void comViewRefresh() = 0;
    // Reload the catalogues for the current customer; when they changed, rebuild the album,
    // print and school tabs.
    virtual void reloadDataAndUIInit() = 0;
    // The text of the start-up wait window.
    virtual void setWaitPanelText(const QString& text) = 0;
    // End the run through the normal termination (clean-exit breadcrumb, tab label, "Quit"
    // report), without the pooled-order question. The version-up calls it once the studio has
    // opened the new version's package, so the installer can replace the program.
    virtual void terminateApplication() = 0;
    // Hand a file to the desktop's default opener (a Debian package: the desktop's package
    // installer, which asks before it installs). True when the desktop took it.
    virtual bool openWithDesktop(const QString& path) = 0;
};
