#pragma once

#include <QString>

class QWidget;

// What the download window, the order history window, the connection test and the support
// bundle need of the application shell. The shell's controller implements it.
class ServiceWindowHost {
public:
    virtual ~ServiceWindowHost() = default;
    virtual QWidget* mainWindow() const = 0; // parent of the service windows (may be null)
    virtual void menuUseOffAndViewRefresh() = 0;
    virtual void menuUseOnAndViewRefresh() = 0;
    virtual bool isJobExecuting() const = 0;
    // Send this archive of the order pool now (the shell runs the send stage for it).
    virtual void sendPooledOrder(const QString& zipPath) = 0;
    // Send this kept archive again as a new order (the user has agreed); false when no job could
    // start.
    virtual bool resendKeptOrder(const QString& keptPath) = 0;
};
