#pragma once

#include "util/Tool.h"

class QWidget;

// Answers the alert gateway with real message boxes and folder choosers. An alert raised on
// another thread (the job thread) is handed to the main thread, and the raising thread waits for
// the user's answer; the main thread itself never waits on a worker, so this cannot deadlock.
class MessageBoxResponder {
public:
    MessageBoxResponder() = delete;

    // Installs answer() as the gateway's responder. Call once the application object exists.
    static void install();
    // The window alerts open over when the asking window is not known (job alerts).
    static void setMainWindow(QWidget* window);
    // Callable on any thread while the application's event loop runs.
    static AlertAnswer answer(const AlertRequest& request);
};
