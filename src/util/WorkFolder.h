#pragma once

#include "util/InstanceLock.h"

#include <QString>
#include <QStringList>

// The fixed working folders in the user's home folder. The work area's root is spelled here only;
// the guarded operations inside it are in util/MiravellPath.h. The work area holds the customers'
// photos and orders, so what is made here is the user's alone (folders 0700), and one program at a
// time works in it: the one that holds its lock file.
class WorkFolder {
public:
    WorkFolder() = delete;

    // The environment variable that puts the work area elsewhere (an absolute path), for a home
    // folder where it cannot work: one on a network disk that takes no locks.
    static constexpr const char* kWorkAreaVariable = "HALVIX_WORK_AREA";

    static QString workFolderPath();         // $HALVIX_WORK_AREA, else ~/MVL_WorkArea
    static QString logFolderPath();          // ~/MVL_WorkArea/Halvix2Log
    static QString orderZipPoolFolderPath(); // ~/MVL_WorkArea/OrderZipPool
    static QString lockFilePath();           // ~/MVL_WorkArea/.halvix2.lock

    // The work area, its log folder and its order pool exist as folders (created when missing),
    // and no other program works in it: false while another process holds the work area's lock,
    // and, once this process has taken the lock, whenever it no longer holds it (a work area
    // removed and made again meanwhile is taken again when it is free).
    static bool checkWorkFolder();

    // Takes the work area's lock for this process (making the work area first when missing)
    // until unlockWorkArea or the process ends.
    static InstanceLock::Result lockWorkArea();
    static void unlockWorkArea();
    static bool holdsWorkAreaLock();
    // What the lock file named when this process took it over from one that died, if anything.
    static std::optional<LockHolder> previousWorkAreaHolder();
    // Another program's process holding the work area's lock, none when it is free or ours.
    static std::optional<LockHolder> otherWorkAreaHolder();
    // The errno with which the work area's file system refused this process's lock (a network
    // disk without its lock service), none when it took it or refused for another reason.
    static std::optional<int> workAreaLockUnsupported();
    // For the studio: why a folder whose file system takes no locks cannot be used, and how to
    // name another. label: "作業フォルダ" or "設定フォルダ"; variable: the environment variable
    // that moves it.
    static QString lockUnsupportedText(const QString& label, const QString& folder, int error,
                                       const QString& variable);

    // Takes every permission of group and others from the work area and everything in it
    // (symbolic links are left as they are); the paths that had any.
    static QStringList makePrivate();
    // The same for any folder of ours (the settings folder).
    static QStringList makePrivateTree(const QString& root);
};
