// The per-file order list without the window around it: its rows, and the thumbnails made off the
// main thread only for rows in view.
#include "TestHome.h"
#include "settings/UserDef.h"
#include "ui/PrintFileListCtrl.h"
#include "ui/PrintFileListDataSource.h"
#include "ui/ThumbnailLoader.h"
#include "util/Tool.h"

#include <QBuffer>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

namespace {

// An APP1 segment holding only the EXIF orientation tag (big-endian TIFF, one IFD entry).
QByteArray exifOrientationSegment(quint16 orientation) {
    QByteArray tiff("MM\x00\x2A\x00\x00\x00\x08", 8);
    tiff.append("\x00\x01", 2);                         // one entry
    tiff.append("\x01\x12\x00\x03\x00\x00\x00\x01", 8); // orientation, SHORT, count 1
    tiff.append(char(orientation >> 8)).append(char(orientation & 0xff)).append("\x00\x00", 2);
    tiff.append("\x00\x00\x00\x00", 4); // no next IFD
    QByteArray payload = QByteArray("Exif\x00\x00", 6) + tiff;
    const int length = static_cast<int>(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(length >> 8)).append(char(length & 0xff));
    return segment + payload;
}

// A JPEG whose left half is red and right half blue, optionally marked with an EXIF orientation.
bool writeTwoColourJpeg(const QString& path, int width, int height, quint16 orientation = 0) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width / 2; ++x) {
            image.setPixel(x, y, qRgb(255, 0, 0));
        }
    }
    QByteArray data;
    {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "JPEG", 95)) {
            return false;
        }
    }
    if (orientation != 0) {
        data.insert(2, exifOrientationSegment(orientation)); // right after SOI
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A red JPEG carrying a green EXIF thumbnail of the given size: which one a thumbnail shows tells
// whether the camera's copy was used.
bool writeWithExifThumbnail(const QString& path, QSize main, QSize small) {
    QImage image(main, QImage::Format_RGB32);
    image.fill(Qt::red);
    QImage copy(small, QImage::Format_RGB32);
    copy.fill(Qt::green);
    QByteArray data;
    QByteArray embedded;
    QBuffer a(&data);
    QBuffer b(&embedded);
    if (!a.open(QIODevice::WriteOnly) || !image.save(&a, "JPEG") || !b.open(QIODevice::WriteOnly) ||
        !copy.save(&b, "JPEG")) {
        return false;
    }
    const auto be16 = [](QByteArray& x, quint32 v) { x.append(char(v >> 8)).append(char(v)); };
    const auto be32 = [&](QByteArray& x, quint32 v) {
        be16(x, v >> 16);
        be16(x, v & 0xffff);
    };
    QByteArray tiff("MM\x00\x2A", 4);
    be32(tiff, 8);
    be16(tiff, 0);  // IFD0 without entries
    be32(tiff, 14); // IFD1
    be16(tiff, 2);
    be16(tiff, 0x0201), be16(tiff, 4), be32(tiff, 1), be32(tiff, 14 + 2 + 24 + 4);
    be16(tiff, 0x0202), be16(tiff, 4), be32(tiff, 1), be32(tiff, quint32(embedded.size()));
    be32(tiff, 0);
    tiff += embedded;
    QByteArray app1("\xFF\xE1", 2);
    be16(app1, quint32(tiff.size() + 8));
    app1 += QByteArray("Exif\x00\x00", 6) + tiff;
    data.insert(2, app1);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool isReddish(QRgb pixel) {
    return qRed(pixel) > 180 && qBlue(pixel) < 80;
}

bool isBluish(QRgb pixel) {
    return qBlue(pixel) > 180 && qRed(pixel) < 80;
}

} // namespace

class TestPrintFileList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void thumbnailsAreScaledUprightOrNotImage();
    void cancelledRequestsNeverArrive();
    void onlyRowsInViewGetThumbnails();
    void rowOperations();
    void theFocusIsFramed();
};

void TestPrintFileList::thumbnailsAreScaledUprightOrNotImage() {
    TestHome home;
    const QString plain = home.filePath(QStringLiteral("plain.jpg"));
    const QString turned = home.filePath(QStringLiteral("turned.jpg"));
    const QString broken = home.filePath(QStringLiteral("broken.jpg"));
    QVERIFY(writeTwoColourJpeg(plain, 600, 400));
    QVERIFY(writeTwoColourJpeg(turned, 600, 400, 6)); // shown turned a quarter clockwise
    QFile text(broken);
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a picture") > 0);
    text.close();

    const QImage a = ThumbnailLoader::makeThumbnail(plain);
    QCOMPARE(a.size(), QSize(105, 70));
    QVERIFY(isReddish(a.pixel(10, 35)));
    QVERIFY(isBluish(a.pixel(95, 35)));

    // Upright: the stored left half (red) is on top once turned.
    const QImage b = ThumbnailLoader::makeThumbnail(turned);
    QCOMPARE(b.size(), QSize(47, 70));
    QVERIFY(isReddish(b.pixel(23, 8)));
    QVERIFY(isBluish(b.pixel(23, 62)));

    QVERIFY(ThumbnailLoader::makeThumbnail(broken).isNull());

    // A camera's EXIF copy is used when it is tall enough and of the same shape; else the photo.
    const QString camera = home.filePath(QStringLiteral("camera.jpg"));
    QVERIFY(writeWithExifThumbnail(camera, QSize(1200, 800), QSize(240, 160)));
    const QImage fromCopy = ThumbnailLoader::makeThumbnail(camera);
    QCOMPARE(fromCopy.size(), QSize(105, 70));
    QVERIFY(qGreen(fromCopy.pixel(50, 35)) > 180 && qRed(fromCopy.pixel(50, 35)) < 80);
    QVERIFY(writeWithExifThumbnail(camera, QSize(1200, 800), QSize(96, 64)));
    QVERIFY(isReddish(ThumbnailLoader::makeThumbnail(camera).pixel(50, 35)));
    QVERIFY(writeWithExifThumbnail(camera, QSize(1200, 800), QSize(160, 120)));
    QVERIFY(isReddish(ThumbnailLoader::makeThumbnail(camera).pixel(50, 35)));
    ThumbnailLoader loader;
    QSignalSpy ready(&loader, &ThumbnailLoader::thumbnailReady);
    loader.request(broken);
    QVERIFY(ready.wait(10000));
    const QImage shown = ready.first().at(1).value<QImage>();
    QCOMPARE(shown, ThumbnailLoader::notImage());
    QCOMPARE(shown.height(), 70);
    QVERIFY(!Tool::resourcePath(QStringLiteral("not_image"), QStringLiteral("jpg")).isEmpty());
}

void TestPrintFileList::cancelledRequestsNeverArrive() {
    TestHome home;
    QStringList paths;
    for (int i = 0; i < 40; ++i) {
        paths.append(home.filePath(QStringLiteral("p%1.jpg").arg(i)));
        QVERIFY(writeTwoColourJpeg(paths.last(), 800, 600));
    }
    ThumbnailLoader loader;
    QSignalSpy ready(&loader, &ThumbnailLoader::thumbnailReady);
    for (const QString& path : paths) {
        loader.request(path);
    }
    QCOMPARE(loader.pendingCount(), 40);
    loader.cancelExcept({paths[5]});
    QCOMPARE(loader.pendingCount(), 1);
    loader.waitForDone();
    QTRY_COMPARE(ready.size(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(ready.size(), 1);
    QCOMPARE(ready.first().first().toString(), paths[5]);
    QCOMPARE(loader.pendingCount(), 0);
}

void TestPrintFileList::onlyRowsInViewGetThumbnails() {
    TestHome home;
    UserDef::setObject(QStringLiteral("ON"), QStringLiteral("ThumbnailView"));
    QStringList paths;
    for (int i = 0; i < 120; ++i) {
        paths.append(home.filePath(QStringLiteral("row%1.jpg").arg(i, 3, 10, QChar(u'0'))));
        QVERIFY(writeTwoColourJpeg(paths.last(), 300, 200));
    }
    auto* hint = new QLabel(QStringLiteral("ここに画像ファイルをドロップしてください"));
    PrintFileListCtrl list(QStringLiteral("Print"), hint);
    list.resize(700, 400);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(hint->isVisible());
    list.dataSource().appendFilePaths(paths);
    QVERIFY(!hint->isVisible());
    PrintFileListDataSource& source = list.dataSource();

    // The first rows in view get theirs; rows far below are never decoded.
    QTRY_VERIFY(source.hasThumbnail(0) && source.hasThumbnail(3));
    QVERIFY(!source.hasThumbnail(119));
    QVERIFY(!source.thumbnailLoader().isPending(paths[119]));
    const QPixmap pixmap =
        source.data(source.index(0, PrintFileListDataSource::Picture), Qt::DecorationRole)
            .value<QPixmap>();
    QCOMPARE(pixmap.height(), 70);
    // The thumbnail never reaches the rows handed to the report.
    QVERIFY(source.fileInfoArray().first().contains(QStringLiteral("PrintFileImageKey")));
    QVERIFY(
        !source.orderFileInfoArray().first().toMap().contains(QStringLiteral("PrintFileImageKey")));

    // Scrolled to the end: the bottom rows come; pending work for the top is dropped.
    list.tableView()->scrollToBottom();
    QTRY_VERIFY(source.hasThumbnail(119));
    QVERIFY(!source.hasThumbnail(60));

    // Thumbnails off: no picture, no work, the column gone.
    UserDef::setObject(QStringLiteral("OFF"), QStringLiteral("ThumbnailView"));
    list.reloadData();
    QVERIFY(!source.data(source.index(50, PrintFileListDataSource::Picture), Qt::DecorationRole)
                 .isValid());
    QCOMPARE(source.thumbnailLoader().pendingCount(), 0);
    QVERIFY(list.tableView()->isColumnHidden(PrintFileListDataSource::Picture));
}

void TestPrintFileList::rowOperations() {
    TestHome home;
    auto* hint = new QLabel;
    PrintFileListCtrl list(QStringLiteral("School"), hint);
    QCOMPARE(list.tableView()->objectName(), QStringLiteral("schoolFileListView"));
    const QStringList paths{home.filePath(QStringLiteral("A.jpg")),
                            home.filePath(QStringLiteral("b.jpg")),
                            home.filePath(QStringLiteral("c.jpg"))};
    for (const QString& path : paths) {
        QVERIFY(writeTwoColourJpeg(path, 40, 40));
    }
    list.dataSource().appendFilePaths(paths);
    QCOMPARE(list.allFileNameStr(), QStringLiteral(",A.jpg,b.jpg,c.jpg,"));
    QVERIFY(list.isEqualFileName(QStringLiteral("b.jpg")));
    QVERIFY(!list.isEqualFileName(QStringLiteral("B.jpg")));
    QVERIFY(!list.isSendOk());

    // Selection announces itself; the top selected row is the lowest index.
    QSignalSpy changes(&list, &PrintFileListCtrl::tableViewSelectChange);
    list.selectRows({2, 0});
    QVERIFY(changes.size() >= 1);
    QCOMPARE(list.selectedRowCount(), 2);
    QCOMPARE(list.selectedTopRowDic()->value(QStringLiteral("SchoolFilePathKey")).toString(),
             paths[0]);

    // Every row with an order: ready to send; a duplicate without one: not.
    for (int row = 0; row < 3; ++row) {
        QVariantMap record = list.dataSource().rowAt(row);
        record.insert(QStringLiteral("SchoolOrderNumKey"), QStringLiteral("2"));
        list.dataSource().setRowAt(row, record);
    }
    QVERIFY(list.isSendOk());
    list.duplicateSelectedRecords();
    QCOMPARE(list.dataSource().filePaths(),
             (QStringList{paths[0], paths[0], paths[1], paths[2], paths[2]}));
    QCOMPARE(list.selectedRowIndexes(), (QList<int>{1, 4}));
    QVERIFY(!list.isSendOk());
    QCOMPARE(list.dataSource()
                 .data(list.dataSource().index(4, PrintFileListDataSource::LineNo))
                 .toString(),
             QStringLiteral("5"));

    list.removeSelectedRecords();
    QCOMPARE(list.dataSource().filePaths(), paths);
    QVERIFY(!list.isSelectedRow());
    QVERIFY(list.isSendOk());
    list.removeAllRecords();
    QVERIFY(list.isNoFile());
    QVERIFY(!list.isSendOk());
}

// The keyboard's place in the list is plain to see: while the list has the focus, the current row
// is framed in a strong line and the current cell within it again, on a row that is not selected
// and on one that is; without the focus, no frame.
void TestPrintFileList::theFocusIsFramed() {
    TestHome home;
    UserDef::setObject(QStringLiteral("OFF"), QStringLiteral("ThumbnailView"));
    QStringList paths;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
        paths.append(home.filePath(QString::fromLatin1(name)));
        QVERIFY(writeTwoColourJpeg(paths.last(), 40, 40));
    }
    auto* hint = new QLabel;
    PrintFileListCtrl list(QStringLiteral("Print"), hint);
    list.dataSource().appendFilePaths(paths);
    list.resize(700, 300);
    list.show();
    list.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&list));
    QTableView* view = list.tableView();
    const QModelIndex cell = list.dataSource().index(1, PrintFileListDataSource::FileName);
    view->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::NoUpdate);
    QVERIFY(!list.isSelectedRow());
    const QRect row(0, view->rowViewportPosition(1), view->horizontalHeader()->length(),
                    view->rowHeight(1));
    const QRect cellRect = view->visualRect(cell);
    const QColor frame = view->palette().color(QPalette::Active, QPalette::Highlight).darker(170);

    // Pixels of the row's frame: its top and bottom edges, away from the cell.
    const auto rowFramed = [&](const QImage& image) {
        int hits = 0;
        const auto framedNear = [&](int x, int y0, int y1) {
            for (int y = y0; y <= y1; ++y) {
                if (image.pixel(x, y) == frame.rgb()) {
                    return true;
                }
            }
            return false;
        };
        for (int x = row.left() + 4; x < row.right() - 4; x += 7) {
            hits += framedNear(x, row.top(), row.top() + 2) ? 1 : 0;
            hits += framedNear(x, row.bottom() - 2, row.bottom()) ? 1 : 0;
        }
        return hits;
    };
    // Pixels of the text colour on the cell's own frame (the dashes), inside the row's frame.
    const auto cellFramed = [&](const QImage& image) {
        const QColor text = view->palette().color(QPalette::Text);
        int hits = 0;
        for (int x = cellRect.left() + 6; x < cellRect.right() - 6; ++x) {
            for (int y = cellRect.top() + 2; y < cellRect.top() + 6; ++y) {
                hits += image.pixel(x, y) == text.rgb() ? 1 : 0;
            }
        }
        return hits;
    };
    const int samples = 2 * ((row.width() - 8) / 7);

    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    QImage shot = view->viewport()->grab().toImage();
    QVERIFY2(rowFramed(shot) >= samples * 9 / 10,
             qPrintable(QStringLiteral("%1 of %2").arg(rowFramed(shot)).arg(samples)));
    QVERIFY(cellFramed(shot) > cellRect.width() / 4);

    // Selected: the frame still stands out from the selection's colour.
    list.selectRows({1});
    view->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::NoUpdate);
    shot = view->viewport()->grab().toImage();
    QVERIFY(rowFramed(shot) >= samples * 9 / 10);
    QVERIFY(cellFramed(shot) > cellRect.width() / 4);
    const QColor selected = view->palette().color(QPalette::Active, QPalette::Highlight);
    QVERIFY(std::abs(selected.lightness() - frame.lightness()) > 40);

    // Without the focus there is nothing to show.
    auto* elsewhere = new QLineEdit(&list);
    elsewhere->show();
    elsewhere->setFocus();
    QTRY_VERIFY(!view->hasFocus());
    shot = view->viewport()->grab().toImage();
    QCOMPARE(rowFramed(shot), 0);
}

QTEST_MAIN(TestPrintFileList)
#include "tst_PrintFileList.moc"
