// The photo check as the studio sees it: a mixed folder dropped on the print tab gets its marks
// and the tab's summary, a new size judges a row again at once, and Send asks before the first
// sheet when a file would likely be rejected.
#include "AppWindowFixture.h"
#include "ImageFiles.h"
#include "SheetDriver.h"
#include "app/PreflightBoard.h"
#include "ui/DragDropScrollView.h"
#include "ui/FileListTabPage.h"
#include "ui/PrintFileListCtrl.h"
#include "ui/PrintFileListDataSource.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QtTest>

class TestPreflightTabs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void printTabMarksJudgesAgainAndAsks();
    void etcTabMarksItsFiles();
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
    QTRY_COMPARE(summary->text(), QStringLiteral("注意が必要な画像：3枚"));
    QVERIFY(summary->isVisible());
    const int fine = int(PreflightLevel::Fine);
    const int red = int(PreflightLevel::Warning);
    const int amber = int(PreflightLevel::Caution);
    QCOMPARE(levelAt(list, 0), fine);
    QCOMPARE(levelAt(list, 1), red);
    QCOMPARE(tipAt(list, 1), QStringLiteral("YCCKカラーの画像です（RGBで保存してください）"));
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
    QCOMPARE(summary->text(), QStringLiteral("注意が必要な画像：4枚"));
    // The same row in 2L: 120 dpi, red, judged again from the facts already read.
    list->selectRows({3});
    QVERIFY(app.choose(QStringLiteral("printSizePop"), k2L));
    QVERIFY(app.click(QStringLiteral("printOrderSetButton")));
    QTRY_COMPARE(levelAt(list, 3), red);
    QCOMPARE(tipAt(list, 3), QStringLiteral("解像度が不足しています（約120dpi）"));
    app.shoot(QStringLiteral("print-preflight"));

    // Send asks first, with the count and the names; cancelled, no sheet opens.
    list->selectRows({});
    app.alerts.enqueueNg();
    QVERIFY(app.click(QStringLiteral("printSendButton")));
    QCOMPARE(app.alerts.count(), 1);
    const AlertRequest asked = app.alerts.last();
    QCOMPARE(asked.message, QStringLiteral("印刷に問題がありそうな画像が4枚あります"));
    QVERIFY(asked.information.startsWith(
        QStringLiteral("b_cmyk.jpg\nc_cut.jpg\nd_small.jpg\ne_png.jpg\n")));
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
    QTRY_COMPARE(summary->text(), QStringLiteral("注意が必要な画像：3枚"));
    const PreflightBoard& board = app.ctrl->preflightBoard(OrderTab::Etc);
    QCOMPARE(board.rowCount(), 6);
    QCOMPARE(board.warningFileNames(),
             (QStringList{QStringLiteral("b_cmyk.jpg"), QStringLiteral("c_cut.jpg"),
                          QStringLiteral("e_png.jpg")}));
    app.shoot(QStringLiteral("etc-preflight"));
}

QTEST_MAIN(TestPreflightTabs)
#include "tst_PreflightTabs.moc"
