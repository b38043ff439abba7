#pragma once

#include "app/PreferencesHost.h"

#include <QString>
#include <QStringList>
#include <memory>

class ProductData;

// Stands in for the application controller behind the preferences, password and version-up
// windows: records what was asked of it, in order ("visible on", "visible off", "refresh",
// "reload", "wait:<text>", "terminate", "open:<path>"), and keeps real catalogues when given update
// information, so a reload really switches them.
class PreferencesHostRecorder : public PreferencesHost {
public:
    PreferencesHostRecorder();
    ~PreferencesHostRecorder() override;
    PreferencesHostRecorder(const PreferencesHostRecorder&) = delete;
    PreferencesHostRecorder& operator=(const PreferencesHostRecorder&) = delete;

    // Creates the catalogues from update information (as the start-up does).
    void createProductData(const QString& updateInfo);
    ProductData* productData() const { return product.get(); }

    void setPrefWindowVisible(bool visible) override;
    void comViewRefresh() override;
    void reloadDataAndUIInit() override;
    void setWaitPanelText(const QString& text) override;
    void terminateApplication() override;
    bool openWithDesktop(const QString& path) override; // records "open:<path>", answers openAnswer

    bool prefWindowVisible = false;
    int reloadCount = 0;
    int reloadReplacedCount = 0; // reloads that replaced a catalogue
    bool terminateAsked = false;
    bool openAnswer = true;
    QStringList calls;

private:
    std::unique_ptr<ProductData> product;
};
