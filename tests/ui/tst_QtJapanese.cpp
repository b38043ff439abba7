// Qt's own dialogs speak Japanese like the rest of the program: the file chooser the studio
// picks folders and Kinelo files with, and the standard buttons.
#include "ui/QtJapanese.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestQtJapanese : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fileChooserAndButtonsAreJapanese();
};

void TestQtJapanese::fileChooserAndButtonsAreJapanese() {
    QDialogButtonBox before(QDialogButtonBox::Cancel);
    QCOMPARE(before.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));

    QVERIFY2(installQtJapanese(*qApp),
             "Qt's Japanese catalogue (qt6-translations-l10n) is missing");
    QCOMPARE(QLocale().language(), QLocale::Japanese);
    QDialogButtonBox after(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    QVERIFY(
        after.button(QDialogButtonBox::Cancel)->text().startsWith(QStringLiteral("キャンセル")));

    // The chooser as the program opens it (Qt's own widgets, as on a bare desktop).
    QFileDialog chooser(nullptr, QStringLiteral("写真の選択"));
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setFileMode(QFileDialog::ExistingFile);
    QStringList texts;
    for (const QLabel* label : chooser.findChildren<QLabel*>()) {
        texts << label->text();
    }
    for (const QPushButton* button : chooser.findChildren<QPushButton*>()) {
        texts << button->text();
    }
    // The chooser's type column: folders too, which Qt's own catalogue leaves in English.
    const QAbstractFileIconProvider icons;
    QCOMPARE(icons.type(QFileInfo(QDir::tempPath())), QStringLiteral("フォルダ"));
    for (const QString& english :
         {QStringLiteral("Look in:"), QStringLiteral("File &name:"),
          QStringLiteral("Files of type:"), QStringLiteral("&Open"), QStringLiteral("Cancel")}) {
        QVERIFY2(!texts.contains(english), qPrintable(texts.join(u'|')));
    }
}

QTEST_MAIN(TestQtJapanese)
#include "tst_QtJapanese.moc"
