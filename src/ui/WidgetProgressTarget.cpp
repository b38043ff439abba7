#include "ui/WidgetProgressTarget.h"

#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>
#include <cmath>

WidgetProgressTarget::WidgetProgressTarget(QProgressBar* bar, QLineEdit* msgField, QObject* parent)
    : QObject(parent), bar_(bar), msgField_(msgField) {}

void WidgetProgressTarget::onGuiThread(std::function<void()> fn) {
    // AutoConnection: direct on the main thread, queued (never waiting) from the job thread.
    QMetaObject::invokeMethod(this, std::move(fn), Qt::AutoConnection);
}

int WidgetProgressTarget::scaled(double value) const {
    const double span = max_ - min_;
    if (!(span > 0.0) || !std::isfinite(value)) {
        return 0;
    }
    const double fraction = std::clamp((value - min_) / span, 0.0, 1.0);
    return static_cast<int>(std::lround(fraction * kScale));
}

void WidgetProgressTarget::setJobMsg(const QString& msg) {
    onGuiThread([this, msg] {
        if (msgField_) {
            msgField_->setText(msg);
        }
    });
}

void WidgetProgressTarget::jobMsgClear() {
    setJobMsg(QString());
}

void WidgetProgressTarget::indicatorIndeterminate() {
    onGuiThread([this] {
        if (bar_) {
            bar_->setRange(0, 0); // Qt's busy animation
        }
    });
}

void WidgetProgressTarget::indicatorClear() {
    indicatorProgressWitMin(0.0, 1.0);
}

void WidgetProgressTarget::indicatorProgressWitMin(double min, double max) {
    onGuiThread([this, min, max] {
        min_ = min;
        max_ = max;
        if (bar_) {
            bar_->setRange(0, kScale);
            bar_->setValue(0);
        }
    });
}

void WidgetProgressTarget::indicatorUpdate(double value) {
    onGuiThread([this, value] {
        if (bar_) {
            bar_->setValue(scaled(value));
        }
    });
}
