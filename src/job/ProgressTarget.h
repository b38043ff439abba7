#pragma once

#include <QString>

// Where a running job shows its progress: the message field and the progress bar of the tab that
// started it. The job thread calls these; the GUI's implementation forwards them to the widgets
// through queued signals, so a call never blocks the job and never touches a widget itself.
class ProgressTarget {
public:
    virtual ~ProgressTarget() = default;

    virtual void setJobMsg(const QString& msg) = 0;
    virtual void jobMsgClear() = 0;
    // Animation on, indeterminate, started.
    virtual void indicatorIndeterminate() = 0;
    // Minimum 0, maximum 1, value 0, determinate.
    virtual void indicatorClear() = 0;
    // Cleared, then minimum and maximum as given, value = minimum, determinate.
    virtual void indicatorProgressWitMin(double min, double max) = 0;
    virtual void indicatorUpdate(double value) = 0;
};
