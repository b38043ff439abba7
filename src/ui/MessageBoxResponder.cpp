#include "ui/MessageBoxResponder.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QWidget>

namespace {

QWidget* parentFor(const AlertRequest& request) {
    if (auto* window = qobject_cast<QWidget*>(request.baseWindow.data())) {
        return window->window();
    }
    return QApplication::activeWindow();
}

AlertAnswer answerOnMainThread(const AlertRequest& request) {
    AlertAnswer result;
    switch (request.kind) {
    case AlertRequest::Kind::Beep:
        QApplication::beep();
        return result;
    case AlertRequest::Kind::FolderSelect: {
        const QString folder =
            QFileDialog::getExistingDirectory(parentFor(request), QStringLiteral("フォルダを選択"),
                                              QDir::homePath(), QFileDialog::ShowDirsOnly);
        result.ok = !folder.isEmpty();
        result.folderPath = folder;
        return result;
    }
    case AlertRequest::Kind::OpenFile: {
        const QString file =
            QFileDialog::getOpenFileName(parentFor(request), request.message, QDir::homePath(),
                                         request.nameFilters.join(QStringLiteral(";;")));
        result.ok = !file.isEmpty();
        result.filePath = file;
        return result;
    }
    case AlertRequest::Kind::OpenFiles: {
        result.filePaths =
            QFileDialog::getOpenFileNames(parentFor(request), request.message, QDir::homePath(),
                                          request.nameFilters.join(QStringLiteral(";;")));
        result.ok = !result.filePaths.isEmpty();
        return result;
    }
    case AlertRequest::Kind::SaveFile: {
        const QString folder = request.folder.isEmpty() ? QDir::homePath() : request.folder;
        // The caller asks about replacing, for the name it will really write.
        const QString file = QFileDialog::getSaveFileName(
            parentFor(request), request.message, QDir(folder).filePath(request.proposedName),
            QString(), nullptr, QFileDialog::DontConfirmOverwrite);
        result.ok = !file.isEmpty();
        result.filePath = file;
        return result;
    }
    case AlertRequest::Kind::Message:
    case AlertRequest::Kind::OkNg:
    case AlertRequest::Kind::ThreeButton:
        break;
    }

    QMessageBox box(parentFor(request));
    box.setWindowTitle(QStringLiteral("HALVIX 2"));
    // Questions ask, done reports inform, everything else warns.
    box.setIcon(request.kind != AlertRequest::Kind::Message ? QMessageBox::Question
                : request.done                              ? QMessageBox::Information
                                                            : QMessageBox::Warning);
    // Both texts are shown literally: a file name with "<" or "%" must not turn into markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(request.message);
    box.setInformativeText(request.information);
    QPushButton* ok = box.addButton(request.okTitle, QMessageBox::AcceptRole);
    QPushButton* second = nullptr;
    QPushButton* third = nullptr;
    if (request.kind == AlertRequest::Kind::ThreeButton) {
        // Escape and the close box answer the escape button, whichever it is.
        second = box.addButton(request.ngTitle, request.escapeButton == 2
                                                    ? QMessageBox::RejectRole
                                                    : QMessageBox::DestructiveRole);
        third = box.addButton(request.thirdTitle, request.escapeButton == 3
                                                      ? QMessageBox::RejectRole
                                                      : QMessageBox::DestructiveRole);
        box.setEscapeButton(request.escapeButton == 2 ? second : third);
    } else if (request.kind == AlertRequest::Kind::OkNg) {
        QPushButton* ng = box.addButton(request.ngTitle, QMessageBox::RejectRole);
        box.setEscapeButton(ng);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    box.exec();
    result.ok = box.clickedButton() == ok;
    if (request.kind == AlertRequest::Kind::ThreeButton) {
        result.button = box.clickedButton() == second ? 2 : box.clickedButton() == third ? 3 : 1;
    }
    return result;
}

} // namespace

void MessageBoxResponder::install() {
    Tool::setAlertResponder(&MessageBoxResponder::answer);
}

AlertAnswer MessageBoxResponder::answer(const AlertRequest& request) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        return answerOnMainThread(request);
    }
    AlertAnswer result;
    QMetaObject::invokeMethod(
        app, [&request, &result] { result = answerOnMainThread(request); },
        Qt::BlockingQueuedConnection);
    return result;
}
