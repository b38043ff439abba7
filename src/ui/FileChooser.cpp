#include "ui/FileChooser.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QTime>
#include <QTreeView>
#include <algorithm>

namespace {

constexpr int kSizeColumn = 1;
constexpr int kTypeColumn = 2;
constexpr int kDateColumn = 3;

// The chooser's list as Qt's file model gives it, with the dates in the program's language:
// the model itself writes them in the desktop's, whatever the program speaks.
class JapaneseDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole && index.column() == kDateColumn) {
            if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel())) {
                const QDateTime modified = files->lastModified(mapToSource(index));
                if (modified.isValid()) {
                    return QLocale().toString(modified, QLocale::ShortFormat);
                }
            }
        }
        return QIdentityProxyModel::data(index, role);
    }
};

// Qt builds the chooser's widgets late and sizes its columns for English texts; once it shows,
// the size, type and date columns get the width of their Japanese texts and the name the rest.
class ColumnFitter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            fit(qobject_cast<QFileDialog*>(watched));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static void fit(QFileDialog* dialog) {
        auto* tree = dialog != nullptr ? dialog->findChild<QTreeView*>() : nullptr;
        if (tree == nullptr) {
            return;
        }
        const QFontMetrics metrics = tree->fontMetrics();
        const int padding = metrics.averageCharWidth() * 4;
        const auto widest = [&metrics](const QStringList& samples) {
            int width = 0;
            for (const QString& sample : samples) {
                width = std::max(width, metrics.horizontalAdvance(sample));
            }
            return width;
        };
        const QDateTime late(QDate(2000, 12, 28), QTime(23, 58));
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        header->resizeSection(kSizeColumn, widest({QLocale::system().formattedDataSize(999'900'000),
                                                   QLocale::system().formattedDataSize(999'900)}) +
                                               padding);
        header->resizeSection(kTypeColumn, widest({QStringLiteral("Photoshop 画像"),
                                                   QStringLiteral("TIFF 画像ファイル")}) +
                                               padding);
        header->resizeSection(kDateColumn,
                              widest({QLocale().toString(late, QLocale::ShortFormat)}) + padding);
    }
};

} // namespace

void FileChooser::setUp(QFileDialog& dialog, QWidget* parent) {
    // Qt's own chooser on every desktop: Japanese, and the same in tests and under Xvfb.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setProxyModel(new JapaneseDates(&dialog));
    dialog.installEventFilter(new ColumnFitter(&dialog));
    // Readable at once: most of the window that asked (a large screen gives room for long
    // names), never less than the columns need, never more than the screen.
    QWidget* anchor = parent != nullptr ? parent->window() : nullptr;
    const QScreen* screen = anchor != nullptr && anchor->screen() != nullptr
                                ? anchor->screen()
                                : QApplication::primaryScreen();
    const QSize room =
        screen != nullptr ? screen->availableGeometry().size() - QSize(16, 48) : QSize(1000, 650);
    const QSize around = anchor != nullptr && anchor->isVisible() ? anchor->size() * 4 / 5 : room;
    const QFontMetrics metrics = dialog.fontMetrics();
    const QSize least(std::max(860, metrics.averageCharWidth() * 110),
                      std::max(520, metrics.height() * 26));
    dialog.resize(around.expandedTo(least).boundedTo(room));
}

QStringList FileChooser::typedPaths(const QString& nameFieldText, const QString& folder) {
    QStringList names;
    if (nameFieldText.contains(u'"')) {
        // "a.jpg" "b.png": every second piece is a name, as Qt reads the field.
        const QStringList pieces = nameFieldText.split(u'"');
        for (qsizetype i = 1; i < pieces.size(); i += 2) {
            names.append(pieces.at(i));
        }
    } else {
        names.append(nameFieldText);
    }
    QStringList paths;
    for (const QString& name : std::as_const(names)) {
        if (name.trimmed().isEmpty()) {
            continue;
        }
        paths.append(
            QDir::cleanPath(QFileInfo(name).isAbsolute() ? name : QDir(folder).filePath(name)));
    }
    return paths;
}

QStringList FileChooser::withTypedFiles(const QStringList& chosen, const QStringList& typed) {
    QStringList result = chosen;
    for (const QString& path : typed) {
        const bool listed = std::any_of(result.cbegin(), result.cend(), [&path](const QString& p) {
            return QDir::cleanPath(p) == path;
        });
        if (!listed && QFileInfo(path).isFile()) {
            result.append(path);
        }
    }
    return result;
}

AlertAnswer FileChooser::answer(const AlertRequest& request, QWidget* parent) {
    AlertAnswer result;
    QFileDialog dialog(parent);
    setUp(dialog, parent);
    dialog.setDirectory(QDir::homePath());
    if (!request.nameFilters.isEmpty()) {
        dialog.setNameFilters(request.nameFilters);
    }
    switch (request.kind) {
    case AlertRequest::Kind::FolderSelect:
        dialog.setWindowTitle(QStringLiteral("フォルダを選択"));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    case AlertRequest::Kind::OpenFile:
        dialog.setWindowTitle(request.message);
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case AlertRequest::Kind::OpenFiles:
        dialog.setWindowTitle(request.message);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        break;
    case AlertRequest::Kind::SaveFile:
        dialog.setWindowTitle(request.message);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // The caller asks about replacing, for the name it will really write.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setDirectory(request.folder.isEmpty() ? QDir::homePath() : request.folder);
        dialog.selectFile(request.proposedName);
        break;
    default:
        result.ok = false;
        return result;
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    QStringList chosen = accepted ? dialog.selectedFiles() : QStringList();
    if (accepted && request.kind == AlertRequest::Kind::OpenFiles) {
        if (const auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            chosen = withTypedFiles(chosen,
                                    typedPaths(field->text(), dialog.directory().absolutePath()));
        }
    }
    const QString first = chosen.value(0);
    result.ok = !first.isEmpty();
    switch (request.kind) {
    case AlertRequest::Kind::FolderSelect:
        result.folderPath = first;
        break;
    case AlertRequest::Kind::OpenFiles:
        result.filePaths = chosen;
        break;
    default:
        result.filePath = first;
        break;
    }
    return result;
}
