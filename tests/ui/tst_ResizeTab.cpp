// The resize tab as a studio uses it: the controls presenting the resize form and the box that
// asks for resizing, driven by the controls' names against the shipped catalogue. The form's
// chain and the box's rules themselves are tested without a window (tests/app/tst_ResizeForm).
#include "AppWindowFixture.h"
#include "ui/DragDropScrollView.h"
#include "ui/ResizeTabPage.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kPlease = QStringLiteral("選択してください...");
const QString kPrintResize = QStringLiteral("プリント（リサイズ）");

} // namespace

class TestResizeTab : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resizeProductsAndTheBox();
    void sendNeedsFilesAndAProduct();
};

void TestResizeTab::resizeProductsAndTheBox() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    app.start(OrderTab::Resize);
    auto* box = app.find<QCheckBox>(QStringLiteral("resizeResizeExeCheck"));
    auto* send = app.find<QPushButton>(QStringLiteral("resizeResizeAndSendButton"));
    QCOMPARE(app.find<QComboBox>(QStringLiteral("resizeCategoryPop"))->currentText(), kPlease);
    QVERIFY(!box->isEnabled());
    QVERIFY(!box->isChecked());

    // A resize product ticks the box and names the send button after it.
    QVERIFY(app.choose(QStringLiteral("resizeCategoryPop"), kPrintResize));
    QCOMPARE(app.find<QComboBox>(QStringLiteral("resizeSizePop"))->currentText(),
             QStringLiteral("Lサイズ"));
    QVERIFY(box->isEnabled());
    QVERIFY(box->isChecked());
    QCOMPARE(send->text(), QStringLiteral("リサイズして送信"));
    QCOMPARE(UserDef::resizeDic()->value(QStringLiteral("ResizeResizeCbKey")).toString(),
             QStringLiteral("On"));
    QVERIFY(app.ctrl->resizeExeChecked());

    // Unticked by the user, it stays so: across refreshes and from one resize size to another.
    box->click();
    QVERIFY(!box->isChecked());
    QCOMPARE(send->text(), QStringLiteral("送　信"));
    QVERIFY(!UserDef::resizeDic()->contains(QStringLiteral("ResizeResizeCbKey")));
    app.ctrl->comViewRefresh();
    QVERIFY(app.choose(QStringLiteral("resizeSizePop"), QStringLiteral("2Lサイズ")));
    QVERIFY(!box->isChecked());
    QVERIFY(box->isEnabled());

    // A size without resizing unticks and disables it; a resize size after it ticks it again.
    QVERIFY(app.choose(QStringLiteral("resizeSizePop"), QStringLiteral("四切（リサイズなし）")));
    QVERIFY(!box->isChecked());
    QVERIFY(!box->isEnabled());
    QVERIFY(app.choose(QStringLiteral("resizeSizePop"), QStringLiteral("六切")));
    QVERIFY(box->isChecked());

    // Count and memo go into the record the job reads.
    auto* count = app.find<QComboBox>(QStringLiteral("resizeOrderNum"));
    count->lineEdit()->setText(QStringLiteral("-3"));
    Q_EMIT count->lineEdit()->editingFinished();
    QCOMPARE(count->currentText(), QStringLiteral("3"));
    app.find<QPlainTextEdit>(QStringLiteral("resizeOrderMemo"))
        ->setPlainText(QStringLiteral("よろしく"));
    QCOMPARE(UserDef::resizeDic()->value(QStringLiteral("ResizeOrderNumKey")).toString(),
             QStringLiteral("3"));
    QCOMPARE(UserDef::resizeDic()->value(QStringLiteral("ResizeOrderMemoKey")).toString(),
             QStringLiteral("よろしく"));
}

void TestResizeTab::sendNeedsFilesAndAProduct() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    app.start(OrderTab::Resize);
    const QString folder = app.home.filePath(QStringLiteral("Shoot"));
    QDir().mkpath(folder);
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QVERIFY(image.save(folder + QStringLiteral("/a.jpg"), "JPEG"));
    QVERIFY(image.save(folder + QStringLiteral("/b.jpg"), "JPEG"));

    auto* send = app.find<QPushButton>(QStringLiteral("resizeResizeAndSendButton"));
    QVERIFY(!send->isEnabled());
    Q_EMIT app.window->resizePage()->dragDropView()->filesDropped({folder});
    QCOMPARE(app.find<QLineEdit>(QStringLiteral("resizeImageFolderPath"))->text(), folder);
    QCOMPARE(app.find<QPlainTextEdit>(QStringLiteral("resizeFileInfoTextView"))->toPlainText(),
             QStringLiteral("a.jpg\nb.jpg\n"));
    QVERIFY(app.find<QLabel>(QStringLiteral("resizeImageFileNum"))
                ->text()
                .startsWith(QStringLiteral("2 ファイル　")));
    QVERIFY(!app.find<QLabel>(QStringLiteral("resizeDragDropMsg"))->isVisible());
    // Files, but the category still asks to be chosen.
    QVERIFY(!send->isEnabled());
    QVERIFY(app.choose(QStringLiteral("resizeCategoryPop"), kPrintResize));
    QVERIFY(send->isEnabled());
    app.shoot(QStringLiteral("resize-tab"));
    QVERIFY(app.choose(QStringLiteral("resizeCategoryPop"), kPlease));
    QVERIFY(!send->isEnabled());
}

QTEST_MAIN(TestResizeTab)
#include "tst_ResizeTab.moc"
