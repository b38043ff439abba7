#include "AlertRecorder.h"
#include "FileIntakeTestHost.h"
#include "TestHome.h"
#include "app/FileIntake.h"
#include "settings/Log.h"
#include "ui/DragDropScrollView.h"
#include "ui/DragDropTextField.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>
#include <memory>
#include <sys/stat.h>

namespace {

std::unique_ptr<QMimeData> uriList(const QStringList& paths) {
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(path.startsWith(QStringLiteral("http")) ? QUrl(path)
                                                            : QUrl::fromLocalFile(path));
    }
    mime->setUrls(urls); // text/uri-list, as a file manager sends it
    return mime;
}

bool enterAccepted(QWidget& target, const QMimeData& mime) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    return enter.isAccepted();
}

// A drag entering the widget and released over it.
bool drop(QWidget& target, const QMimeData& mime) {
    enterAccepted(target, mime);
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
    return event.isAccepted();
}

QString makeFile(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qFatal("cannot create %s", qPrintable(path));
    }
    file.write("x");
    return path;
}

QString logText() {
    QFile file(Log::logFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestDragDropViews : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // 10,000 paths are handed on unexamined; 10,001 are refused at the drop area.
    void dropAreaPathLimit() {
        TestHome home;
        AlertRecorder alerts;
        DragDropScrollView view;
        view.setObjectName(QStringLiteral("etcDragDropView"));
        QSignalSpy dropped(&view, &DragDropScrollView::filesDropped);
        QStringList paths;
        for (int i = 0; i < 10001; ++i) {
            paths.append(QStringLiteral("/studio/shoot/img%1.jpg").arg(i));
        }
        const auto tooMany = uriList(paths);
        QVERIFY(enterAccepted(view, *tooMany));
        QVERIFY(!drop(view, *tooMany));
        QCOMPARE(dropped.count(), 0);
        QCOMPARE(alerts.messages(),
                 QStringList{QStringLiteral("ドロップされたファイルが多過ぎます")});
        QCOMPARE(alerts.last().information, QString());
        QVERIFY(logText().contains(QStringLiteral("ドラッグドロップ：10001件")));
        QVERIFY(logText().contains(QStringLiteral("ドロップされたファイルが多過ぎ\n")));

        paths.removeLast();
        QVERIFY(drop(view, *uriList(paths)));
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(dropped.first().first().toStringList(), paths);
        QCOMPARE(alerts.count(), 1);
    }

    // Only local files: a web link or plain text is not taken; nothing while drops are off.
    void dropAreaTakesOnlyLocalFiles() {
        TestHome home;
        AlertRecorder alerts;
        DragDropScrollView view;
        QSignalSpy dropped(&view, &DragDropScrollView::filesDropped);
        const auto web = uriList({QStringLiteral("https://example.com/a.jpg")});
        QVERIFY(!enterAccepted(view, *web));
        QVERIFY(!drop(view, *web));
        QMimeData text;
        text.setText(QStringLiteral("/home/user/a.jpg"));
        QVERIFY(!enterAccepted(view, text));

        const auto local = uriList({home.filePath(QStringLiteral("a.jpg"))});
        view.dragDropOff();
        QVERIFY(!view.acceptDrops());
        QVERIFY(!enterAccepted(view, *local));
        QVERIFY(!drop(view, *local));
        view.dragDropOn();
        QVERIFY(enterAccepted(view, *local));
        QVERIFY(drop(view, *local));
        QCOMPARE(dropped.count(), 1);
    }

    // The whole road of a print drop: a.jpg and A.jpg would overwrite each other at the lab.
    void printDropRefusesNamesEqualButForCase() {
        TestHome home;
        AlertRecorder alerts;
        FileIntakeTestHost host;
        host.tab = OrderTab::Print;
        FileIntake intake(host);
        DragDropScrollView view;
        QObject::connect(
            &view, &DragDropScrollView::filesDropped, &view,
            [&intake](const QStringList& paths) { intake.dragDropFolderAndFiles(paths); });
        const QString lower = makeFile(home.filePath(QStringLiteral("shoot/a.jpg")));
        const QString upper = makeFile(home.filePath(QStringLiteral("shoot/A.jpg")));
        QVERIFY(drop(view, *uriList({lower, upper})));
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("同じファイル名が複数あります。")});
        QVERIFY(host.listFilePaths(FileListKind::Print).isEmpty());
        QVERIFY(drop(view, *uriList({lower})));
        QCOMPARE(host.listFilePaths(FileListKind::Print), QStringList{lower});
        QCOMPARE(host.refreshes, 2);
    }

    // The single-file field: one regular file, never two, a folder, a pipe or URL text.
    void textFieldTakesOneFile() {
        TestHome home;
        DragDropTextField field;
        field.setNotificationName(QStringLiteral("printKineloMovFilePath"));
        QSignalSpy dropped(&field, &DragDropTextField::fileDropped);
        const QString movie = makeFile(home.filePath(QStringLiteral("k/movie.mp4")));
        const QString picture = makeFile(home.filePath(QStringLiteral("k/picture.jpg")));
        const QString fifo = home.filePath(QStringLiteral("k/pipe.mp4"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

        for (const QStringList& refused :
             {QStringList{movie, picture}, QStringList{home.filePath(QStringLiteral("k"))},
              QStringList{fifo}, QStringList{QStringLiteral("https://example.com/m.mp4")}}) {
            const auto mime = uriList(refused);
            QVERIFY(!enterAccepted(field, *mime));
            QVERIFY(!drop(field, *mime));
        }
        QCOMPARE(dropped.count(), 0);
        QCOMPARE(field.text(), QString());

        const auto one = uriList({movie});
        field.dragDropOff();
        QVERIFY(!drop(field, *one));
        field.dragDropOn();
        QVERIFY(enterAccepted(field, *one));
        QVERIFY(drop(field, *one));
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(dropped.first().at(0).toString(), QStringLiteral("printKineloMovFilePath"));
        QCOMPARE(dropped.first().at(1).toStringList(), QStringList{movie});
        QCOMPARE(field.text(), QString()); // the owner sets it once it takes the file
    }
};

QTEST_MAIN(TestDragDropViews)
#include "tst_DragDropViews.moc"
