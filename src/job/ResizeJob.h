#pragma once

#include "job/Job.h"

#include <QString>
#include <QStringList>

class ProcessStopper;

// The resize stage: a scaled copy of every selected JPEG file and a plain copy of every other
// file in the order's resize folder, which the zip stage then packs instead of the selection.
//
// Up to maxProcesses() files are worked on at once, each by its own image tool. The outcome does
// not depend on which finishes first: the progress counts finished files, the first failure
// stops new work while the running files finish, and the failure reported is the first in
// selection order. A cancel stops every running image tool at once.
class ResizeJob : public Job {
public:
    explicit ResizeJob(JobInfo& info);

    bool start() override;

    // How many files are worked on at once: one per processor core unless set; at least 1.
    int maxProcesses() const;
    void setMaxProcesses(int count);

    // Where filePath goes inside resizeFolderPath: the file's name for files chosen one by one,
    // the path below the chosen folder's parent for a chosen folder (the folder's own tree is
    // kept). Missing folders along the way are created inside the work area.
    QString resizePathWithResizeFolderPath(const QString& resizeFolderPath,
                                           const QString& filePath);
    // Scales one JPEG to the order's short-side target; a result under 1000 bytes fails.
    bool oneResizeWithPath(const QString& path, const QString& resizePath);
    // Copies one file; true when the whole file arrived.
    bool oneCopyWithPath(const QString& path, const QString& toPath);

    // What working on one file gave: its result and the log lines it asks for, written by the
    // job thread when it takes the result.
    struct ItemOutcome {
        bool ok = false;
        bool stopped = false; // ended by a cancel: neither counted nor logged
        QStringList logLines;
    };

private:
    // One file on a worker thread; touches nothing of the stage but its arguments.
    static ItemOutcome workOneFile(const QString& path, const QString& resizePath, qint64 resizePix,
                                   bool jpeg, const ProcessStopper* stopper);
    static ItemOutcome resizeOneFile(const QString& path, const QString& resizePath,
                                     qint64 resizePix, const ProcessStopper* stopper);
    // Every file of the order; the index of the first failing file in selection order, or -1.
    qsizetype runFiles(const QString& resizeFolder, const QStringList& files, qint64& finished);

    int maxProcesses_ = 0; // 0: one per core
};
