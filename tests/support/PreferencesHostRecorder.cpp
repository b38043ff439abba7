#include "PreferencesHostRecorder.h"

#include "product/ProductData.h"

PreferencesHostRecorder::PreferencesHostRecorder() = default;
PreferencesHostRecorder::~PreferencesHostRecorder() = default;

void PreferencesHostRecorder::createProductData(const QString& updateInfo) {
    product = std::make_unique<ProductData>(updateInfo);
}

void PreferencesHostRecorder::setPrefWindowVisible(bool visible) {
    prefWindowVisible = visible;
    calls.append(visible ? QStringLiteral("visible on") : QStringLiteral("visible off"));
}

void PreferencesHostRecorder::comViewRefresh() {
    calls.append(QStringLiteral("refresh"));
}

void PreferencesHostRecorder::reloadDataAndUIInit() {
    ++reloadCount;
    if (product && product->reloadData()) {
        ++reloadReplacedCount;
    }
    calls.append(QStringLiteral("reload"));
}

void PreferencesHostRecorder::setWaitPanelText(const QString& text) {
    calls.append(QStringLiteral("wait:") + text);
}

void PreferencesHostRecorder::terminateApplication() {
    terminateAsked = true;
    calls.append(QStringLiteral("terminate"));
}

bool PreferencesHostRecorder::openWithDesktop(const QString& path) {
    calls.append(QStringLiteral("open:") + path);
    return openAnswer;
}
