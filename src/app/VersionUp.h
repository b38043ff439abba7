#pragma once

#include <QString>
#include <optional>

class PreferencesHost;

// The version-up at start: compares the program's version with the one the lab announces
// ("APP_VER_MAC" of the update information), tells the studio about a newer one and fetches its
// archive from the order FTP server into the work area, where it is unpacked.
//
// Nothing downloaded is ever run: the archive comes by plain FTP after a plain HTTP page, so
// anyone on the way could replace it. A Debian package in it is offered to the desktop's package
// installer after its size and SHA-256 are shown, and only when the studio agrees; a program
// installed from a package is updated by the package manager, and the studio is told so.
class VersionUp {
public:
    VersionUp() = delete;

    enum class Outcome {
        NoVersionInfo,    // the version block is missing or shorter than 5 characters
        WorkAreaUnusable, // the work area could not be checked or created
        UpToDate,         // not newer (or the program's own version is unknown)
        DownloadFailed,   // download or unpack failed; the old version goes on
        InstallerFailed,  // the package could not be handed to the desktop; the old version goes on
        Notified,         // the studio was told; nothing to open, or it chose not to open it
        Installing,       // the package installer was opened and the host was asked to terminate
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
    // "<work area>/Halvix2_v<digits>" and "<work area>/Halvix2_v<digits>/Halvix2_Install.mpkg"
    // (the lab's installer script, kept but never run).
    static QString unpackFolderPath(const QString& version);
    static QString installerPath(const QString& version);

    // The Debian package in an unpacked folder (the first "*.deb" by name), none without one.
    static std::optional<QString> debianPackageIn(const QString& folder);
    // The Debian package that installed a program file (dpkg knows it), none for a program
    // elsewhere (a build folder, a copy of its own).
    static std::optional<QString> owningPackage(const QString& programPath);
    // The same for the running program.
    static std::optional<QString> runningProgramPackage();
};
