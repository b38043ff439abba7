#include "ui/MessageBoxResponder.h"

#include "ui/DialogConvention.h"
#include "ui/FileChooser.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <algorithm>

namespace {

QPointer<QWidget>& mainWindow() {
    static QPointer<QWidget> window;
    return window;
}

// Alerts open over the window that asked, else over the main window (job alerts too), so they are
// centred on the program and not on the screen.
QWidget* parentFor(const AlertRequest& request) {
    if (auto* window = qobject_cast<QWidget*>(request.baseWindow.data())) {
        return window->window();
    }
    if (!mainWindow().isNull()) {
        return mainWindow().data();
    }
    return QApplication::activeWindow();
}

// Wide enough (about 420 px or more) that Japanese texts break only at their own line breaks,
// as long as the screen has room for their longest line.
void widenForJapanese(QMessageBox& box, const AlertRequest& request) {
    const QFontMetrics metrics(box.font());
    int widest = 0;
    for (const QString& text : {request.message, request.information}) {
        for (const QString& line : text.split(u'\n')) {
            widest = std::max(widest, metrics.horizontalAdvance(line));
        }
    }
    QScreen* screen = box.parentWidget() != nullptr ? box.parentWidget()->screen()
                                                    : QApplication::primaryScreen();
    const int room = screen != nullptr ? screen->availableGeometry().width() * 9 / 10 : 1000;
    // The icon and the margins take about 100 px beside the text.
    const int textWidth = std::min(std::max(420, widest + 16), room - 100);
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
        if (auto* label = box.findChild<QLabel*>(QLatin1String(name))) {
            label->setMinimumWidth(textWidth);
        }
    }
}

AlertAnswer answerOnMainThread(const AlertRequest& request) {
    AlertAnswer result;
    switch (request.kind) {
    case AlertRequest::Kind::Beep:
        QApplication::beep();
        return result;
    case AlertRequest::Kind::FolderSelect:
    case AlertRequest::Kind::OpenFile:
    case AlertRequest::Kind::OpenFiles:
    case AlertRequest::Kind::SaveFile:
        return FileChooser::answer(request, parentFor(request));
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
    // Texts can be selected and copied (a list of file names to pass on, an error to quote).
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        informative->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
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
    applyDialogButtonOrder(box.findChild<QDialogButtonBox*>());
    widenForJapanese(box, request);
    box.exec();
    result.ok = box.clickedButton() == ok;
    if (request.kind == AlertRequest::Kind::ThreeButton) {
        result.button = box.clickedButton() == second ? 2 : box.clickedButton() == third ? 3 : 1;
    }
    return result;
}

} // namespace

void MessageBoxResponder::setMainWindow(QWidget* window) {
    mainWindow() = window;
}

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
