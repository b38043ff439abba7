#pragma once

// The whole application in one test function: a fresh home with a complete customer, the lab
// substitute, the controller and its main window after start-up, the alert recorder as the human.

#include "AlertRecorder.h"
#include "LabSim.h"
#include "SheetDriver.h"
#include "TestHome.h"
#include "app/AppCtrl.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/MainTabViewCtrl.h"
#include "ui/MainWindow.h"
#include "util/ProcessRunner.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <QTabWidget>
#include <QUrl>
#include <QtTest>
#include <memory>

namespace shell {

inline const QString kPassword = QStringLiteral("qelvoxa");

inline void customerSettings() {
    UserDef::setObject(QStringLiteral("スタジオ大和"), QStringLiteral("PhotoStudioName"));
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("studio@example.jp"), QStringLiteral("CustomerEmail"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
}

// A real photo: a JPEG with a gradient.
inline bool writeJpeg(const QString& path, int width = 320, int height = 240, int shade = 0) {
    QDir().mkpath(QFileInfo(path).path());
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixelColor(x, y, QColor((x * 7 + shade) % 256, (y * 5) % 256, (x ^ y) % 256));
        }
    }
    return image.save(path, "JPEG", 90);
}

inline bool writeText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A pooled archive made with the real zip, as the zip stage leaves it.
inline bool poolArchive(const QString& name, const QString& sourceFolder) {
    const QString file = sourceFolder + QStringLiteral("/PrintReport4.txt");
    if (!writeText(file, "CUSTOMER_NUMBER=1234\r\n")) {
        return false;
    }
    QDir().mkpath(WorkFolder::orderZipPoolFolderPath());
    return runProcess(ToolPaths::zip(),
                      {QStringLiteral("-q"), QStringLiteral("-j"), QStringLiteral("-P"), kPassword,
                       WorkFolder::orderZipPoolFolderPath() + u'/' + name, file})
        .succeeded();
}

inline QStringList poolFiles() {
    return QDir(WorkFolder::orderZipPoolFolderPath())
        .entryList({QStringLiteral("*.zip")}, QDir::Files);
}

// One entry of an archive, read with the real unzip and the order password.
inline QByteArray unzipEntry(const QString& archive, const QString& entry) {
    return runProcess(ToolPaths::unzip(),
                      {QStringLiteral("-p"), QStringLiteral("-P"), kPassword, archive, entry})
        .stdoutData;
}

inline QStringList unzipList(const QString& archive) {
    const QString out = QString::fromUtf8(
        runProcess(ToolPaths::unzip(), {QStringLiteral("-Z1"), archive}).stdoutData);
    return out.split(u'\n', Qt::SkipEmptyParts);
}

inline QString logText() {
    return QString::fromUtf8(readAll(Log::logFilePath()));
}

// A real drag and drop of local files onto a widget: enter, then drop, with text/uri-list.
inline bool dropFiles(QWidget* target, const QStringList& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    mime.setUrls(urls);
    if (!mime.hasFormat(QStringLiteral("text/uri-list"))) {
        return false;
    }
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// Waits (the event loop turning) for a sheet with that name to be open.
inline bool waitSheet(const QString& name) {
    return QTest::qWaitFor([&] { return SheetDriver::openSheetName() == name; }, 10000);
}

struct App {
    // takeLabAnswer: wait until the lab's answer at start is taken in (tests of a silent lab do
    // not).
    explicit App(const QStringList& arguments = {QStringLiteral("halvix2")},
                 bool withCustomer = true, bool takeLabAnswer = true) {
        if (withCustomer) {
            customerSettings();
        }
        ctrl = std::make_unique<AppCtrl>(arguments);
        window = std::make_unique<MainWindow>(*ctrl);
        window->show();
        ctrl->awakeFromNib(*window);
        if (takeLabAnswer) {
            ctrl->waitForStartUpCheck();
        }
    }
    ~App() {
        if (ctrl->isJobExecuting()) {
            ctrl->waitForJobEnd();
        }
        window.reset();
        ctrl.reset();
    }

    template <typename T>
    T* find(const QString& name) const {
        return window->findChild<T*>(name);
    }
    bool selectTab(OrderTab tab) {
        window->tabViewCtrl().selectTabForLabel(orderTabLabel(tab));
        return ctrl->selectedTab() == tab;
    }
    // Waits for the running job to end; its outcome.
    bool waitJob() {
        // The end is announced through the event loop, so the spy sees it even when the
        // thread has already finished.
        QSignalSpy finished(ctrl.get(), &AppCtrl::jobFinished);
        if (!QTest::qWaitFor([&] { return !finished.isEmpty(); }, 60000)) {
            return false;
        }
        return finished.first().first().toBool();
    }

    std::unique_ptr<AppCtrl> ctrl;
    std::unique_ptr<MainWindow> window;
};

// The user picks a title in an enabled pop-up of the window; false when it cannot be picked.
inline bool choose(App& app, const QString& name, const QString& title) {
    auto* box = app.find<QComboBox>(name);
    if (box == nullptr || !box->isEnabled()) {
        return false;
    }
    const int at = box->findText(title, Qt::MatchExactly);
    if (at < 0) {
        return false;
    }
    box->setCurrentIndex(at);
    Q_EMIT box->activated(at);
    return box->currentText() == title;
}

} // namespace shell
