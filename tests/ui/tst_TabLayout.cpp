// The order tabs use the window's room: on a large screen the height the form does not need goes
// to the files, not to grey under the form, and the captions of the tabs that take one selection
// stand in one column. With HALVIX_SHOT_DIR set (best with QT_QPA_PLATFORM=xcb under
// xvfb-run -s "-screen 0 1920x1080x24") every tab is photographed at 1024×700 and 1920×1080.
#include "AppShellFixture.h"
#include "ui/AlbumTabPage.h"
#include "ui/DragDropScrollView.h"
#include "ui/OrderTabPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>

using namespace shell;

namespace {

const QList<QSize> kSizes{QSize(1024, 700), QSize(1920, 1080)};

void settle(App& app, const QSize& size) {
    app.window->resize(size);
    QTest::qWait(150);
    QCoreApplication::processEvents();
}

// For looking at it: HALVIX_SHOT_DIR keeps a picture of the window as it is now.
void shoot(App& app, const QString& name) {
    const QString dir = qEnvironmentVariable("HALVIX_SHOT_DIR");
    if (dir.isEmpty()) {
        return;
    }
    QTest::qWait(150);
    app.window->grab().save(QStringLiteral("%1/%2-%3x%4.png")
                                .arg(dir, name)
                                .arg(app.window->width())
                                .arg(app.window->height()));
}

OrderTabPage* page(App& app, OrderTab tab) {
    return app.find<OrderTabPage>(OrderTabPage::prefix(tab) + QStringLiteral("TabPage"));
}

// The captions of the form's left column on the page: the visible ones with one of these texts
// or object names.
QList<QLabel*> leftCaptions(QWidget* in, const QStringList& textsOrNames) {
    QList<QLabel*> found;
    for (QLabel* label : in->findChildren<QLabel*>()) {
        if (label->isVisibleTo(in) &&
            (textsOrNames.contains(label->text()) || textsOrNames.contains(label->objectName()))) {
            found.append(label);
        }
    }
    return found;
}

// The captions of the left column end at one line, however deep in the layout they sit.
void checkCaptionsAligned(QWidget* in, const QList<QLabel*>& captions, int expected,
                          const QString& what) {
    QCOMPARE(captions.size(), expected);
    QStringList edges;
    QSet<int> rights;
    bool textRight = true;
    for (QLabel* caption : captions) {
        const int right = caption->mapTo(in, QPoint(caption->width(), 0)).x();
        edges.append(QStringLiteral("%1:%2").arg(caption->text()).arg(right));
        rights.insert(right);
        textRight = textRight && (caption->alignment() & Qt::AlignRight) != 0;
    }
    QVERIFY2(rights.size() == 1 && textRight,
             qPrintable(what + QStringLiteral(": ") + edges.join(u' ')));
}

// The album's form shows whole on a large window with no grey left under its last row, and the
// files above get the height it does not need.
void checkAlbumForm(App& app, const QString& what) {
    OrderTabPage* album = page(app, OrderTab::Album);
    auto* scroll = app.find<QScrollArea>(QStringLiteral("albumFormScroll"));
    QWidget* form = scroll->widget();
    int lowest = 0;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (w->isVisibleTo(form)) {
            lowest = std::max(lowest, w->mapTo(form, QPoint(0, w->height())).y());
        }
    }
    const int grey = scroll->viewport()->height() - lowest;
    const QString state = QStringLiteral("%1 at %2x%3: page %4, files %5, form %6, rows end at %7")
                              .arg(what)
                              .arg(app.window->width())
                              .arg(app.window->height())
                              .arg(album->height())
                              .arg(album->dragDropView()->height())
                              .arg(scroll->viewport()->height())
                              .arg(lowest);
    QVERIFY2(grey <= album->fontMetrics().height() / 2, qPrintable(state));
    if (app.window->height() >= 1000) {
        QVERIFY2(!scroll->verticalScrollBar()->isVisible(), qPrintable(state));
        QVERIFY2(album->dragDropView()->height() > album->height() / 2, qPrintable(state));
    }
}

} // namespace

class TestTabLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyTabUsesTheRoom();
};

void TestTabLayout::everyTabUsesTheRoom() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    App app;
    const QString folder = home.filePath(QStringLiteral("photos"));
    QStringList files;
    for (int i = 1; i <= 24; ++i) {
        files.append(folder + QStringLiteral("/p%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        QVERIFY(writeJpeg(files.last(), 160, 120, i * 10));
    }

    // The print and school tabs, empty and with files.
    for (OrderTab tab : {OrderTab::Print, OrderTab::School}) {
        QVERIFY(app.selectTab(tab));
        const QString name = OrderTabPage::prefix(tab);
        for (const QSize& size : kSizes) {
            settle(app, size);
            shoot(app, name + QStringLiteral("-empty"));
        }
        QVERIFY(
            dropFiles(app.find<QWidget>(name + QStringLiteral("DragDropView")), files.mid(0, 6)));
        for (const QSize& size : kSizes) {
            settle(app, size);
            shoot(app, name + QStringLiteral("-files"));
        }
    }

    // The album tab: empty, then with a folder and a product whose options show.
    QVERIFY(app.selectTab(OrderTab::Album));
    for (const QSize& size : kSizes) {
        settle(app, size);
        shoot(app, QStringLiteral("album-empty"));
    }
    QVERIFY(dropFiles(app.find<QWidget>(QStringLiteral("albumDragDropView")), {folder}));
    for (const QSize& size : kSizes) {
        settle(app, size);
        shoot(app, QStringLiteral("album-folder"));
    }
    const QStringList albumCaptions{
        QStringLiteral("選択"),           QStringLiteral("メモ"),
        QStringLiteral("アルバムセット"), QStringLiteral("オプション"),
        QStringLiteral("alAlbumLabel"),   QStringLiteral("alSizeLabel"),
        QStringLiteral("alPageLabel"),    QStringLiteral("alOrderNumLabel"),
        QStringLiteral("alInpMenLabel"),  QStringLiteral("alInpRamiLabel"),
        QStringLiteral("alBBStyleLabel"), QStringLiteral("alBaseColLabel")};
    OrderTabPage* album = page(app, OrderTab::Album);
    // A product of many rows and options, then one of few rows.
    QVERIFY(choose(app, QStringLiteral("alAlbumPop"), QStringLiteral("婚礼デザインアルバム")));
    QVERIFY(choose(app, QStringLiteral("alSizePop"), QStringLiteral("30cmスクエア")));
    QVERIFY(choose(app, QStringLiteral("alBoxPop"), QStringLiteral("桐箱")));
    QVERIFY(choose(app, QStringLiteral("alMiniPop"), QStringLiteral("ミニブック（15cm）")));
    for (const QSize& size : kSizes) {
        settle(app, size);
        shoot(app, QStringLiteral("album-options"));
        checkAlbumForm(app, QStringLiteral("wedding album"));
        checkCaptionsAligned(album, leftCaptions(album, albumCaptions), 10,
                             QStringLiteral("album"));
        if (QTest::currentTestFailed()) {
            return;
        }
        // The units after the counts at the right edge show whole.
        for (const char* name : {"alOrderUnitBoxLabel", "alOrderUnitMiniLabel"}) {
            auto* unit = app.find<QLabel>(QString::fromLatin1(name));
            QVERIFY(unit->isVisible());
            QVERIFY2(unit->width() >= unit->fontMetrics().height(), name);
        }
    }
    QVERIFY(choose(app, QStringLiteral("alAlbumPop"), QStringLiteral("RAW現像")));
    for (const QSize& size : kSizes) {
        settle(app, size);
        shoot(app, QStringLiteral("album-short"));
        checkAlbumForm(app, QStringLiteral("RAW"));
        checkCaptionsAligned(album, leftCaptions(album, albumCaptions),
                             int(leftCaptions(album, albumCaptions).size()),
                             QStringLiteral("album, RAW"));
        if (QTest::currentTestFailed()) {
            return;
        }
    }

    for (OrderTab tab : {OrderTab::Resize, OrderTab::Etc}) {
        QVERIFY(app.selectTab(tab));
        const QString name = OrderTabPage::prefix(tab);
        OrderTabPage* p = page(app, tab);
        for (const QSize& size : kSizes) {
            settle(app, size);
            shoot(app, name + QStringLiteral("-empty"));
        }
        QVERIFY(dropFiles(app.find<QWidget>(name + QStringLiteral("DragDropView")), {folder}));
        for (const QSize& size : kSizes) {
            settle(app, size);
            shoot(app, name + QStringLiteral("-folder"));
            if (tab == OrderTab::Resize) {
                checkCaptionsAligned(
                    p,
                    leftCaptions(p, {QStringLiteral("選択"), QStringLiteral("メモ"),
                                     QStringLiteral("カテゴリ"), QStringLiteral("サイズ"),
                                     QStringLiteral("面質"), QStringLiteral("商品"),
                                     QStringLiteral("オプション")}),
                    7, name);
            } else {
                checkCaptionsAligned(
                    p, leftCaptions(p, {QStringLiteral("選択"), QStringLiteral("メモ")}), 2, name);
            }
        }
    }

    // The three tabs that take one selection: 選択 and its field start at one x on each.
    for (const QSize& size : kSizes) {
        settle(app, size);
        QStringList starts;
        QSet<int> xs;
        for (OrderTab tab : {OrderTab::Album, OrderTab::Resize, OrderTab::Etc}) {
            QVERIFY(app.selectTab(tab));
            QTest::qWait(50);
            auto* field =
                app.find<QLineEdit>(OrderTabPage::prefix(tab) + QStringLiteral("ImageFolderPath"));
            const int x = field->mapTo(app.window.get(), QPoint(0, 0)).x();
            starts.append(QStringLiteral("%1:%2").arg(OrderTabPage::prefix(tab)).arg(x));
            xs.insert(x);
        }
        QVERIFY2(xs.size() == 1, qPrintable(starts.join(u' ')));
    }
}

QTEST_MAIN(TestTabLayout)
#include "tst_TabLayout.moc"
