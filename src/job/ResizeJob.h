#pragma once

#include "job/Job.h"

#include <QString>

// The resize stage: a scaled copy of every selected JPEG file and a plain copy of every other
// file in the order's resize folder, which the zip stage then packs instead of the selection.
class ResizeJob : public Job {
public:
    explicit ResizeJob(JobInfo& info);

    bool start() override;

    // Where filePath goes inside resizeFolderPath: the file's name for files chosen one by one,
    // the path below the chosen folder's parent for a chosen folder (the folder's own tree is
    // kept). Missing folders along the way are created inside the work area.
    QString resizePathWithResizeFolderPath(const QString& resizeFolderPath,
                                           const QString& filePath);
    // Scales one JPEG to the order's short-side target; a result under 1000 bytes fails.
    bool oneResizeWithPath(const QString& path, const QString& resizePath);
    // Copies one file; true when the whole file arrived.
    bool oneCopyWithPath(const QString& path, const QString& toPath);
};
