#pragma once

#include "ui/ServiceWindowHost.h"

#include <QStringList>

// The application shell as the service windows see it, recording what they ask of it.
class ServiceHostRecorder : public ServiceWindowHost {
public:
    QWidget* mainWindow() const override { return window; }
    void menuUseOffAndViewRefresh() override { ++menuOffCount; }
    void menuUseOnAndViewRefresh() override { ++menuOnCount; }
    bool isJobExecuting() const override { return jobExecuting; }
    void sendPooledOrder(const QString& zipPath) override { sentPoolOrders.append(zipPath); }
    bool resendKeptOrder(const QString& keptPath) override {
        resentOrders.append(keptPath);
        return true;
    }

    QWidget* window = nullptr;
    int menuOffCount = 0;
    int menuOnCount = 0;
    bool jobExecuting = false;
    QStringList sentPoolOrders;
    QStringList resentOrders;
};
