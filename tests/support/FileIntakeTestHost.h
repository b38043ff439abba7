#pragma once

#include "app/FileIntake.h"

#include <QHash>
#include <QStringList>

// The application controller's side of intake, kept in memory, for intake and drop tests.
class FileIntakeTestHost : public FileIntakeHost {
public:
    OrderTab tab = OrderTab::Etc;
    bool kinelo = false;
    bool resizeExe = false;
    QHash<int, QStringList> lists;
    QStringList selection;
    QString info = QStringLiteral("(unchanged)");
    int refreshes = 0;
    int reloads = 0;
    int dropOff = 0;
    int dropOn = 0;

    OrderTab selectedTab() const override { return tab; }
    bool kineloWindowOpen() const override { return kinelo; }
    bool resizeExeChecked() const override { return resizeExe; }
    QStringList listFilePaths(FileListKind list) const override {
        return lists.value(static_cast<int>(list));
    }
    void appendListRows(FileListKind list, const QStringList& paths) override {
        lists[static_cast<int>(list)].append(paths);
        ++reloads;
        if (list != FileListKind::Kinelo) {
            selection = lists.value(static_cast<int>(list));
        }
    }
    void reloadList(FileListKind) override { ++reloads; }
    QStringList selectFiles() const override { return selection; }
    void setSelectFiles(const QStringList& files) override { selection = files; }
    void setSelectInfo(const QString& text) override { info = text; }
    void comViewRefresh() override { ++refreshes; }
    void dragDropOff() override { ++dropOff; }
    void dragDropOn() override { ++dropOn; }
};
