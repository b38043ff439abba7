#pragma once

#include <QString>

class PreferencesHost;

// The version-up at start: compares the program's version with the one the lab announces
// ("APP_VER_MAC" of the update information), fetches the new version's archive from the order
// FTP server into the work area, unpacks it, starts its installer and ends the run.
class VersionUp {
public:
    VersionUp() = delete;

    enum class Outcome {
        NoVersionInfo,    // the version block is missing or shorter than 5 characters
        WorkAreaUnusable, // the work area could not be checked or created
        UpToDate,         // not newer (or the program's own version is unknown)
        DownloadFailed,   // download or unpack failed; the old version goes on
        InstallerFailed,  // the installer could not be started; the old version goes on
        Installing,       // the installer runs and the host was asked to terminate
    };

    // The whole check (applicationUpdateCheck:). Alerts go through the alert gateway.
    static Outcome applicationUpdateCheck(const QString& updateInfo, PreferencesHost& host);

    // The announced version against the program's own, component by component (2.10 is newer
    // than 2.9, 2.1.9 newer than 2.1.5); logs "ThisVer=... LastVer=...". False when the
    // program's own version is unknown.
    static bool isApplicationNewVersion(const QString& version);
    // As isApplicationNewVersion with the program's version given.
    static bool isNewVersion(const QString& thisVersion, const QString& version);

    // "Halvix2_v%@.zip" of the version with every "." removed (2.1.5 gives Halvix2_v215.zip).
    static QString newAppFileName(const QString& version);
    // "<work area>/Halvix2_v<digits>" and "<work area>/Halvix2_v<digits>/Halvix2_Install.mpkg".
    static QString unpackFolderPath(const QString& version);
    static QString installerPath(const QString& version);

    // Starts the installer: "/bin/sh <installer>" detached, in the installer's folder. True when
    // it started.
    static bool startInstaller(const QString& installerPath);
};
