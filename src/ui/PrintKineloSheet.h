#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>

class AppCtrl;
namespace kinelo {
class PathPair;
}
class QDialog;
class QPushButton;

// The print tab's Kinelo sheet: one message video with one picture, chosen or dropped on their
// fields. OK stores the print Kinelo record; the zip stage packs both files with the next print
// order and the record goes with it. Cancel on a registered order removes the registration.
class PrintKineloSheet : public QObject {
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
    // After a packed order or a removed registration: both fields are emptied.
    void clearPathFields();
    void pathFieldsDragDropOn();

    QDialog* sheet() const { return sheet_; }
    bool isOpen() const;

private:
    void build();
    // What every end of the sheet does: drops and menus back, the sheet hidden, the window
    // refreshed.
    void sheetClosed();

    QWidget* window_;
    AppCtrl& ctrl_;
    QPointer<QDialog> sheet_;
    std::unique_ptr<kinelo::PathPair> pathPair_;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* executeButton_ = nullptr;
};
