#include "TestHome.h"
#include "app/AppCtrl.h"
#include "ui/MainWindow.h"

#include <QTabWidget>
#include <QtTest>

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void titleAndTabs() {
        TestHome home;
        AppCtrl ctrl({QStringLiteral("halvix2")});
        MainWindow w(ctrl);
        QCOMPARE(w.windowTitle(), QStringLiteral("HALVIX"));
        QTabWidget* tabs = w.mainTabView();
        QVERIFY(tabs);
        const QStringList expected = {QStringLiteral("プリント"), QStringLiteral("スクール"),
                                      QStringLiteral("アルバム"), QStringLiteral("リサイズ"),
                                      QStringLiteral("その他")};
        QCOMPARE(tabs->count(), expected.size());
        for (int i = 0; i < tabs->count(); ++i)
            QCOMPARE(tabs->tabText(i), expected.at(i));
        QCOMPARE(MainWindow::tabLabels(), expected);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"
