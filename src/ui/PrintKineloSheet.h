#pragma once

#include "ui/KineloSheetParts.h"

#include <QStringList>
#include <optional>

class QPushButton;

// The print tab's Kinelo sheet: one message video with one picture, chosen or dropped on their
// fields. OK stores the print Kinelo record; the zip stage packs both files with the next print
// order and the record goes with it. Cancel on a registered order removes the registration.
class PrintKineloSheet : public kinelo::SheetBase {
    Q_OBJECT
public:
    PrintKineloSheet(QWidget* window, AppCtrl& ctrl, QObject* parent = nullptr);
    ~PrintKineloSheet() override;

    void printKineloAction();
    // Buttons by tag: 0 cancel, 1 execute, 30 choose video, 31 choose picture.
    void printKineloInputWindowButtonAction(int tag);
    void printKineloInputSheetDidEnd(bool ok);
    void printKineloViewRefresh();
    void printKineloMovFilePathNotification(const QStringList& paths);
    void printKineloPicFilePathNotification(const QStringList& paths);
    void printKineloFileSelectSheet(int tag);
    void printKineloFileSelectPanelDidEnd(const std::optional<QString>& path, int tag);

protected:
    void viewRefresh() override { printKineloViewRefresh(); }

private:
    void build();

    QPushButton* cancelButton_ = nullptr;
    QPushButton* executeButton_ = nullptr;
};
