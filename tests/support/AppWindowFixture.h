#pragma once

// The running program for window tests: a fresh home, the lab substitute, the alert recorder in
// place of the human, a studio's customer information, then the controller and the main window
// through the window set-up, as at a real start. Header only: it needs the widgets, so only the
// ui and e2e tests include it.

#include "AlertRecorder.h"
#include "LabSim.h"
#include "TestHome.h"
#include "app/AppCtrl.h"
#include "settings/UserDef.h"
#include "ui/MainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTabWidget>
#include <QTest>
#include <memory>

class AppWindowFixture {
public:
    // The customer the program starts with (complete customer information: the forms are usable).
    static void studioSettings() {
        UserDef::setObject(QStringLiteral("テスト写真館"), QStringLiteral("PhotoStudioName"));
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        UserDef::setObject(QStringLiteral("studio@example.jp"), QStringLiteral("CustomerEmail"));
        UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    }

    AppWindowFixture() { studioSettings(); }
    ~AppWindowFixture() { stop(); }
    AppWindowFixture(const AppWindowFixture&) = delete;
    AppWindowFixture& operator=(const AppWindowFixture&) = delete;

    bool isReady() const { return home.isValid() && lab.isRunning(); }

    // Construction, the window, its set-up, and the tab to work on.
    void start(OrderTab tab) {
        // A second start is a restart: the window goes before the controller it refers to.
        stop();
        ctrl = std::make_unique<AppCtrl>(QStringList{QStringLiteral("halvix2")});
        window = std::make_unique<MainWindow>(*ctrl);
        window->resize(1024, 700);
        window->show();
        ctrl->awakeFromNib(*window);
        ctrl->waitForStartUpCheck(); // the lab's answer at start is taken in
        window->selectTab(tab);
        ctrl->setSelectedTab(tab);
        ctrl->comViewRefresh();
        QCoreApplication::processEvents();
    }

    // Quits as the program does (the termination path) and drops window and controller.
    void stop() {
        if (ctrl) {
            ctrl->waitForJobEnd();
            ctrl->applicationShouldTerminate();
        }
        window.reset();
        ctrl.reset();
    }

    template <typename T>
    T* find(const QString& objectName) const {
        return window ? window->findChild<T*>(objectName) : nullptr;
    }

    // A user's choice in a pop-up: the item with that title, then `activated`.
    bool choose(const QString& popName, const QString& title) const {
        auto* pop = find<QComboBox>(popName);
        if (pop == nullptr || !pop->isEnabled()) {
            return false;
        }
        const int index = pop->findText(title);
        if (index < 0) {
            return false;
        }
        pop->setCurrentIndex(index);
        Q_EMIT pop->activated(index);
        return true;
    }

    // A click on an enabled button (a disabled one cannot be clicked: false).
    bool click(const QString& buttonName) const {
        auto* button = find<QAbstractButton>(buttonName);
        if (button == nullptr || !button->isEnabled() || !button->isVisible()) {
            return false;
        }
        button->click();
        return true;
    }

    QStringList popItems(const QString& popName) const {
        QStringList items;
        if (auto* pop = find<QComboBox>(popName)) {
            for (int i = 0; i < pop->count(); ++i) {
                items.append(pop->itemText(i));
            }
        }
        return items;
    }

    // With HALVIX_SHOT_DIR set, pictures of the window at the smallest and at a full-HD size
    // (name-1024x700.png, name-1920x1080.png), to look at; nothing otherwise.
    void shoot(const QString& name) const {
        const QString dir = qEnvironmentVariable("HALVIX_SHOT_DIR");
        if (dir.isEmpty() || !window) {
            return;
        }
        const QSize before = window->size();
        for (const QSize size : {QSize(1024, 700), QSize(1920, 1080)}) {
            window->resize(size);
            QTest::qWait(400); // layouts settle, thumbnails arrive
            window->grab().save(QStringLiteral("%1/%2-%3x%4.png")
                                    .arg(dir, name)
                                    .arg(size.width())
                                    .arg(size.height()));
        }
        window->resize(before);
    }

    // Declared in the order they must be torn down in reverse: the program before its lab and home.
    TestHome home;
    LabSim lab;
    AlertRecorder alerts;
    std::unique_ptr<AppCtrl> ctrl;
    std::unique_ptr<MainWindow> window;
};
