#pragma once

#include "util/Tool.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <mutex>

// Stands in for the human at the alert gateway: while it lives it is the installed responder.
// Every alert and chooser request is recorded (beeps separately, by name); answers come from a
// queue (when the queue is empty: the first button, and nothing chosen for a folder or file
// chooser). Safe to be called from the job thread.
class AlertRecorder {
public:
    AlertRecorder();  // installs itself with Tool::setAlertResponder
    ~AlertRecorder(); // removes itself again
    AlertRecorder(const AlertRecorder&) = delete;
    AlertRecorder& operator=(const AlertRecorder&) = delete;

    void enqueue(const AlertAnswer& answer);
    void enqueueOk();                              // first button
    void enqueueNg();                              // second button
    void enqueueFolder(const QString& folderPath); // a folder chooser's choice
    void enqueueButton(int button);                // a three-button alert's choice (1, 2, 3)
    void enqueueFile(const QString& filePath);     // an open or save chooser's choice ("" cancels)
    void enqueueFiles(const QStringList& filePaths); // a several-files chooser's choice

    // Chooser requests (folder, file, files, save) are recorded and then answered by this
    // responder instead of the queue: the program's own chooser, which the test drives.
    void passChoosersTo(AlertResponder responder);
    // Called with every request (beeps aside) before it is answered, on the asking thread: what
    // the program shows at the moment an alert comes.
    void watch(std::function<void(const AlertRequest&)> watcher);

    QList<AlertRequest> requests() const; // every alert and chooser so far, in order
    qsizetype count() const;              // how many of them
    AlertRequest last() const;            // the latest request (a default one when none)
    QStringList messages() const;         // the message texts of the alerts, in order
    QStringList beeps() const;            // the sound names of the beeps, in order
    void clear();                         // forgets requests and queued answers

private:
    AlertAnswer answer(const AlertRequest& request);

    mutable std::mutex mutex_;
    QList<AlertRequest> requests_;
    QStringList beeps_;
    QList<AlertAnswer> queue_;
    AlertResponder choosers_;
    std::function<void(const AlertRequest&)> watcher_;
};
