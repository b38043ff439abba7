#pragma once

#include "util/Tool.h"

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

// Qt's own file chooser as the program opens it for the alert gateway's chooser requests
// (folder, one file, several files, save): its texts and dates in Japanese, a size where its
// columns are whole, over the window that asked. Names typed into its name field are taken as
// typed, whichever filter the list shows: Qt itself drops a typed name the filter hides as soon
// as another typed name is in the list.
class FileChooser {
public:
    FileChooser() = delete;

    // Answers a FolderSelect, OpenFile, OpenFiles or SaveFile request; parent may be null.
    static AlertAnswer answer(const AlertRequest& request, QWidget* parent);

    // The names typed into the chooser's name field ("a.jpg" or "a.jpg" "b.png"), each as a path
    // in folder (a typed absolute path stays as it is).
    static QStringList typedPaths(const QString& nameFieldText, const QString& folder);
    // What a several-files chooser returns: its own choice, then every typed name of an
    // existing file it left out.
    static QStringList withTypedFiles(const QStringList& chosen, const QStringList& typed);

    // The dialog as answer() sets it up (for looking at it in tests).
    static void setUp(QFileDialog& dialog, QWidget* parent);
};
