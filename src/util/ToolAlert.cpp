// Alerts and choosers of Tool, all answered through one installed responder.
#include "util/Tool.h"

#include <QFileInfo>
#include <cstdio>
#include <mutex>

namespace {

std::mutex& responderMutex() {
    static std::mutex mutex;
    return mutex;
}

AlertResponder& installedResponder() {
    static AlertResponder responder;
    return responder;
}

// Without a responder nobody can answer: the alert goes to standard error and its default
// button is taken, so a job never blocks on a missing window.
AlertAnswer answerUnattended(const AlertRequest& request) {
    if (request.kind == AlertRequest::Kind::Message || request.kind == AlertRequest::Kind::OkNg ||
        request.kind == AlertRequest::Kind::ThreeButton) {
        const QByteArray line =
            (QStringLiteral("[アラート] ") + request.message + QStringLiteral(" / ") +
             request.information + QStringLiteral(" [") + request.okTitle + QStringLiteral("]\n"))
                .toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
    }
    AlertAnswer answer;
    // Nobody can choose a file or folder: choosers answer "cancelled".
    answer.ok = request.kind != AlertRequest::Kind::FolderSelect &&
                request.kind != AlertRequest::Kind::OpenFile &&
                request.kind != AlertRequest::Kind::OpenFiles &&
                request.kind != AlertRequest::Kind::SaveFile;
    return answer;
}

AlertAnswer ask(const AlertRequest& request) {
    AlertResponder responder;
    {
        // Copied under the lock and called outside it: a responder may take its time (a human
        // reading the alert) and may itself raise nothing else through the gateway.
        const std::lock_guard<std::mutex> lock(responderMutex());
        responder = installedResponder();
    }
    return responder ? responder(request) : answerUnattended(request);
}

AlertRequest message(const QString& msg, const QString& msg2, const QString& okTitle) {
    AlertRequest request;
    request.kind = AlertRequest::Kind::Message;
    request.message = msg;
    request.information = msg2;
    request.okTitle = okTitle;
    return request;
}

} // namespace

void Tool::setAlertResponder(AlertResponder responder) {
    const std::lock_guard<std::mutex> lock(responderMutex());
    installedResponder() = std::move(responder);
}

void Tool::alertWithMsg(const QString& msg, const QString& msg2, const QString& btOk) {
    ask(message(msg, msg2, btOk));
}

void Tool::doneAlertWithMsg(const QString& msg, const QString& msg2) {
    AlertRequest request = message(msg, msg2, QStringLiteral("はい"));
    request.done = true;
    ask(request);
}

void Tool::alertWithMsg(const QString& msg, const QString& msg2, QObject* baseWindow) {
    AlertRequest request = message(msg, msg2, QStringLiteral("はい"));
    request.baseWindow = baseWindow;
    ask(request);
}

bool Tool::alertOkNgWithMsg(const QString& msg, const QString& msg2, const QString& btOk,
                            const QString& btNg) {
    AlertRequest request = message(msg, msg2, btOk);
    request.kind = AlertRequest::Kind::OkNg;
    request.ngTitle = btNg;
    return ask(request).ok;
}

void Tool::beep(const QString& name) {
    AlertRequest request;
    request.kind = AlertRequest::Kind::Beep;
    request.message = name;
    ask(request);
}

std::optional<QString> Tool::folderSelect() {
    AlertRequest request;
    request.kind = AlertRequest::Kind::FolderSelect;
    const AlertAnswer answer = ask(request);
    if (!answer.ok || answer.folderPath.isEmpty()) {
        return std::nullopt;
    }
    return answer.folderPath;
}

QStringList Tool::openFilesSelect(QObject* window, const QString& title,
                                  const QStringList& nameFilters) {
    AlertRequest request;
    request.kind = AlertRequest::Kind::OpenFiles;
    request.message = title;
    request.nameFilters = nameFilters;
    request.baseWindow = window;
    const AlertAnswer answer = ask(request);
    return answer.ok ? answer.filePaths : QStringList();
}

void Tool::folderSelectSheet(QObject* window,
                             const std::function<void(std::optional<QString>)>& delegate) {
    AlertRequest request;
    request.kind = AlertRequest::Kind::FolderSelect;
    request.baseWindow = window;
    const AlertAnswer answer = ask(request);
    if (!delegate) {
        return;
    }
    if (!answer.ok || answer.folderPath.isEmpty()) {
        delegate(std::nullopt);
    } else {
        delegate(answer.folderPath);
    }
}

int Tool::alertThreeButtonWithMsg(const QString& msg, const QString& msg2, const QString& bt1,
                                  const QString& bt2, const QString& bt3, int escapeButton) {
    AlertRequest request = message(msg, msg2, bt1);
    request.kind = AlertRequest::Kind::ThreeButton;
    request.ngTitle = bt2;
    request.thirdTitle = bt3;
    request.escapeButton = escapeButton >= 1 && escapeButton <= 3 ? escapeButton : 3;
    const int button = ask(request).button;
    // A responder that answers something else gets the default button, never a fourth choice.
    return button >= 1 && button <= 3 ? button : 1;
}

bool Tool::confirmReplaceFile(const QString& path) {
    if (!QFileInfo::exists(path)) {
        return true;
    }
    return alertOkNgWithMsg(QStringLiteral("同じ名前のファイルがあります"),
                            QStringLiteral("「%1」は既にあります。\n置き換えますか？").arg(path),
                            QStringLiteral("置き換える"), QStringLiteral("キャンセル"));
}

std::optional<QString> Tool::openFileSelect(const QString& title, const QStringList& nameFilters) {
    AlertRequest request;
    request.kind = AlertRequest::Kind::OpenFile;
    request.message = title;
    request.nameFilters = nameFilters;
    const AlertAnswer answer = ask(request);
    if (!answer.ok || answer.filePath.isEmpty()) {
        return std::nullopt;
    }
    return answer.filePath;
}

std::optional<QString> Tool::saveFileSelect(const QString& title, const QString& folder,
                                            const QString& proposedName) {
    AlertRequest request;
    request.kind = AlertRequest::Kind::SaveFile;
    request.message = title;
    request.folder = folder;
    request.proposedName = proposedName;
    const AlertAnswer answer = ask(request);
    if (!answer.ok || answer.filePath.isEmpty()) {
        return std::nullopt;
    }
    return answer.filePath;
}
