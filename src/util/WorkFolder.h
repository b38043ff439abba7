#pragma once

#include <QString>

// The fixed working folders in the user's home folder. The work area's root is spelled here only;
// the guarded operations inside it are in util/MiravellPath.h.
class WorkFolder {
public:
    WorkFolder() = delete;

    static QString workFolderPath();         // ~/MVL_WorkArea
    static QString logFolderPath();          // ~/MVL_WorkArea/Halvix2Log
    static QString orderZipPoolFolderPath(); // ~/MVL_WorkArea/OrderZipPool
    // The work area, its log folder and its order pool exist as folders (created when missing).
    static bool checkWorkFolder();
};
