#pragma once

#include "job/NotificationCenter.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>

class JobInfo;

// Base of the three order stages (ResizeJob, ZipJob, SendJob): the error and cancel flags, the
// progress operations on the record's tab, and the record's paths as the stages need them.
//
// Common skeleton of a stage's start(): StopWatch; log the start line; errClear();
// addCancelObserver(); progressViewInit(); work item by item while !isErr() && !isCancel(),
// setErr(!itemResult); JobTime; on cancel/error ErrorInfo, log and alert; post the usage report
// ("-NG" on failure); progressViewClear(); removeCancelObserver(); return isSucsess().
class Job {
public:
    explicit Job(JobInfo& info); // initWithJobInfo: flags cleared, _allFileSize 0
    virtual ~Job();              // removes the cancel observer when still subscribed
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // The stage; true when it succeeded.
    virtual bool start() = 0;

    // --- Flags ---
    // Clears the error flag and an earlier decided success (a new item starts undecided).
    void errClear();
    void setErr(bool err);
    bool isErr() const;
    bool isCancel() const;
    bool isFailure() const; // isErr() || isCancel()
    bool isSucsess() const; // !isFailure()
    // The stage (or the current item) has reached its success for good: the archive is where it
    // belongs, the lab confirmed it. From here on a cancel or error that arrives late changes
    // nothing: isCancel() and isErr() answer false, so the log, alert, usage report, return value
    // and the archive's fate all follow the one outcome.
    void decideSucsess();
    bool isSucsessDecided() const { return _sucsessDecided; }

    // --- Cancel observer on "JobCancel" ---
    void addCancelObserver();
    void removeCancelObserver();
    void jobCancel(); // the handler: sets the cancel flag (from any thread)

    // --- Progress on the record's tab (a given text is shown; none keeps the message) ---
    void progressViewInitWithMsg(const std::optional<QString>& msg); // indeterminate
    void progressViewInit();                                         // message ""
    void progressViewInitMsgKeep();
    void progressViewSetupWithMax(double max, const std::optional<QString>& msg = QString());
    void progressViewSetupMsgKeepWithMax(double max);
    void progressViewUpdateWithValue(double value, const std::optional<QString>& msg);
    void progressViewUpdateMsgKeepWithValue(double value);
    void progressViewUpdateWithMsg(const QString& msg);
    void progressViewClear();        // message emptied, bar 0 of 1
    void progressViewClearKeepMsg(); // bar 0 of 1

    // --- The record, as the stages use it ---
    JobInfo& info() const { return _info; }
    QString selectInfo() const;
    QStringList jobFiles() const; // the selected files
    bool isSelectFolder() const;  // the selection text is an existing folder
    QString resizeFolderPath() const;
    // Recreates the resize folder; none (and the error flag set) when that fails.
    std::optional<QString> createAndResizeFolderPath();
    QString zipFilePath() const;
    QString zipPoolFilePath() const;
    // Creates the initial archive holding the order report; none (and the error flag set) when
    // that fails.
    std::optional<QString> createAndZipFilePath();
    qint64 resizePix() const;
    bool createPrintReportFile(const QString& folder) const;
    bool isZipAddFullPath() const; // album and etc tabs store paths, not bare names
    // In resize mode every file under the resize folder, otherwise the selected files.
    QStringList zipJobFiles() const;
    // Whether the order's files go into the archive with a password: yes up to 4,147,000,000
    // bytes in all (computes _allFileSize once).
    bool isPassZip();
    void addSelectWorkFile(const QString& path);
    void deleteResizeFolder() {} // the stages delete the resize folder themselves

protected:
    JobInfo& _info;
    std::atomic<bool> _cancel{false}; // set by the main thread's notification, read by the job
    bool _err = false;
    bool _sucsessDecided = false;
    double _allFileSize = 0; // bytes; 0 = not computed yet

private:
    NotificationCenter::Token cancelToken_ = 0;
};
