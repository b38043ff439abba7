// The photo check as the studio sees it: a mixed folder dropped on the print tab gets its marks
// and the tab's summary, a new size judges a row again at once, and Send asks before the first
// sheet when a file would likely be rejected.
#include "AppWindowFixture.h"
#include "ImageFiles.h"
#include "SheetDriver.h"
#include "app/PreflightBoard.h"
#include "ui/DragDropScrollView.h"
#include "ui/FileListTabPage.h"
#include "ui/OrderTabPage.h"
#include "ui/PhotoPreviewWindow.h"
#include "ui/PreflightMarks.h"
#include "ui/PrintFileListCtrl.h"
#include "ui/PrintFileListDataSource.h"

#include <QAccessible>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTextBlock>
#include <QtTest>

class TestPreflightTabs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void printTabMarksJudgesAgainAndAsks();
    void etcTabMarksItsFiles();
    void everyTabSpeaksItsMarks();
    void marksDifferByShapeAndKeepOnSelection();
    void previewFromTheKeyboard();
};

namespace {

const QString kL = QStringLiteral("Lサイズ（89×127）");
const QString k2L = QStringLiteral("2Lサイズ（127×178）");

int levelAt(PrintFileListCtrl* list, int row) {
    const QAbstractItemModel& model = list->dataSource();
    return model
        .data(model.index(row, PrintFileListDataSource::Status),
              PrintFileListDataSource::PreflightLevelRole)
        .toInt();
}

QString tipAt(PrintFileListCtrl* list, int row) {
    const QAbstractItemModel& model = list->dataSource();
    return model.data(model.index(row, PrintFileListDataSource::Status), Qt::ToolTipRole)
        .toString();
}

// A folder of what a studio drops: sound photos, one in CMYK, one cut short, one small, and a
// PNG named like a JPEG.
QStringList mixedFolder(const QString& folder) {
    QDir().mkpath(folder);
    const QStringList names{QStringLiteral("a_sound.jpg"), QStringLiteral("b_cmyk.jpg"),
                            QStringLiteral("c_cut.jpg"), QStringLiteral("d_small.jpg"),
                            QStringLiteral("e_png.jpg")};
    QStringList paths;
    for (const QString& name : names) {
        paths << folder + u'/' + name;
    }
    if (!ImageFiles::jpeg(paths[0], 1800, 1200) ||
        !ImageFiles::jpeg(paths[1], 1800, 1200,
                          {QStringLiteral("-colorspace"), QStringLiteral("CMYK")}) ||
        !ImageFiles::jpeg(paths[2], 1800, 1200) ||
        !ImageFiles::truncateTo(paths[2], QFileInfo(paths[2]).size() / 2) ||
        !ImageFiles::jpeg(paths[3], 900, 600) ||
        !ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("1800x1200"),
                              QStringLiteral("gradient:red-blue"),
                              QStringLiteral("PNG24:") + paths[4]})) {
        return {};
    }
    return paths;
}

} // namespace

void TestPreflightTabs::printTabMarksJudgesAgainAndAsks() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    app.start(OrderTab::Print);
    PrintTabPage* page = app.window->printPage();
    PrintFileListCtrl* list = page->fileListCtrl();
    const QStringList files = mixedFolder(app.home.filePath(QStringLiteral("Mixed")));
    QCOMPARE(files.size(), 5);
    Q_EMIT page->dragDropView()->filesDropped(files);
    QCOMPARE(list->fileCount(), 5);

    // Every row is judged off the main thread; without a size only the files themselves count.
    auto* summary = app.find<QLabel>(QStringLiteral("printPreflightSummary"));
    QVERIFY(summary != nullptr);
    QTRY_COMPARE(summary->text(), QStringLiteral("印刷に向かない画像：3枚"));
    QVERIFY(summary->isVisible());
    const int fine = int(PreflightLevel::Fine);
    const int red = int(PreflightLevel::Warning);
    const int amber = int(PreflightLevel::Caution);
    QCOMPARE(levelAt(list, 0), fine);
    QCOMPARE(levelAt(list, 1), red);
    QCOMPARE(tipAt(list, 1), QStringLiteral("CMYKの画像です（RGBで保存してください）\n"
                                            "色空間：YCCK（Adobe変換2のJPEG）"));
    QCOMPARE(levelAt(list, 2), red);
    QVERIFY(tipAt(list, 2).contains(QStringLiteral("途中で終わっています")));
    QCOMPARE(levelAt(list, 3), fine);
    QCOMPARE(levelAt(list, 4), red);
    QVERIFY(tipAt(list, 4).contains(QStringLiteral("中身はPNG画像です")));
    const QAbstractItemModel& model = list->dataSource();
    QVERIFY(!model.data(model.index(1, PrintFileListDataSource::Status), Qt::DecorationRole)
                 .value<QIcon>()
                 .isNull());

    // All rows as L prints: the small one (600 px over 3.5 in) is worth a look.
    QVERIFY(app.choose(QStringLiteral("printCategoryPop"), QStringLiteral("銀塩プリント")));
    QVERIFY(app.choose(QStringLiteral("printSizePop"), kL));
    list->selectRows({0, 1, 2, 3, 4});
    QVERIFY(app.click(QStringLiteral("printOrderSetButton")));
    QTRY_COMPARE(levelAt(list, 3), amber);
    QCOMPARE(tipAt(list, 3), QStringLiteral("解像度がやや低めです（約171dpi）"));
    QCOMPARE(summary->text(), QStringLiteral("印刷に向かない画像：3枚／確認をおすすめ：1枚"));
    list->selectRows({3}); // the amber row selected: its mark keeps its colour and shape
    app.shoot(QStringLiteral("print-preflight-selected"));
    // The same row in 2L: 120 dpi, red, judged again from the facts already read.
    list->selectRows({3});
    QVERIFY(app.choose(QStringLiteral("printSizePop"), k2L));
    QVERIFY(app.click(QStringLiteral("printOrderSetButton")));
    QTRY_COMPARE(levelAt(list, 3), red);
    QCOMPARE(tipAt(list, 3), QStringLiteral("解像度が不足しています（約120dpi）"));
    QCOMPARE(summary->text(), QStringLiteral("印刷に向かない画像：4枚"));
    app.shoot(QStringLiteral("print-preflight"));

    // Send asks first, with the count and the names; cancelled, no sheet opens.
    list->selectRows({});
    app.alerts.enqueueNg();
    QVERIFY(app.click(QStringLiteral("printSendButton")));
    QCOMPARE(app.alerts.count(), 1);
    const AlertRequest asked = app.alerts.last();
    // The question counts what the tab's summary counts first, and gives each file's reason.
    QCOMPARE(asked.message, QStringLiteral("印刷に向かない画像が4枚あります"));
    QCOMPARE(
        asked.information,
        QStringLiteral("b_cmyk.jpg：CMYKの画像です（RGBで保存してください）\n"
                       "c_cut.jpg：画像データが途中で終わっています（壊れているか、コピーの途中"
                       "です）\n"
                       "d_small.jpg：解像度が不足しています（約120dpi）\n"
                       "e_png.jpg：ファイルの中身が拡張子と合っていません（中身はPNG画像です）"
                       "\n\nこのまま送信しますか？"));
    QCOMPARE(asked.okTitle, QStringLiteral("このまま送信"));
    QCOMPARE(asked.ngTitle, QStringLiteral("キャンセル"));
    QCOMPARE(SheetDriver::openSheetName(), QString());
    QVERIFY(app.ctrl->isDragDropOn());

    // Sent anyway: the first sheet opens.
    app.alerts.enqueueOk();
    QVERIFY(app.click(QStringLiteral("printSendButton")));
    QCOMPARE(app.alerts.count(), 2);
    QCOMPARE(SheetDriver::openSheetName(), QStringLiteral("orderInfoWindow"));
    QVERIFY(SheetDriver::cancel(QStringLiteral("orderInfoWindow")));
    QCoreApplication::processEvents();

    // Rows that leave take their marks with them.
    list->selectRows({1, 2, 3, 4});
    QVERIFY(app.click(QStringLiteral("printCancelButton")));
    QTRY_COMPARE(summary->text(), QString());
    QVERIFY(!summary->isVisible());
}

void TestPreflightTabs::etcTabMarksItsFiles() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    app.start(OrderTab::Etc);
    const QStringList files = mixedFolder(app.home.filePath(QStringLiteral("Mixed")));
    QCOMPARE(files.size(), 5);
    const QString memo = app.home.filePath(QStringLiteral("Mixed/memo.txt"));
    QVERIFY(ImageFiles::writeBytes(memo, "注文メモ\n"));
    app.ctrl->fileIntake().dragDropFolderAndFiles({app.home.filePath(QStringLiteral("Mixed"))});
    auto* summary = app.find<QLabel>(QStringLiteral("etcPreflightSummary"));
    QVERIFY(summary != nullptr);
    // No print size on this tab: the three damaged or mislabelled files; the text file is no photo.
    QTRY_COMPARE(summary->text(), QStringLiteral("印刷に向かない画像：3枚"));
    const PreflightBoard& board = app.ctrl->preflightBoard(OrderTab::Etc);
    QCOMPARE(board.rowCount(), 6);
    QCOMPARE(board.warningFileNames(),
             (QStringList{QStringLiteral("b_cmyk.jpg"), QStringLiteral("c_cut.jpg"),
                          QStringLiteral("e_png.jpg")}));
    app.shoot(QStringLiteral("etc-preflight"));
}

namespace {

// What a screen reader reads of the check's mark of a list row: the Status cell of the print
// and school lists, the line of the album, resize and etc file views.
QString spokenMarkOfTable(QTableView* table, int row) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(table);
    if (face == nullptr || face->tableInterface() == nullptr) {
        return {};
    }
    QAccessibleInterface* cell =
        face->tableInterface()->cellAt(row, PrintFileListDataSource::Status);
    return cell != nullptr ? cell->text(QAccessible::Name) : QString();
}

QString spokenText(QWidget* view) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(view);
    if (face == nullptr || face->textInterface() == nullptr) {
        return {};
    }
    return face->textInterface()->text(0, face->textInterface()->characterCount());
}

} // namespace

void TestPreflightTabs::everyTabSpeaksItsMarks() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    const QString folder = app.home.filePath(QStringLiteral("Mixed"));
    const QStringList files = mixedFolder(folder);
    QCOMPARE(files.size(), 5);
    const QString cmykWords =
        QStringLiteral("印刷に向かない：CMYKの画像です（RGBで保存してください）");
    // The list tabs: the mark's cell speaks its level and reason, a sound row says so too.
    for (OrderTab tab : {OrderTab::Print, OrderTab::School}) {
        app.start(tab);
        FileListTabPage* page = tab == OrderTab::Print
                                    ? static_cast<FileListTabPage*>(app.window->printPage())
                                    : static_cast<FileListTabPage*>(app.window->schoolPage());
        Q_EMIT page->dragDropView()->filesDropped(files);
        QTableView* table = page->fileListCtrl()->tableView();
        QTRY_COMPARE(spokenMarkOfTable(table, 1), cmykWords);
        QCOMPARE(spokenMarkOfTable(table, 0), QStringLiteral("問題なし"));
    }
    // The name tabs: the words stand on the name's line, after its mark.
    for (OrderTab tab : {OrderTab::Album, OrderTab::Resize, OrderTab::Etc}) {
        app.start(tab);
        app.ctrl->fileIntake().dragDropFolderAndFiles({folder});
        const QString name = OrderTabPage::prefix(tab) + QStringLiteral("FileInfoTextView");
        auto* view = app.find<QPlainTextEdit>(name);
        QVERIFY(view != nullptr);
        QTRY_VERIFY2(
            spokenText(view).contains(QStringLiteral("b_cmyk.jpg\u3000\u3000") + cmykWords),
            qPrintable(name + u' ' + spokenText(view)));
        const QStringList lines = spokenText(view).split(u'\n');
        QCOMPARE(lines.first(), QStringLiteral("a_sound.jpg"));
        QVERIFY(lines.at(4).startsWith(QStringLiteral(
            "e_png.jpg\u3000\u3000印刷に向かない：ファイルの中身が拡張子と合っていません")));
        if (tab == OrderTab::Etc) {
            app.shoot(QStringLiteral("etc-preflight-words"));
        }
    }
}

void TestPreflightTabs::marksDifferByShapeAndKeepOnSelection() {
    // Told apart without colour: the marks' outlines (their alpha) differ level by level.
    auto outline = [](PreflightLevel level) {
        QImage image =
            PreflightMarks::icon(level).pixmap(32).toImage().convertToFormat(QImage::Format_ARGB32);
        QImage mask(image.size(), QImage::Format_Grayscale8);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                mask.setPixel(x, y, qAlpha(image.pixel(x, y)) > 128 ? 0xFFFFFF : 0);
            }
        }
        return mask;
    };
    const QList<PreflightLevel> levels{PreflightLevel::Warning, PreflightLevel::Caution,
                                       PreflightLevel::Fine};
    for (qsizetype a = 0; a < levels.size(); ++a) {
        for (qsizetype b = a + 1; b < levels.size(); ++b) {
            QVERIFY(outline(levels[a]) != outline(levels[b]));
        }
    }
    // A selected row shows the very same mark: no tint of the selection's colour.
    for (PreflightLevel level : levels) {
        const QIcon icon = PreflightMarks::icon(level);
        QCOMPARE(icon.pixmap(QSize(16, 16), QIcon::Selected).toImage(),
                 icon.pixmap(QSize(16, 16), QIcon::Normal).toImage());
    }
}

void TestPreflightTabs::previewFromTheKeyboard() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    app.start(OrderTab::Print);
    PrintTabPage* page = app.window->printPage();
    PrintFileListCtrl* list = page->fileListCtrl();
    const QString folder = app.home.filePath(QStringLiteral("Frames"));
    QDir().mkpath(folder);
    const QString wide = folder + QStringLiteral("/a_wide.jpg");
    const QString turned = folder + QStringLiteral("/b_turned.jpg");
    QVERIFY(ImageFiles::jpeg(wide, 1800, 1200));
    QVERIFY(ImageFiles::jpeg(turned, 1800, 1200));
    QVERIFY(ImageFiles::addExifOrientation(turned, 6)); // shown upright, 1200 × 1800
    Q_EMIT page->dragDropView()->filesDropped({wide, turned});
    QVERIFY(app.choose(QStringLiteral("printCategoryPop"), QStringLiteral("銀塩プリント")));
    QVERIFY(app.choose(QStringLiteral("printSizePop"), kL));
    list->selectRows({0, 1});
    QVERIFY(app.click(QStringLiteral("printOrderSetButton")));
    QTRY_COMPARE(levelAt(list, 1), int(PreflightLevel::Fine));

    // Space on the selected row opens the preview with the L frame over the photo.
    list->selectRows({0});
    list->tableView()->setFocus();
    QTest::keyClick(list->tableView(), Qt::Key_Space);
    auto* preview =
        app.window->findChild<PhotoPreviewWindow*>(QStringLiteral("photoPreviewWindow"));
    QVERIFY(preview != nullptr);
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->currentRow(), 0);
    QCOMPARE(preview->photoSize(), QSize(1800, 1200));
    const double frameLong = 1200 * 127.0 / 89; // 1712 of the 1800 pixels
    QRectF frame = preview->frameInPhoto();
    QVERIFY2(qAbs(frame.width() - frameLong) < 0.5 && frame.height() == 1200.0 &&
                 qAbs(frame.left() - (1800 - frameLong) / 2) < 0.5 && frame.top() == 0.0,
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(frame.left())
                            .arg(frame.top())
                            .arg(frame.width())
                            .arg(frame.height())));
    // On screen: inside the photo, its height, a band shaded at each side.
    const QRectF photoOnScreen = preview->frameView()->photoOnScreen();
    const QRectF frameOnScreen = preview->frameView()->frameOnScreen();
    QVERIFY(photoOnScreen.contains(frameOnScreen));
    QVERIFY(qAbs(frameOnScreen.height() - photoOnScreen.height()) < 0.5);
    QVERIFY(frameOnScreen.left() > photoOnScreen.left());
    QVERIFY(frameOnScreen.right() < photoOnScreen.right());
    if (const QString dir = qEnvironmentVariable("HALVIX_SHOT_DIR"); !dir.isEmpty()) {
        QTest::qWait(200);
        preview->grab().save(dir + QStringLiteral("/preview-wide.png"));
    }

    // The arrow goes to the next row, the photo turned by its EXIF orientation: the paper
    // turns with it. The list's selection follows.
    QTest::keyClick(preview, Qt::Key_Right);
    QCOMPARE(preview->currentRow(), 1);
    QCOMPARE(list->selectedRowIndexes(), QList<int>{1});
    QCOMPARE(preview->photoSize(), QSize(1200, 1800));
    frame = preview->frameInPhoto();
    QVERIFY(qAbs(frame.height() - frameLong) < 0.5 && frame.width() == 1200.0 &&
            qAbs(frame.top() - (1800 - frameLong) / 2) < 0.5 && frame.left() == 0.0);
    QVERIFY(preview->frameView()->frameOnScreen().top() >
            preview->frameView()->photoOnScreen().top());
    if (const QString dir = qEnvironmentVariable("HALVIX_SHOT_DIR"); !dir.isEmpty()) {
        QTest::qWait(200);
        preview->grab().save(dir + QStringLiteral("/preview-turned.png"));
    }
    // No row after the last: it stays; back with the left arrow.
    QTest::keyClick(preview, Qt::Key_Right);
    QCOMPARE(preview->currentRow(), 1);
    QTest::keyClick(preview, Qt::Key_Left);
    QCOMPARE(preview->currentRow(), 0);
    QCOMPARE(list->selectedRowIndexes(), QList<int>{0});
    // Esc closes it.
    QTest::keyClick(preview, Qt::Key_Escape);
    QTRY_VERIFY(!preview->isVisible());

    // A double click on the etc tab's names opens it there too, at that line.
    app.start(OrderTab::Etc);
    app.ctrl->fileIntake().dragDropFolderAndFiles({folder});
    auto* names = app.find<QPlainTextEdit>(QStringLiteral("etcFileInfoTextView"));
    QVERIFY(names != nullptr);
    QTRY_VERIFY(names->toPlainText().startsWith(QStringLiteral("a_wide.jpg\nb_turned.jpg")));
    QTRY_VERIFY(names->isVisible());
    const QRect second = names->cursorRect(QTextCursor(names->document()->findBlockByNumber(1)));
    QTest::mouseDClick(names->viewport(), Qt::LeftButton, Qt::NoModifier,
                       second.center() + QPoint(4, 0));
    auto* etcPreview =
        app.window->findChild<PhotoPreviewWindow*>(QStringLiteral("photoPreviewWindow"));
    QVERIFY(etcPreview != nullptr);
    QTRY_VERIFY(etcPreview->isVisible());
    QCOMPARE(etcPreview->currentRow(), 1);
    QCOMPARE(etcPreview->photoSize(), QSize(1200, 1800));
    QVERIFY(etcPreview->frameInPhoto().isEmpty()); // no print size on this tab
    QTest::keyClick(etcPreview, Qt::Key_Up);
    QCOMPARE(names->textCursor().blockNumber(), 0);
    QTest::keyClick(etcPreview, Qt::Key_Escape);
    QTRY_VERIFY(!etcPreview->isVisible());
    // Space on the line with the cursor opens it again.
    names->setFocus();
    QTest::keyClick(names, Qt::Key_Space);
    QTRY_VERIFY(etcPreview->isVisible());
    QCOMPARE(etcPreview->currentRow(), 0);
    QTest::keyClick(etcPreview, Qt::Key_Escape);
}

QTEST_MAIN(TestPreflightTabs)
#include "tst_PreflightTabs.moc"
