#include "AlertRecorder.h"

AlertRecorder::AlertRecorder() {
    Tool::setAlertResponder([this](const AlertRequest& request) { return answer(request); });
}

AlertRecorder::~AlertRecorder() {
    Tool::setAlertResponder({});
}

namespace {

bool isChooser(const AlertRequest& request) {
    return request.kind == AlertRequest::Kind::FolderSelect ||
           request.kind == AlertRequest::Kind::OpenFile ||
           request.kind == AlertRequest::Kind::OpenFiles ||
           request.kind == AlertRequest::Kind::SaveFile;
}

} // namespace

AlertAnswer AlertRecorder::answer(const AlertRequest& request) {
    std::function<void(const AlertRequest&)> watcher;
    AlertResponder chooser;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        // A beep asks nothing of the human and takes no queued answer.
        if (request.kind == AlertRequest::Kind::Beep) {
            beeps_.append(request.message);
            return AlertAnswer{};
        }
        requests_.append(request);
        watcher = watcher_;
        if (isChooser(request)) {
            chooser = choosers_;
        }
    }
    // Outside the lock: both may turn the event loop, where the test asks the recorder again.
    if (watcher) {
        watcher(request);
    }
    if (chooser) {
        return chooser(request);
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.isEmpty()) {
        AlertAnswer first;
        first.ok = !isChooser(request);
        return first;
    }
    return queue_.takeFirst();
}

void AlertRecorder::passChoosersTo(AlertResponder responder) {
    const std::lock_guard<std::mutex> lock(mutex_);
    choosers_ = std::move(responder);
}

void AlertRecorder::watch(std::function<void(const AlertRequest&)> watcher) {
    const std::lock_guard<std::mutex> lock(mutex_);
    watcher_ = std::move(watcher);
}

void AlertRecorder::enqueue(const AlertAnswer& answer) {
    const std::lock_guard<std::mutex> lock(mutex_);
    queue_.append(answer);
}

void AlertRecorder::enqueueOk() {
    AlertAnswer answer;
    answer.ok = true;
    enqueue(answer);
}

void AlertRecorder::enqueueNg() {
    AlertAnswer answer;
    answer.ok = false;
    answer.button = 2;
    enqueue(answer);
}

void AlertRecorder::enqueueFolder(const QString& folderPath) {
    AlertAnswer answer;
    answer.ok = !folderPath.isEmpty();
    answer.folderPath = folderPath;
    enqueue(answer);
}

void AlertRecorder::enqueueButton(int button) {
    AlertAnswer answer;
    answer.ok = button == 1;
    answer.button = button;
    enqueue(answer);
}

void AlertRecorder::enqueueFile(const QString& filePath) {
    AlertAnswer answer;
    answer.ok = !filePath.isEmpty();
    answer.filePath = filePath;
    enqueue(answer);
}

void AlertRecorder::enqueueFiles(const QStringList& filePaths) {
    AlertAnswer answer;
    answer.ok = !filePaths.isEmpty();
    answer.filePaths = filePaths;
    enqueue(answer);
}

QList<AlertRequest> AlertRecorder::requests() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

qsizetype AlertRecorder::count() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

AlertRequest AlertRecorder::last() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return requests_.isEmpty() ? AlertRequest{} : requests_.last();
}

QStringList AlertRecorder::messages() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    QStringList result;
    for (const AlertRequest& request : requests_) {
        if (request.kind == AlertRequest::Kind::Message ||
            request.kind == AlertRequest::Kind::OkNg ||
            request.kind == AlertRequest::Kind::ThreeButton) {
            result.append(request.message);
        }
    }
    return result;
}

QStringList AlertRecorder::beeps() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return beeps_;
}

void AlertRecorder::clear() {
    const std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
    beeps_.clear();
    queue_.clear();
}
