#include "AlertRecorder.h"
#include "ImageFiles.h"
#include "app/PreflightBoard.h"
#include "app/PreflightJudge.h"
#include "app/PreflightService.h"
#include "app/PrintFrame.h"
#include "product/PrintSizeTable.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

// The photo check over real files: every warning kind, the resolution bands against catalogue
// sizes, and the checking service that reads the files off the main thread.
class TestPreflight : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void warningKinds();
    void resolutionBands_data();
    void resolutionBands();
    void printSizeNames();
    void colourProfiles();
    void printFrameGeometry();
    void aspectBorders_data();
    void aspectBorders();
    void serviceReadsOnceAndFollowsChanges();
    void serviceForgetsReleasedFiles();
    void boardJudgesRowsAndAsksBeforeSend();
    void questionListsTenThenCounts();
    void replacedFileIsJudgedAgainAtSend();

private:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
    static PreflightVerdict judgeFile(const QString& file, const QString& sizeName = {}) {
        return PreflightJudge::judgeForSizeName(readImageHeader(file), QFileInfo(file).fileName(),
                                                sizeName);
    }
};

void TestPreflight::initTestCase() {
    QVERIFY(dir.isValid());
    QVERIFY(ImageFiles::jpeg(path(QStringLiteral("sound.jpg")), 1800, 1200));
}

void TestPreflight::warningKinds() {
    const QString sound = path(QStringLiteral("sound.jpg"));
    // A sound photo large enough for an L print passes without a word.
    const PreflightVerdict fine = judgeFile(sound, QStringLiteral("Lサイズ（89×127）"));
    QCOMPARE(fine.level, PreflightLevel::Fine);
    QVERIFY(fine.reasons.isEmpty());
    QCOMPARE(fine.dpi, 342);

    auto copyOf = [&](const QString& name) {
        const QString file = path(name);
        QFile::remove(file);
        return QFile::copy(sound, file) ? file : QString();
    };
    struct Case {
        QString file;
        PreflightLevel level;
        QString reason;
    };
    QList<Case> cases;

    const QString cmyk = path(QStringLiteral("cmyk.jpg"));
    QVERIFY(
        ImageFiles::jpeg(cmyk, 300, 200, {QStringLiteral("-colorspace"), QStringLiteral("CMYK")}));
    const QString ycck = path(QStringLiteral("ycck.jpg"));
    QVERIFY(QFile::copy(cmyk, ycck));
    QVERIFY(ImageFiles::patchAdobeTransform(cmyk, 0));
    // CMYK and YCCK say the same to the studio; the exact space is in the tooltip.
    cases.append(
        {cmyk, PreflightLevel::Warning, QStringLiteral("CMYKの画像です（RGBで保存してください）")});
    cases.append(
        {ycck, PreflightLevel::Warning, QStringLiteral("CMYKの画像です（RGBで保存してください）")});
    QVERIFY(judgeFile(ycck).toolTip().endsWith(QStringLiteral("色空間：YCCK（Adobe変換2のJPEG）")));
    QVERIFY(judgeFile(cmyk).toolTip().endsWith(QStringLiteral("色空間：CMYK")));

    const QString twelve = copyOf(QStringLiteral("twelve.jpg"));
    QVERIFY(ImageFiles::patchSofPrecision(twelve, 12));
    cases.append({twelve, PreflightLevel::Warning,
                  QStringLiteral("12ビット精度のJPEGです（8ビットで保存してください）")});

    const QString cut = copyOf(QStringLiteral("cut.jpg"));
    QVERIFY(ImageFiles::truncateTo(cut, QFileInfo(cut).size() / 2));
    cases.append(
        {cut, PreflightLevel::Warning,
         QStringLiteral("画像データが途中で終わっています（壊れているか、コピーの途中です）")});

    const QString empty = path(QStringLiteral("empty.jpg"));
    QVERIFY(ImageFiles::writeBytes(empty, {}));
    cases.append({empty, PreflightLevel::Warning, QStringLiteral("ファイルが空です（0バイト）")});

    const QString png = path(QStringLiteral("png.jpg"));
    QVERIFY(ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("60x40"),
                                 QStringLiteral("xc:#3366aa"), QStringLiteral("PNG24:") + png}));
    cases.append({png, PreflightLevel::Warning,
                  QStringLiteral("ファイルの中身が拡張子と合っていません（中身はPNG画像です）")});
    const QString heic = path(QStringLiteral("heic.jpg"));
    QVERIFY(ImageFiles::writeBytes(heic, QByteArray("\0\0\0\x18"
                                                    "ftypheic\0\0\0\0mif1heic",
                                                    24)));
    cases.append({heic, PreflightLevel::Warning,
                  QStringLiteral("ファイルの中身が拡張子と合っていません（中身はHEIC画像です）")});
    const QString pdf = path(QStringLiteral("pdf.jpg"));
    QVERIFY(ImageFiles::writeBytes(pdf, "%PDF-1.4\n1 0 obj\n<<>>\nendobj\n"));
    cases.append({pdf, PreflightLevel::Warning,
                  QStringLiteral("ファイルの中身が拡張子と合っていません（中身はPDF文書です）")});

    const QString deep = path(QStringLiteral("deep.png"));
    QVERIFY(ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("60x40"),
                                 QStringLiteral("gradient:red-blue"), QStringLiteral("-depth"),
                                 QStringLiteral("16"), QStringLiteral("PNG48:") + deep}));
    cases.append({deep, PreflightLevel::Warning,
                  QStringLiteral("16ビット／チャンネルの画像です（8ビットで保存してください）")});
    const QString alpha = path(QStringLiteral("alpha.png"));
    QVERIFY(ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("60x40"),
                                 QStringLiteral("xc:none"), QStringLiteral("PNG32:") + alpha}));
    cases.append({alpha, PreflightLevel::Caution,
                  QStringLiteral("透明部分（アルファチャンネル）を含む画像です")});
    const QString tiff = path(QStringLiteral("cmyk.tif"));
    QVERIFY(ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("60x40"),
                                 QStringLiteral("gradient:red-blue"), QStringLiteral("-colorspace"),
                                 QStringLiteral("CMYK"), tiff}));
    cases.append(
        {tiff, PreflightLevel::Warning, QStringLiteral("CMYKの画像です（RGBで保存してください）")});
    const QString bigTiff = path(QStringLiteral("big.tif"));
    QVERIFY(ImageFiles::writeBytes(bigTiff, QByteArray("II\x2B\0\x08\0\0\0\x10\0\0\0\0\0\0\0", 16) +
                                                QByteArray(64, '\0')));
    cases.append({bigTiff, PreflightLevel::Warning,
                  QStringLiteral("BigTIFF形式の画像です（通常のTIFFかJPEGで保存してください）")});

    for (const Case& c : cases) {
        const PreflightVerdict verdict = judgeFile(c.file);
        QVERIFY2(verdict.level == c.level, qPrintable(c.file));
        QVERIFY2(verdict.reasons.contains(c.reason),
                 qPrintable(c.file + QStringLiteral(": ") + verdict.reasons.join(u'|')));
        QVERIFY(verdict.toolTip().contains(c.reason));
    }
    // Sound files of the other kinds pass too; a text file on the etc tab is not a picture
    // and is not judged as one.
    const QString rgbPng = path(QStringLiteral("rgb.png"));
    QVERIFY(ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("60x40"),
                                 QStringLiteral("gradient:red-blue"),
                                 QStringLiteral("PNG24:") + rgbPng}));
    QCOMPARE(judgeFile(rgbPng).level, PreflightLevel::Fine);
    const QString text = path(QStringLiteral("memo.txt"));
    QVERIFY(ImageFiles::writeBytes(text, "注文メモ\n"));
    QCOMPARE(judgeFile(text).level, PreflightLevel::Fine);
    QCOMPARE(PreflightJudge::summaryText(3, 2),
             QStringLiteral("印刷に向かない画像：3枚／確認をおすすめ：2枚"));
    QCOMPARE(PreflightJudge::summaryText(0, 2), QStringLiteral("確認をおすすめ：2枚"));
    QCOMPARE(PreflightJudge::summaryText(0, 0), QString());
    // What a screen reader says of a mark: the level in words, then the reasons.
    QCOMPARE(judgeFile(cmyk).accessibleText(),
             QStringLiteral("印刷に向かない：CMYKの画像です（RGBで保存してください）"));
    QCOMPARE(judgeFile(alpha).accessibleText(),
             QStringLiteral("確認をおすすめ：透明部分（アルファチャンネル）を含む画像です"));
    QCOMPARE(fine.accessibleText(), QStringLiteral("問題なし"));
    QCOMPARE(PreflightVerdict{}.accessibleText(), QStringLiteral("確認中"));
}

void TestPreflight::resolutionBands_data() {
    QTest::addColumn<QString>("sizeName");
    QTest::addColumn<double>("shortMm");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("level");
    const struct {
        const char* label;
        QString name;
        double mm;
    } sizes[] = {
        {"catalogue", QStringLiteral("テスト判（100×150）"), 100},
        {"table", QStringLiteral("集合写真 六切"), 203},
    };
    for (const auto& size : sizes) {
        QTest::addRow("%s 149", size.label)
            << size.name << size.mm << 149 << int(PreflightLevel::Warning);
        QTest::addRow("%s 150", size.label)
            << size.name << size.mm << 150 << int(PreflightLevel::Caution);
        QTest::addRow("%s 249", size.label)
            << size.name << size.mm << 249 << int(PreflightLevel::Caution);
        QTest::addRow("%s 250", size.label)
            << size.name << size.mm << 250 << int(PreflightLevel::Fine);
    }
}

void TestPreflight::resolutionBands() {
    QFETCH(QString, sizeName);
    QFETCH(double, shortMm);
    QFETCH(int, dpi);
    QFETCH(int, level);
    // The fewest pixels on the short side that reach this resolution.
    const int shortPx = static_cast<int>(std::ceil(dpi * shortMm / 25.4));
    // The paper's own shape, so only the resolution speaks.
    const QSizeF paper = *PrintSizeTable::printSizeMm(sizeName);
    const int longPx = static_cast<int>(std::lround(shortPx * paper.height() / paper.width()));
    const QString file = path(QStringLiteral("band_%1_%2.jpg").arg(shortMm).arg(dpi));
    QVERIFY(ImageFiles::jpeg(file, longPx, shortPx));
    const PreflightVerdict verdict = judgeFile(file, sizeName);
    QCOMPARE(verdict.dpi, dpi);
    QCOMPARE(int(verdict.level), level);
    if (level == int(PreflightLevel::Warning)) {
        QCOMPARE(verdict.reasons,
                 QStringList{QStringLiteral("解像度が不足しています（約%1dpi）").arg(dpi)});
    }
    // One pixel fewer falls below the band's border.
    const QString smaller = path(QStringLiteral("band_%1_%2_less.jpg").arg(shortMm).arg(dpi));
    QVERIFY(ImageFiles::jpeg(smaller, longPx, shortPx - 1));
    QCOMPARE(judgeFile(smaller, sizeName).dpi, dpi - 1);
    // A size the catalogue does not tell leaves resolution unjudged.
    QCOMPARE(judgeFile(file, QStringLiteral("卒業アルバム用データ")).dpi, 0);
    QCOMPARE(judgeFile(file, QString()).level, PreflightLevel::Fine);
}

void TestPreflight::printSizeNames() {
    const struct {
        QString name;
        std::optional<QSizeF> mm;
    } names[] = {
        {QStringLiteral("2Lサイズ（127×178）"), QSizeF(127, 178)},
        {QStringLiteral("タペストリー（600×1800）"), QSizeF(600, 1800)},
        {QStringLiteral("特注（２５４ｘ２０３）"), QSizeF(203, 254)},
        {QStringLiteral("パネル（六切）"), QSizeF(203, 254)},
        {QStringLiteral("集合写真 四切"), QSizeF(254, 305)},
        {QStringLiteral("個人写真 2Lサイズ"), QSizeF(127, 178)},
        {QStringLiteral("個人写真 Lサイズ"), QSizeF(89, 127)},
        {QStringLiteral("ポストカード（はがき）"), QSizeF(100, 148)},
        {QStringLiteral("ウェルカムボード A2"), QSizeF(420, 594)},
        {QStringLiteral("卓上ポップ（A5）"), QSizeF(148, 210)},
        {QStringLiteral("ワイド六切"), QSizeF(203, 305)},
        {QStringLiteral("卒業アルバム用データ"), std::nullopt},
        {QStringLiteral("XLパネル"), std::nullopt},
        {QStringLiteral("A40"), std::nullopt},
    };
    for (const auto& n : names) {
        QVERIFY2(PrintSizeTable::printSizeMm(n.name) == n.mm, qPrintable(n.name));
    }
}

void TestPreflight::serviceReadsOnceAndFollowsChanges() {
    PreflightService service(nullptr, 2);
    QSignalSpy spy(&service, &PreflightService::factsReady);
    const QString sound = path(QStringLiteral("sound.jpg"));
    const QString copy = path(QStringLiteral("growing.jpg"));
    QVERIFY(QFile::copy(sound, copy));
    QVERIFY(ImageFiles::truncateTo(copy, 3000)); // still being copied

    service.watch({sound, copy});
    QTRY_VERIFY(service.isIdle());
    QStringList announced;
    for (const QList<QVariant>& args : spy) {
        announced += args.at(0).toStringList();
    }
    announced.sort();
    QCOMPARE(announced, (QStringList{copy, sound}));
    QCOMPARE(service.readCount(), qint64(2));
    QCOMPARE(service.facts(sound)->width, 1800);
    QVERIFY(service.facts(copy)->truncated);

    // A second row of the same file reads nothing; unchanged files are not read again.
    spy.clear();
    service.watch({sound});
    service.recheck({sound, copy});
    QTRY_VERIFY(service.isIdle());
    QCOMPARE(service.readCount(), qint64(2));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toStringList(), QStringList{sound});

    // The copy finishes: its size changes, it is read again and judged whole.
    QVERIFY(QFile::remove(copy));
    QVERIFY(QFile::copy(sound, copy));
    service.recheck({copy});
    QTRY_VERIFY(service.isIdle());
    QCOMPARE(service.readCount(), qint64(3));
    QVERIFY(!service.facts(copy)->truncated);

    // One of the two rows of the sound file leaves: the other still holds its facts.
    service.release({sound});
    QVERIFY(service.facts(sound).has_value());
    service.release({sound});
    QVERIFY(!service.facts(sound).has_value());
}

void TestPreflight::serviceForgetsReleasedFiles() {
    QStringList files;
    for (int i = 0; i < 300; ++i) {
        const QString file = path(QStringLiteral("many_%1.jpg").arg(i));
        QVERIFY(QFile::copy(path(QStringLiteral("sound.jpg")), file));
        files << file;
    }
    PreflightService service(nullptr, 2);
    QSignalSpy spy(&service, &PreflightService::factsReady);
    service.watch(files);
    // The last rows leave at once, before their turn comes: they are never read.
    const QStringList leftEarly = files.mid(200);
    service.release(leftEarly);
    // Let the others be read, but not yet announced (no event loop runs meanwhile)...
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() &&
           !std::all_of(files.begin(), files.begin() + 200,
                        [&](const QString& f) { return service.facts(f).has_value(); })) {
        QThread::msleep(5);
    }
    QVERIFY(!deadline.hasExpired());
    QCOMPARE(spy.size(), 0);
    // ...then rows leave while their results wait for the main thread: they are not announced.
    const QStringList leftLate = files.mid(100, 100);
    service.release(leftLate);
    QTRY_VERIFY(service.isIdle());
    QStringList announced;
    for (const QList<QVariant>& args : spy) {
        announced += args.at(0).toStringList();
    }
    announced.sort();
    QStringList stayed = files.mid(0, 100);
    stayed.sort();
    QCOMPARE(announced, stayed);
    for (const QString& file : leftEarly + leftLate) {
        QVERIFY(!service.facts(file).has_value());
    }
    QVERIFY(service.readCount() < 300);
}

void TestPreflight::boardJudgesRowsAndAsksBeforeSend() {
    const QString big = path(QStringLiteral("sound.jpg"));         // 1800 × 1200
    const QString small = path(QStringLiteral("board_small.jpg")); // 900 × 600
    QVERIFY(ImageFiles::jpeg(small, 900, 600));
    const QString cmyk = path(QStringLiteral("board_cmyk.jpg"));
    QVERIFY(ImageFiles::jpeg(cmyk, 1800, 1200,
                             {QStringLiteral("-colorspace"), QStringLiteral("CMYK")}));

    PreflightService service(nullptr, 2);
    PreflightBoard board(service);
    QSignalSpy changed(&board, &PreflightBoard::verdictsChanged);
    const QString lSize = QStringLiteral("Lサイズ（89×127）");
    // The big file twice (another size: 1200 px over 8 in is 150 dpi), the small one for L
    // (600 px over 3.5 in is 171 dpi).
    board.setRows(
        {{big, lSize}, {big, QStringLiteral("六切（203×254）")}, {small, lSize}, {cmyk, lSize}});
    QCOMPARE(board.judgedCount(), 0);
    QTRY_COMPARE(board.judgedCount(), 4);
    QVERIFY(changed.size() >= 2);
    QCOMPARE(board.verdictAt(0).level, PreflightLevel::Fine);
    QCOMPARE(board.verdictAt(1).level, PreflightLevel::Caution);
    QCOMPARE(board.verdictAt(2).level, PreflightLevel::Caution);
    QCOMPARE(board.verdictAt(3).level, PreflightLevel::Warning);
    // Files, as the question counts them: the big one is amber on one of its rows.
    QCOMPARE(board.summaryText(), QStringLiteral("印刷に向かない画像：1枚／確認をおすすめ：2枚"));
    QCOMPARE(service.readCount(), qint64(3));

    // A new size for the small row is judged at once from the stored facts.
    board.setSizeName(2, QStringLiteral("六切（203×254）"));
    QCOMPARE(board.verdictAt(2).level, PreflightLevel::Warning);
    QCOMPARE(board.verdictAt(2).reasons.first(),
             QStringLiteral("解像度が不足しています（約75dpi）"));
    QCOMPARE(board.summaryText(), QStringLiteral("印刷に向かない画像：2枚／確認をおすすめ：1枚"));
    QCOMPARE(service.readCount(), qint64(3));
    QCOMPARE(board.warningFileNames(),
             (QStringList{QStringLiteral("board_small.jpg"), QStringLiteral("board_cmyk.jpg")}));

    // Send asks once, with the count and the names; Escape (the second button) cancels.
    AlertRecorder alerts;
    alerts.enqueueNg();
    QVERIFY(!board.confirmSend());
    QCOMPARE(alerts.count(), 1);
    const AlertRequest asked = alerts.last();
    QCOMPARE(asked.kind, AlertRequest::Kind::OkNg);
    QCOMPARE(asked.okTitle, QStringLiteral("このまま送信"));
    QCOMPARE(asked.ngTitle, QStringLiteral("キャンセル"));
    // The same count as the tab's first, and each file with its reasons.
    QCOMPARE(asked.message, QStringLiteral("印刷に向かない画像が2枚あります"));
    QCOMPARE(
        asked.information,
        QStringLiteral("board_small.jpg：解像度が不足しています（約75dpi）、用紙と縦横比が違います"
                       "（約17%が切れるか余白になります）\n"
                       "board_cmyk.jpg：CMYKの画像です（RGBで保存してください）\n\n"
                       "このまま送信しますか？"));
    alerts.enqueueOk();
    QVERIFY(board.confirmSend());

    // Rows leave: their files are let go; amber alone sends without a question.
    board.setRows({{big, lSize}, {small, lSize}});
    QVERIFY(!service.isHeld(cmyk));
    QCOMPARE(board.attentionCount(), 1);
    alerts.clear();
    QVERIFY(board.confirmSend());
    QCOMPARE(alerts.count(), 0);

    // Send right after the drop, before any result reached the main thread: the files are read
    // there and then, and the damaged one is still asked about.
    PreflightBoard early(service);
    early.setRows({{cmyk, lSize}});
    alerts.enqueueNg();
    QVERIFY(!early.confirmSend());
    QCOMPARE(alerts.count(), 1);
    QCOMPARE(early.verdictAt(0).level, PreflightLevel::Warning);
}

void TestPreflight::colourProfiles() {
    const QString profiles = QStringLiteral("/usr/share/color/icc/");
    QVERIFY2(QFile::exists(profiles + QStringLiteral("sRGB.icc")),
             "icc-profiles-free is not installed");
    const QString adobe = path(QStringLiteral("adobe.jpg"));
    QVERIFY(ImageFiles::jpeg(
        adobe, 1800, 1200,
        {QStringLiteral("-profile"), profiles + QStringLiteral("compatibleWithAdobeRGB1998.icc")}));
    const PreflightVerdict adobeVerdict = judgeFile(adobe, QStringLiteral("Lサイズ（89×127）"));
    QCOMPARE(adobeVerdict.level, PreflightLevel::Caution);
    QCOMPARE(adobeVerdict.reasons,
             QStringList{QStringLiteral("カラープロファイルがsRGBではありません（Compatible with "
                                        "Adobe RGB (1998)：sRGBに変換して保存してください）")});
    // The same in a PNG.
    const QString adobePng = path(QStringLiteral("adobe.png"));
    QVERIFY(ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("60x40"),
                                 QStringLiteral("gradient:red-blue"), QStringLiteral("-profile"),
                                 profiles + QStringLiteral("compatibleWithAdobeRGB1998.icc"),
                                 QStringLiteral("PNG24:") + adobePng}));
    QCOMPARE(judgeFile(adobePng).level, PreflightLevel::Caution);
    // sRGB and no profile at all are the lab's colours: no mark.
    const QString srgb = path(QStringLiteral("srgb.jpg"));
    QVERIFY(ImageFiles::jpeg(srgb, 1800, 1200,
                             {QStringLiteral("-profile"), profiles + QStringLiteral("sRGB.icc")}));
    const PreflightVerdict srgbVerdict = judgeFile(srgb, QStringLiteral("Lサイズ（89×127）"));
    QCOMPARE(srgbVerdict.level, PreflightLevel::Fine);
    QCOMPARE(judgeFile(path(QStringLiteral("sound.jpg"))).level, PreflightLevel::Fine);
    // A version 4 profile (a phone's Display P3) is named by its English description.
    const QString p3 = path(QStringLiteral("p3.jpg"));
    QVERIFY(ImageFiles::jpeg(p3, 1800, 1200));
    QVERIFY(ImageFiles::embedJpegProfile(
        p3, ImageFiles::iccProfileV4("RGB ", QStringLiteral("Display P3"), QStringLiteral("P3"))));
    QCOMPARE(judgeFile(p3).reasons,
             QStringList{QStringLiteral("カラープロファイルがsRGBではありません（Display P3：sRGB"
                                        "に変換して保存してください）")});
    // A grey photo with a grey profile is not asked to become sRGB.
    const QString gray = path(QStringLiteral("gray.jpg"));
    QVERIFY(ImageFiles::jpeg(gray, 1800, 1200,
                             {QStringLiteral("-colorspace"), QStringLiteral("Gray"),
                              QStringLiteral("-profile"), profiles + QStringLiteral("Gray.icc")}));
    QCOMPARE(judgeFile(gray).level, PreflightLevel::Fine);
}

void TestPreflight::printFrameGeometry() {
    const QSizeF l(89, 127);
    // A 3:2 photo on L: the frame takes its full height and 1712 of its 1800 pixels.
    const QRectF wide = PrintFrame::frameRect(QSizeF(1800, 1200), l);
    QCOMPARE(wide.top(), 0.0);
    QCOMPARE(wide.height(), 1200.0);
    QVERIFY(qAbs(wide.width() - 1200 * 127.0 / 89) < 1e-6);
    QVERIFY(qAbs(wide.left() - (1800 - wide.width()) / 2) < 1e-6);
    // Shown upright (EXIF 6 turns the stored 1800 × 1200), the paper turns with it.
    const QSize upright = PrintFrame::shownSize(1800, 1200, 6);
    QCOMPARE(upright, QSize(1200, 1800));
    const QRectF tall = PrintFrame::frameRect(upright, l);
    QCOMPARE(tall.left(), 0.0);
    QCOMPARE(tall.width(), 1200.0);
    QVERIFY(qAbs(tall.top() - wide.left()) < 1e-6);
    // The shares the studio knows: 3:2 about 5 %, 4:3 about 7 %, a square about 30 %.
    QCOMPARE(PrintFrame::mismatchPercent(QSizeF(1800, 1200), l), 5);
    QCOMPARE(PrintFrame::mismatchPercent(QSizeF(1600, 1200), l), 7);
    QCOMPARE(PrintFrame::mismatchPercent(QSizeF(1200, 1200), l), 30);
    QCOMPARE(PrintFrame::frameRect(QSizeF(1000, 1000), l).width(), 1000.0);
    QCOMPARE(PrintFrame::mismatch(QSizeF(1270, 890), l), 0.0);
    QVERIFY(PrintFrame::frameRect(QSizeF(0, 100), l).isEmpty());
}

void TestPreflight::aspectBorders_data() {
    QTest::addColumn<QString>("sizeName");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("percent"); // 0: within 8 %
    const QString l = QStringLiteral("Lサイズ（89×127）");
    const QString l2 = QStringLiteral("2Lサイズ（127×178）");
    // L is 1 : 1.427; 2L 1 : 1.402. Either side of 8 % on the wide side and the narrow side,
    // in both orientations.
    const struct {
        const char* label;
        QString size;
        int longPx;
        int percent;
    } borders[] = {
        {"L wider 1551", l, 1551, 0},      {"L wider 1552", l, 1552, 8},
        {"L narrower 1313", l, 1313, 0},   {"L narrower 1312", l, 1312, 8},
        {"2L wider 1523", l2, 1523, 0},    {"2L wider 1524", l2, 1524, 8},
        {"2L narrower 1290", l2, 1290, 0}, {"2L narrower 1289", l2, 1289, 8},
    };
    for (const auto& b : borders) {
        QTest::addRow("%s landscape", b.label) << b.size << b.longPx << 1000 << b.percent;
        QTest::addRow("%s portrait", b.label) << b.size << 1000 << b.longPx << b.percent;
    }
    QTest::addRow("L square") << l << 2000 << 2000 << 30;
}

void TestPreflight::aspectBorders() {
    QFETCH(QString, sizeName);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, percent);
    const QString file = path(QStringLiteral("aspect_%1x%2.jpg").arg(width).arg(height));
    if (!QFile::exists(file)) {
        QVERIFY(ImageFiles::jpeg(file, width, height));
    }
    const PreflightVerdict verdict = judgeFile(file, sizeName);
    const QString reason =
        QStringLiteral("用紙と縦横比が違います（約%1%が切れるか余白になります）").arg(percent);
    if (percent == 0) {
        QVERIFY2(verdict.reasons.filter(QStringLiteral("縦横比")).isEmpty(),
                 qPrintable(verdict.reasons.join(u'|')));
    } else {
        QVERIFY2(verdict.reasons.contains(reason), qPrintable(verdict.reasons.join(u'|')));
        QVERIFY(verdict.level != PreflightLevel::Fine);
    }
}

void TestPreflight::questionListsTenThenCounts() {
    const QString cmyk = path(QStringLiteral("ten_cmyk.jpg"));
    QVERIFY(
        ImageFiles::jpeg(cmyk, 300, 200, {QStringLiteral("-colorspace"), QStringLiteral("CMYK")}));
    QList<PreflightRow> rows;
    for (int i = 0; i < 12; ++i) {
        const QString file = path(QStringLiteral("ten_%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        QVERIFY(QFile::copy(cmyk, file));
        rows.append({file, QString()});
    }
    PreflightService service(nullptr, 2);
    PreflightBoard board(service);
    board.setRows(rows);
    QTRY_COMPARE(board.judgedCount(), 12);
    QCOMPARE(board.summaryText(), QStringLiteral("印刷に向かない画像：12枚"));
    AlertRecorder alerts;
    alerts.enqueueOk();
    QVERIFY(board.confirmSend());
    const AlertRequest asked = alerts.last();
    QCOMPARE(asked.message, QStringLiteral("印刷に向かない画像が12枚あります"));
    const QStringList lines = asked.information.split(u'\n');
    QCOMPARE(lines.at(0), QStringLiteral("ten_00.jpg：CMYKの画像です（RGBで保存してください）"));
    QCOMPARE(lines.at(9).left(10), QStringLiteral("ten_09.jpg"));
    QCOMPARE(lines.at(10), QStringLiteral("ほか2枚"));
    QVERIFY(!asked.information.contains(QStringLiteral("ten_10.jpg")));
}

void TestPreflight::replacedFileIsJudgedAgainAtSend() {
    // A sound photo is judged at intake, then replaced under the same name by a CMYK one before
    // Send: the question must see the file that will be sent.
    const QString file = path(QStringLiteral("replaced.jpg"));
    QVERIFY(QFile::copy(path(QStringLiteral("sound.jpg")), file));
    PreflightService service(nullptr, 2);
    PreflightBoard board(service);
    board.setRows({{file, QStringLiteral("Lサイズ（89×127）")}});
    QTRY_COMPARE(board.judgedCount(), 1);
    QCOMPARE(board.verdictAt(0).level, PreflightLevel::Fine);
    const QString cmyk = path(QStringLiteral("replacement.jpg"));
    QVERIFY(ImageFiles::jpeg(cmyk, 1800, 1200,
                             {QStringLiteral("-colorspace"), QStringLiteral("CMYK")}));
    QVERIFY(QFile::remove(file));
    QVERIFY(QFile::rename(cmyk, file));
    AlertRecorder alerts;
    alerts.enqueueNg();
    QVERIFY(!board.confirmSend());
    QCOMPARE(alerts.count(), 1);
    QVERIFY(alerts.last().information.startsWith(
        QStringLiteral("replaced.jpg：CMYKの画像です（RGBで保存してください）")));
    QCOMPARE(board.verdictAt(0).level, PreflightLevel::Warning);
    // Unchanged files are not read again at Send.
    const qint64 reads = service.readCount();
    alerts.enqueueOk();
    QVERIFY(board.confirmSend());
    QCOMPARE(service.readCount(), reads);
}

QTEST_GUILESS_MAIN(TestPreflight)
#include "tst_Preflight.moc"
