#include "service/FileDownListDataSource.h"

#include <QSignalSpy>
#include <QtTest>

// Reading the lab's DOS-style folder listing into the rows of the download window.
class TestFileDownList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listingKeepsWholeNamesAndSkipsFoldersInfoAndShortLines() {
        const QString listing =
            QStringLiteral("07-26-12  10:15PM              1234567 template one.zip\r\n"
                           "07-26-12  10:15PM       <DIR>          sub folder\r\n"
                           "07-26-12  10:15PM                   42 1234.txt\r\n"
                           "07-26-12  10:15PM                 5000 two  blanks  inside.pdf\r\n"
                           "07-26-12  10:15PM                  300\r\n"
                           "07-26-12  10:15PM                  777 お知らせ 2024.jpg\n"
                           "\r\n");
        QVariantMap history;
        history.insert(QStringLiteral("お知らせ 2024.jpg"), QStringLiteral("2024/01/01 10:00:00"));
        const FileDownListing parsed =
            FileDownListDataSource::parseListing(listing, QStringLiteral("1234"), history);
        QVERIFY(parsed.hasInfoFile);
        QVERIFY(parsed.refusedNames.isEmpty());
        QCOMPARE(parsed.rows.size(), 3);
        QCOMPARE(parsed.rows.at(0).value("FileName").toString(),
                 QStringLiteral("template one.zip"));
        QCOMPARE(parsed.rows.at(0).value("FileSize").toString(), QStringLiteral("1234567"));
        QCOMPARE(parsed.rows.at(0).value("Check").toString(), QStringLiteral("1"));
        QCOMPARE(parsed.rows.at(1).value("FileName").toString(),
                 QStringLiteral("two  blanks  inside.pdf"));
        QCOMPARE(parsed.rows.at(2).value("FileName").toString(),
                 QStringLiteral("お知らせ 2024.jpg"));
        QCOMPARE(parsed.rows.at(2).value("Check").toString(), QStringLiteral("0")); // in history
    }

    void unsafeNamesAreRefused() {
        const QString listing = QStringLiteral("01-01-20  09:00AM  10 ok.zip\n"
                                               "01-01-20  09:00AM  10 -o evil\n"
                                               "01-01-20  09:00AM  10 ../up.zip\n"
                                               "01-01-20  09:00AM  10 a..b\n"
                                               "01-01-20  09:00AM  10 dir/name.zip\n"
                                               "01-01-20  09:00AM  10 back\\slash\n"
                                               "01-01-20  09:00AM  10 bell\x07.zip\n"
                                               "01-01-20  09:00AM  10 {a,b}[1-2].zip\n");
        const FileDownListing parsed =
            FileDownListDataSource::parseListing(listing, QStringLiteral("1"), {});
        QStringList names;
        for (const QVariantMap& row : parsed.rows)
            names.append(row.value("FileName").toString());
        // Glob characters are plain characters: each file is fetched by its own URL.
        QCOMPARE(names, (QStringList{QStringLiteral("ok.zip"), QStringLiteral("{a,b}[1-2].zip")}));
        QCOMPARE(parsed.refusedNames.size(), 6);
        QVERIFY(!FileDownListDataSource::isSafeFileName(QString()));
        QVERIFY(!FileDownListDataSource::isSafeFileName(QStringLiteral("tab\tname")));
        QVERIFY(!FileDownListDataSource::isSafeFileName(QStringLiteral("del\x7fname")));
        QVERIFY(FileDownListDataSource::isSafeFileName(QStringLiteral(".hidden")));
    }

    void marksSizesAndRefreshSignal() {
        FileDownListDataSource source;
        QSignalSpy refresh(&source, &FileDownListDataSource::viewRefrash);
        const FileDownListing parsed = FileDownListDataSource::parseListing(
            QStringLiteral("01-01-20  09:00AM  1500 a b.zip\n01-01-20  09:00AM  2500 c.zip\n"
                           "01-01-20  09:00AM  xx d.zip\n"),
            QStringLiteral("1"), {});
        source.setFileInfoArray(parsed.rows);
        QCOMPARE(source.rowCount(), 3);
        QCOMPARE(source.columnCount(), 1);
        QCOMPARE(source.data(source.index(0, 0)).toString(), QStringLiteral("a b.zip (1500 byte)"));
        QVERIFY(source.isCheckFile());
        QCOMPARE(source.checkFilesStr(), QStringLiteral("a b.zip,c.zip,d.zip"));
        QCOMPARE(source.checkFilesSize(), 4000.0); // an unreadable size counts 0

        const int before = static_cast<int>(refresh.count());
        QVERIFY(source.setData(source.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(refresh.count(), before + 1);
        QCOMPARE(source.checkFiles(),
                 (QStringList{QStringLiteral("a b.zip"), QStringLiteral("d.zip")}));
        QCOMPARE(source.checkFileSizes(), (QList<double>{1500, 0}));
        QCOMPARE(source.data(source.index(1, 0), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(source.flags(source.index(0, 0)).testFlag(Qt::ItemIsUserCheckable));

        source.clearCheck();
        QVERIFY(!source.isCheckFile());
        QCOMPARE(source.checkFilesSize(), 0.0);
        QVERIFY(source.checkFilesStr().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFileDownList)
#include "tst_FileDownList.moc"
