#pragma once

#include "job/ProgressTarget.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QLineEdit;
class QProgressBar;

// A tab's progress bar and message field as the job sees them. Calls from the job thread are
// queued to the main thread and return at once; calls on the main thread act directly. Sizes in
// bytes exceed the bar's int range, so the bar runs on a fixed scale of kScale steps.
class WidgetProgressTarget : public QObject, public ProgressTarget {
    Q_OBJECT
public:
    static constexpr int kScale = 10000;

    WidgetProgressTarget(QProgressBar* bar, QLineEdit* msgField, QObject* parent = nullptr);

    void setJobMsg(const QString& msg) override;
    void jobMsgClear() override;
    void indicatorIndeterminate() override;
    void indicatorClear() override;
    void indicatorProgressWitMin(double min, double max) override;
    void indicatorUpdate(double value) override;

private:
    void onGuiThread(std::function<void()> fn);
    int scaled(double value) const;

    QPointer<QProgressBar> bar_;
    QPointer<QLineEdit> msgField_;
    // Only touched on the main thread, in queue order.
    double min_ = 0.0;
    double max_ = 1.0;
};
