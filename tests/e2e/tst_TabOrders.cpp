// Orders placed by hand on the print and resize tabs, from the drop to the archive on the lab's
// server: the controls are driven by name, the sheets answered as a user would.
#include "../job/PipelineTestKit.h"
#include "AppWindowFixture.h"
#include "SheetDriver.h"
#include "job/JobInfo.h"
#include "ui/DragDropScrollView.h"
#include "ui/FileListTabPage.h"
#include "ui/PrintFileListCtrl.h"
#include "ui/ResizeTabPage.h"
#include "util/PlistVariant.h"

#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kPassword = QStringLiteral("qelvoxa");
const QString kRemote = QStringLiteral("/ntordrsm2/");
const QString kArchive = QStringLiteral("1234_001122AABBCC_0000001.zip");

bool writeJpeg(const QString& path, int width, int height, int shade) {
    QDir().mkpath(QFileInfo(path).path());
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixelColor(x, y, QColor((x + shade) % 256, (y * 3) % 256, (x ^ y) % 256));
        }
    }
    return image.save(path, "JPEG", 90);
}

void typeCount(AppWindowFixture& app, const QString& name, const QString& text) {
    auto* box = app.find<QComboBox>(name);
    box->lineEdit()->setText(text);
    Q_EMIT box->lineEdit()->editingFinished();
}

// Answers the memo sheet that is open now.
bool answerMemo(FileListTabPage* page, const QString& text) {
    QDialog* sheet = page->memoInputWindow();
    if (sheet == nullptr) {
        return false;
    }
    sheet->findChild<QPlainTextEdit*>(QStringLiteral("printMemoInputContentTextView"))
        ->setPlainText(text);
    sheet->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    QCoreApplication::processEvents();
    return true;
}

// The order information and the order action "send now", then the job to its end.
bool confirmSheetsAndWait(AppWindowFixture& app) {
    if (!SheetDriver::confirm(QStringLiteral("orderInfoWindow"))) {
        return false;
    }
    QCoreApplication::processEvents();
    // The job's last word is jobFinished; waiting for it (not for the running flag, which drops
    // while the job still hands its last calls to this thread) never blocks the job.
    QSignalSpy finished(app.ctrl.get(), &AppCtrl::jobFinished);
    if (!SheetDriver::chooseOrderAction(301) ||
        !SheetDriver::confirm(QStringLiteral("orderAcWindow"))) {
        return false;
    }
    if (!finished.wait(120000)) {
        return false;
    }
    QCoreApplication::processEvents();
    return finished.first().first().toBool();
}

QByteArray headValue(const QByteArray& report, const char* key) {
    const QRegularExpression line(QStringLiteral("%1=([^\r]*)\r\n").arg(QLatin1String(key)));
    return line.match(QString::fromLatin1(report)).captured(1).toLatin1();
}

} // namespace

class TestTabOrders : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void printOrderOfThreeRowsReachesTheLab();
    void resizeOrderArrivesScaled();
};

void TestTabOrders::printOrderOfThreeRowsReachesTheLab() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    app.start(OrderTab::Print);
    PrintTabPage* page = app.window->printPage();
    PrintFileListCtrl* list = page->fileListCtrl();
    const QString folder = app.home.filePath(QStringLiteral("Wedding"));
    const QStringList files{folder + QStringLiteral("/a.jpg"), folder + QStringLiteral("/b.jpg"),
                            folder + QStringLiteral("/c.jpg")};
    for (int i = 0; i < files.size(); ++i) {
        QVERIFY(writeJpeg(files[i], 300, 200, i * 50));
    }
    Q_EMIT page->dragDropView()->filesDropped(files);
    QCOMPARE(list->fileCount(), 3);

    // a and b as L prints on gloss; c twice in 2L; a once more in 2L, with memos.
    QVERIFY(app.choose(QStringLiteral("printCategoryPop"), QStringLiteral("銀塩プリント")));
    list->selectRows({0, 1});
    QVERIFY(app.click(QStringLiteral("printOrderSetButton")));
    list->selectRows({2});
    QVERIFY(app.choose(QStringLiteral("printSizePop"), QStringLiteral("2Lサイズ（127×178）")));
    QVERIFY(app.choose(QStringLiteral("printSurfacePop"), QStringLiteral("ラスター")));
    typeCount(app, QStringLiteral("printOrderNum"), QStringLiteral("2"));
    QVERIFY(app.click(QStringLiteral("printOrderSetButton")));
    list->selectRows({0});
    QVERIFY(app.click(QStringLiteral("printAnotherSizeButton")));
    QCOMPARE(list->selectedRowIndexes(), QList<int>{1});
    QVERIFY(app.choose(QStringLiteral("printSizePop"), QStringLiteral("2Lサイズ（127×178）")));
    QVERIFY(app.click(QStringLiteral("printOrderSetButton")));
    list->selectRows({0});
    QVERIFY(app.click(QStringLiteral("printAddMemoOneFileButton")));
    QVERIFY(answerMemo(page, QStringLiteral("トリミングなし")));
    QVERIFY(app.click(QStringLiteral("printAddMemoAllButton")));
    QVERIFY(answerMemo(page, QStringLiteral("よろしくお願いします\n二行目")));
    QCOMPARE(list->fileCount(), 4);

    QVERIFY(app.click(QStringLiteral("printSendButton")));
    // The records the report writer reads, as Send left them.
    const QVariantMap printDic = UserDef::printDic().value_or(QVariantMap());
    const QVariantList orderArray = UserDef::printOrderArray().value_or(QVariantList());
    const QStringList selectFiles = app.ctrl->selectFilesOf(OrderTab::Print);
    QCOMPARE(orderArray.size(), 4);
    QCOMPARE(selectFiles, (QStringList{files[0], files[0], files[1], files[2]}));
    QVERIFY(confirmSheetsAndWait(app));
    // These 300 × 200 photos are too small for their prints: Send asked first (the recorder
    // answers "このまま送信"), and the order went all the same.
    QCOMPARE(app.alerts.messages(), (QStringList{QStringLiteral("印刷に向かない画像が3枚あります"),
                                                 QStringLiteral("データを送信しました")}));

    // On the server; the tab is emptied for the next order.
    QCOMPARE(app.lab.ftpFolderFiles(kRemote), QStringList{kArchive});
    QVERIFY(list->isNoFile());
    QVERIFY(!page->memo().has_value());
    QCOMPARE(app.find<QPushButton>(QStringLiteral("printAddMemoAllButton"))->text(),
             QStringLiteral("添付メモ"));

    const QString served = app.lab.ftpLocalPath(kRemote) + u'/' + kArchive;
    const QStringList entries = kit::zipEntries(served);
    QCOMPARE(entries.first(), QStringLiteral("PrintReport4.txt"));
    for (const QString& name :
         {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")}) {
        QVERIFY2(std::any_of(entries.cbegin(), entries.cend(),
                             [&](const QString& e) { return e.endsWith(name); }),
                 qPrintable(entries.join(u' ')));
    }
    const std::optional<QByteArray> report =
        kit::zipContent(served, QStringLiteral("PrintReport4.txt"), kPassword);
    QVERIFY(report);

    // The same records through the report writer: the same bytes, the moment aside.
    UserDef::setPrintDic(printDic);
    UserDef::setPrintOrderArray(orderArray);
    UserDef::setObject(qint64(0), QStringLiteral("BagNo"));
    UserDef::setObject(QStringLiteral("プリント"), QStringLiteral("MainTabLabel"));
    const JobInfo info(OrderTab::Print, selectFiles, QString(), app.ctrl->productData(), nullptr);
    QByteArray expected = Tool::encodeText(info.printReport(), TextEncoding::ShiftJis);
    expected.replace("CURRENT_DATE=" + info.dateStr().toLatin1(),
                     "CURRENT_DATE=" + headValue(*report, "CURRENT_DATE"));
    expected.replace("CURRENT_TIME=" + info.timeStr().toLatin1(),
                     "CURRENT_TIME=" + headValue(*report, "CURRENT_TIME"));
    QCOMPARE(*report, expected);
    // What the rows asked for is in it: four units, the duplicated file twice, both memos.
    QVERIFY(report->contains("UNIT_INDEX=4\r\n"));
    QCOMPARE(report->count("PRODUCT_IMAGE_FILE_NAME=a.jpg\r\n"), 2);
    QVERIFY(report->contains("UNIT_PRODUCT_CODE=8814,1002,11\r\n"));
    QVERIFY(report->contains(Tool::encodeText(QStringLiteral("UNIT_Instraction=トリミングなし\r\n"),
                                              TextEncoding::ShiftJis)));
    QVERIFY(report->contains(
        Tool::encodeText(QStringLiteral("Special_Instraction=よろしくお願いします\r\n二行目\r\n"),
                         TextEncoding::ShiftJis)));
}

void TestTabOrders::resizeOrderArrivesScaled() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    app.start(OrderTab::Resize);
    const QString folder = app.home.filePath(QStringLiteral("Index"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/wide.jpg"), 640, 400, 10));
    QVERIFY(writeJpeg(folder + QStringLiteral("/tall.jpg"), 300, 500, 90));
    const QByteArray pdf = "%PDF-1.4\n% order sheet\n1 0 obj << >> endobj\ntrailer << >>\n%%EOF\n";
    QVERIFY(kit::writeText(folder + QStringLiteral("/sheet.pdf"), pdf));
    Q_EMIT app.window->resizePage()->dragDropView()->filesDropped({folder});
    QCOMPARE(app.ctrl->selectFilesOf(OrderTab::Resize).size(), 3);

    // The index print is a resize product of 101 pixels: the box ticks itself.
    QVERIFY(
        app.choose(QStringLiteral("resizeCategoryPop"), QStringLiteral("インデックス・グッズ")));
    QVERIFY(app.find<QCheckBox>(QStringLiteral("resizeResizeExeCheck"))->isChecked());
    QVERIFY(app.click(QStringLiteral("resizeResizeAndSendButton")));
    QVERIFY(confirmSheetsAndWait(app));
    QCOMPARE(app.alerts.messages(), QStringList{QStringLiteral("データを送信しました")});
    QCOMPARE(app.lab.ftpFolderFiles(kRemote), QStringList{kArchive});

    const QString served = app.lab.ftpLocalPath(kRemote) + u'/' + kArchive;
    QStringList entries = kit::zipEntries(served);
    QCOMPARE(entries.takeFirst(), QStringLiteral("PrintReport4.txt"));
    entries.sort();
    QCOMPARE(entries,
             (QStringList{QStringLiteral("Index/sheet.pdf"), QStringLiteral("Index/tall.jpg"),
                          QStringLiteral("Index/wide.jpg")}));
    QCOMPARE(kit::zipContent(served, QStringLiteral("Index/sheet.pdf"), kPassword), pdf);
    const QString unpacked = app.home.filePath(QStringLiteral("unpacked"));
    QDir().mkpath(unpacked);
    // Short side 101 pixels, the long side in proportion (640×400 and 300×500 before).
    for (const auto& [entry, longSide] : {std::pair{QStringLiteral("Index/wide.jpg"), 161.6},
                                          std::pair{QStringLiteral("Index/tall.jpg"), 168.3}}) {
        const std::optional<QByteArray> data = kit::zipContent(served, entry, kPassword);
        QVERIFY(data);
        const QString path = unpacked + u'/' + QFileInfo(entry).fileName();
        QVERIFY(kit::writeText(path, *data));
        const ProcessResult result =
            runProcess(qEnvironmentVariable("HALVIX_SIPS"),
                       {QStringLiteral("-g"), QStringLiteral("allxml"), path});
        QVERIFY2(result.succeeded(), result.stderrData.constData());
        const QVariantMap facts = plistFromData(result.stdoutData).value_or(QVariant()).toMap();
        QCOMPARE(std::min(facts.value(QStringLiteral("pixelWidth")).toLongLong(),
                          facts.value(QStringLiteral("pixelHeight")).toLongLong()),
                 qint64(101));
        const qint64 longest = std::max(facts.value(QStringLiteral("pixelWidth")).toLongLong(),
                                        facts.value(QStringLiteral("pixelHeight")).toLongLong());
        QVERIFY2(std::abs(double(longest) - longSide) < 1.0, qPrintable(QString::number(longest)));
        const bool wide = facts.value(QStringLiteral("pixelWidth")).toLongLong() > 101;
        QCOMPARE(wide, entry.contains(QStringLiteral("wide")));
    }
}

QTEST_MAIN(TestTabOrders)
#include "tst_TabOrders.moc"
