// The resize stage with the real image tool, real files, the real settings store and the lab
// substitute receiving its usage reports. Only the human answering alerts is stood in for.
#include "../tools/TestImages.h"
#include "AlertRecorder.h"
#include "LabSim.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "job/NotificationCenter.h"
#include "job/ProgressTarget.h"
#include "job/ResizeJob.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/PathUtil.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <memory>
#include <sys/wait.h>

using namespace testimages;

namespace {

// The tab's message field and progress bar as the job thread drives them; can press the cancel
// button when the bar reaches a value.
class RecordingProgress : public ProgressTarget {
public:
    QStringList messages;
    QList<double> values;
    QList<double> maxima;
    double cancelAtValue = -1;

    void setJobMsg(const QString& msg) override { messages.append(msg); }
    void jobMsgClear() override { messages.append(QString()); }
    void indicatorIndeterminate() override {}
    void indicatorClear() override {}
    void indicatorProgressWitMin(double, double max) override { maxima.append(max); }
    void indicatorUpdate(double value) override {
        values.append(value);
        if (value == cancelAtValue) {
            NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
        }
    }
};

void useResizeTab(const QString& resizePix) {
    UserDef::setObject(QStringLiteral("リサイズ"), QStringLiteral("MainTabLabel"));
    UserDef::setResizeDic({{QStringLiteral("ResizeResizeCbKey"), QStringLiteral("ON")},
                           {QStringLiteral("ResizeSizePopKey"),
                            QVariantMap{{QStringLiteral("name"), QStringLiteral("L判")},
                                        {QStringLiteral("resize_pix"), resizePix}}}});
}

QString logText() {
    return QString::fromUtf8(readAll(Log::logFilePath()));
}

// The "name（before→after）" lines the stage writes for each scaled photo.
int resizedLineCount(const QString& log) {
    static const QRegularExpression line(QStringLiteral("\\] [^\\n]+（\\d+→\\d+）\\n"));
    int count = 0;
    for (auto it = line.globalMatch(log); it.hasNext(); it.next()) {
        ++count;
    }
    return count;
}

// The command names of this process's children (running or not yet reaped).
QStringList childProcessNames() {
    QStringList names;
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // "pid (comm) state ppid ...": the name may hold blanks, so split after the last ')'.
        const QString text = QString::fromUtf8(stat.readAll());
        const qsizetype close = text.lastIndexOf(u')');
        const QStringList rest = text.mid(close + 2).split(u' ');
        if (close > 0 && rest.size() > 1 && rest.at(1) == self) {
            names.append(text.mid(text.indexOf(u'(') + 1, close - text.indexOf(u'(') - 1));
        }
    }
    return names;
}

QSize sizeOf(const QString& path) {
    return imageFacts(path).value_or(ImageFacts{}).size;
}

} // namespace

class TestResizeJob : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LabSim> lab;
    std::unique_ptr<TestHome> home;
    std::unique_ptr<AlertRecorder> alerts;
    QTemporaryDir images;  // photos made once for every test function
    QString photo;         // 600 × 400
    QString portraitPhoto; // 400 × 600

    // The newest "Resize"/"Resize-NG" report the lab received.
    QJsonObject lastResizeReport() const {
        const QList<QJsonObject> reports = lab->reports();
        for (auto it = reports.crbegin(); it != reports.crend(); ++it) {
            if (it->value(QStringLiteral("action"))
                    .toString()
                    .startsWith(QStringLiteral("Resize"))) {
                return *it;
            }
        }
        return {};
    }
    static std::optional<QString> field(const QJsonObject& report, const QString& name) {
        for (const QJsonValue& pair : report.value(QStringLiteral("fields")).toArray()) {
            const QJsonArray entry = pair.toArray();
            if (entry.size() == 2 && entry.at(0).toString() == name) {
                return entry.at(1).toString();
            }
        }
        return std::nullopt;
    }
    QString copyInto(const QString& source, const QString& target) const {
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(source, target);
        return target;
    }

private Q_SLOTS:
    void initTestCase() {
        lab = std::make_unique<LabSim>();
        QVERIFY2(lab->isRunning(), qPrintable(lab->errorText()));
        QVERIFY(images.isValid());
        photo = images.filePath(QStringLiteral("photo.jpg"));
        QVERIFY(makePhoto(photo, 600, 400, 21));
        portraitPhoto = images.filePath(QStringLiteral("portrait.jpg"));
        QVERIFY(makePhoto(portraitPhoto, 400, 600, 22));
    }
    void cleanupTestCase() { lab.reset(); }

    void init() {
        home = std::make_unique<TestHome>();
        QVERIFY(home->isValid());
        alerts = std::make_unique<AlertRecorder>();
        useResizeTab(QStringLiteral("300"));
    }
    void cleanup() {
        alerts.reset();
        home.reset();
    }

    void resizesAChosenFolderTree() {
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString folder = home->filePath(QStringLiteral("写真/Wedding"));
        const QStringList files{
            copyInto(photo, folder + QStringLiteral("/day1/001.jpg")),
            copyInto(portraitPhoto, folder + QStringLiteral("/day1/002.JPG")),
            copyInto(photo, folder + QStringLiteral("/day2/003.jpeg")),
            folder + QStringLiteral("/notes/plan.png"),
            folder + QStringLiteral("/memo.txt"),
        };
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/notes")));
        QVERIFY(makePhoto(files[3], 50, 40, 5));
        QVERIFY(writeAll(files[4], QStringLiteral("受け取りは土曜日\n").toUtf8()));

        RecordingProgress progress;
        JobInfo info(files, folder, nullptr, &progress);
        ResizeJob job(info);
        QVERIFY(job.start());

        const QString tree = WorkFolder::workFolderPath() + QStringLiteral("/Wedding_mini/Wedding");
        QCOMPARE(info.resizeFolderPath(),
                 WorkFolder::workFolderPath() + QStringLiteral("/Wedding_mini"));
        QCOMPARE(sizeOf(tree + QStringLiteral("/day1/001.jpg")), QSize(450, 300));
        QCOMPARE(sizeOf(tree + QStringLiteral("/day1/002.JPG")), QSize(300, 450));
        QCOMPARE(sizeOf(tree + QStringLiteral("/day2/003.jpeg")), QSize(450, 300));
        // Anything but a JPEG is copied as it is, never converted.
        QCOMPARE(readAll(tree + QStringLiteral("/notes/plan.png")), readAll(files[3]));
        QCOMPARE(readAll(tree + QStringLiteral("/memo.txt")), readAll(files[4]));
        QCOMPARE(orbel::allFilePathArray(info.resizeFolderPath()).size(), 5);

        QCOMPARE(progress.maxima, QList<double>{5});
        QCOMPARE(progress.values, (QList<double>{1, 2, 3, 4, 5}));
        QVERIFY(progress.messages.contains(QStringLiteral("1 / 5  画像リサイズ処理")));
        QVERIFY(progress.messages.contains(QStringLiteral("5 / 5  画像リサイズ処理")));
        QCOMPARE(progress.messages.last(), QString());

        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("] リサイズ処理開始\n")));
        QVERIFY(log.contains(QStringLiteral("] リサイズ成功（5ファイル）\n")));
        QVERIFY(log.contains(QStringLiteral("] 001.jpg（%1→%2）\n")
                                 .arg(orbel::fileSize(files[0]))
                                 .arg(orbel::fileSize(tree + QStringLiteral("/day1/001.jpg")))));
        QCOMPARE(resizedLineCount(log), 3);

        QCOMPARE(alerts->count(), 0);
        const QJsonObject report = lastResizeReport();
        QCOMPARE(report.value(QStringLiteral("action")).toString(), QStringLiteral("Resize"));
        QVERIFY(field(report, QStringLiteral("JobTime")).has_value());
        QVERIFY(!field(report, QStringLiteral("ErrorInfo")).has_value());
    }

    void filesChosenOneByOneGoToTheFolderTop() {
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString inbox = home->filePath(QStringLiteral("inbox"));
        const QStringList files{copyInto(photo, inbox + QStringLiteral("/a.jpg")),
                                inbox + QStringLiteral("/b.png")};
        QVERIFY(makePhoto(files[1], 30, 20, 6));
        JobInfo info(files, QString(), nullptr, nullptr);
        ResizeJob job(info);
        QVERIFY(job.start());
        const QString folder = WorkFolder::workFolderPath() + QStringLiteral("/りさいず_mini");
        QCOMPARE(info.resizeFolderPath(), folder);
        QCOMPARE(sizeOf(folder + QStringLiteral("/a.jpg")), QSize(450, 300));
        QCOMPARE(readAll(folder + QStringLiteral("/b.png")), readAll(files[1]));
    }

    // The chosen folder's parent is replaced only where the path begins with it.
    void onlyTheLeadingParentIsReplaced() {
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString parent = home->filePath(QStringLiteral("x"));
        const QString folder = parent + QStringLiteral("/W");
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/deep") + parent + QStringLiteral("/y.jpg");
        JobInfo info({file}, folder, nullptr, nullptr);
        ResizeJob job(info);
        const std::optional<QString> resizeFolder = job.createAndResizeFolderPath();
        QVERIFY(resizeFolder.has_value());
        const QString destination = job.resizePathWithResizeFolderPath(*resizeFolder, file);
        QCOMPARE(destination,
                 *resizeFolder + QStringLiteral("/W/deep") + parent + QStringLiteral("/y.jpg"));
        QVERIFY(orbel::isFolderPath(QFileInfo(destination).path()));
    }

    void thousandByteRule_data() {
        QTest::addColumn<int>("targetSize");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("999 bytes fail") << 999 << false;
        QTest::newRow("1000 bytes pass") << 1000 << true;
    }
    void thousandByteRule() {
        QFETCH(int, targetSize);
        QFETCH(bool, accepted);
        QVERIFY(WorkFolder::checkWorkFolder());
        useResizeTab(QStringLiteral("16"));
        // A flat 16 × 16 picture scales to a few hundred bytes; an XMP packet, which the tool
        // keeps as it is, pads the result to the exact size wanted.
        const QString flat = home->filePath(QStringLiteral("flat.jpg"));
        QVERIFY(run(
            magickTool(QStringLiteral("convert")),
            {QStringLiteral("-size"), QStringLiteral("16x16"), QStringLiteral("xc:gray50"), flat}));
        const QString source = home->filePath(QStringLiteral("tiny.jpg"));
        const QString out = home->filePath(QStringLiteral("tiny-out.jpg"));
        JobInfo info({source}, QString(), nullptr, nullptr);
        ResizeJob job(info);
        int padding = 100;
        for (int attempt = 0; attempt < 3; ++attempt) {
            QVERIFY(writeAll(source, withXmpPadding(readAll(flat), padding)));
            QFile::remove(out);
            job.oneResizeWithPath(source, out);
            const int size = int(orbel::fileSize(out));
            if (size == targetSize) {
                break;
            }
            padding += targetSize - size;
        }
        QVERIFY(writeAll(source, withXmpPadding(readAll(flat), padding)));
        QFile::remove(out);
        const qsizetype logBefore = logText().size();
        const bool result = job.oneResizeWithPath(source, out);
        QCOMPARE(int(orbel::fileSize(out)), targetSize);
        QCOMPARE(result, accepted);
        const QString logged = logText().mid(logBefore);
        QVERIFY(logged.contains(
            QStringLiteral("] tiny.jpg（%1→%2）\n").arg(orbel::fileSize(source)).arg(targetSize)));
        QCOMPARE(logged.contains(QStringLiteral("変換後のファイルが1000バイト以下なのでエラー")),
                 !accepted);
    }

    void aFailingPhotoStopsTheStage() {
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString inbox = home->filePath(QStringLiteral("inbox"));
        const QString broken = inbox + QStringLiteral("/broken.jpg");
        const QStringList files{copyInto(photo, inbox + QStringLiteral("/good1.jpg")), broken,
                                copyInto(photo, inbox + QStringLiteral("/good2.jpg"))};
        const QByteArray whole = readAll(photo);
        QVERIFY(writeAll(broken, whole.left(whole.size() / 2)));
        RecordingProgress progress;
        JobInfo info(files, QString(), nullptr, &progress);
        ResizeJob job(info);
        // One file at a time: the file after the failing one is never started.
        job.setMaxProcesses(1);
        QVERIFY(!job.start());
        QVERIFY(job.isErr());
        QCOMPARE(progress.values, (QList<double>{1, 2}));

        const QString folder = info.resizeFolderPath();
        QVERIFY(orbel::isFilePath(folder + QStringLiteral("/good1.jpg")));
        QVERIFY(!orbel::isFolderOrFilePath(folder + QStringLiteral("/good2.jpg")));
        QVERIFY(!orbel::isFolderOrFilePath(folder + QStringLiteral("/broken.jpg")));

        QCOMPARE(alerts->count(), 1);
        QCOMPARE(alerts->last().message, QStringLiteral("エラーが発生しました"));
        QCOMPARE(alerts->last().information,
                 QStringLiteral("画像変換処理中にエラーが発生しました\n[%1]\n処理を中止しました")
                     .arg(broken));
        const QJsonObject report = lastResizeReport();
        QCOMPARE(report.value(QStringLiteral("action")).toString(), QStringLiteral("Resize-NG"));
        QCOMPARE(
            field(report, QStringLiteral("ErrorInfo")),
            std::optional<QString>(QStringLiteral("画像変換処理中にエラーが発生(broken.jpg)")));
        QVERIFY(logText().contains(QStringLiteral("] 変換中にエラーが発生\n")));
    }

    void cancelAfterTheThirdOfTen() {
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString small = home->filePath(QStringLiteral("small.jpg"));
        QVERIFY(makePhoto(small, 120, 80, 7));
        QStringList files;
        for (int i = 1; i <= 10; ++i) {
            files.append(copyInto(small, home->filePath(QStringLiteral("ten/%1.jpg").arg(i))));
        }
        RecordingProgress progress;
        progress.cancelAtValue = 3;
        JobInfo info(files, QString(), nullptr, &progress);
        ResizeJob job(info);
        QVERIFY(!job.start());
        QVERIFY(job.isCancel());
        QCOMPARE(progress.values, (QList<double>{1, 2, 3}));
        // The partial folder is not left for the zip stage.
        QVERIFY(!orbel::isFolderOrFilePath(info.resizeFolderPath()));
        QCOMPARE(resizedLineCount(logText()), 3);
        QVERIFY(logText().contains(QStringLiteral("] 処理がキャンセルされた\n")));

        QCOMPARE(alerts->count(), 1);
        QCOMPARE(alerts->last().message, QStringLiteral("処理を中止しました"));
        QCOMPARE(alerts->last().information,
                 QStringLiteral("キャンセルボタンによって処理が中止されました"));
        const QJsonObject report = lastResizeReport();
        QCOMPARE(report.value(QStringLiteral("action")).toString(), QStringLiteral("Resize-NG"));
        QCOMPARE(field(report, QStringLiteral("ErrorInfo")),
                 std::optional<QString>(QStringLiteral("キャンセルボタンによって処理が中止")));
        QVERIFY(field(report, QStringLiteral("JobTime")).has_value());
    }

    // A cancel that arrives once the last file is written is too late: the stage has succeeded
    // and says so everywhere (return value, no alert, the "Resize" report, the folder kept).
    void cancelAfterTheLastFileIsTooLate() {
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString small = home->filePath(QStringLiteral("small.jpg"));
        QVERIFY(makePhoto(small, 120, 80, 7));
        QStringList files;
        for (int i = 1; i <= 3; ++i) {
            files.append(copyInto(small, home->filePath(QStringLiteral("three/%1.jpg").arg(i))));
        }
        RecordingProgress progress;
        progress.cancelAtValue = 3;
        JobInfo info(files, QString(), nullptr, &progress);
        ResizeJob job(info);
        QVERIFY(job.start());
        QVERIFY(!job.isCancel());
        QCOMPARE(alerts->count(), 0);
        QCOMPARE(lastResizeReport().value(QStringLiteral("action")).toString(),
                 QStringLiteral("Resize"));
        QCOMPARE(QDir(info.resizeFolderPath()).entryList(QDir::Files).size(), 3);
    }

    // Several image tools at once write exactly what one at a time writes.
    void parallelStageWritesWhatTheSequentialWrites() {
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString folder = home->filePath(QStringLiteral("order"));
        QStringList files;
        for (int i = 0; i < 7; ++i) {
            const QString name = folder + QStringLiteral("/p%1.jpg").arg(i);
            QDir().mkpath(folder);
            QVERIFY(makePhoto(name, 500 + 40 * i, 700 - 30 * i, 30 + i));
            files.append(name);
        }
        files.insert(3, folder + QStringLiteral("/note.txt"));
        QVERIFY(writeAll(files.at(3), QByteArrayLiteral("ribbon: gold\n")));

        auto runWith = [&](int processes, QList<double>& values) {
            RecordingProgress progress;
            JobInfo info(files, folder, nullptr, &progress);
            ResizeJob job(info);
            job.setMaxProcesses(processes);
            const bool ok = job.start();
            values = progress.values;
            QMap<QString, QByteArray> outputs;
            for (const QString& path : orbel::allFilePathArray(info.resizeFolderPath())) {
                outputs.insert(QFileInfo(path).fileName(), readAll(path));
            }
            return std::make_pair(ok, outputs);
        };
        QList<double> oneValues;
        QList<double> manyValues;
        const auto one = runWith(1, oneValues);
        const auto many = runWith(4, manyValues);
        QVERIFY(one.first);
        QVERIFY(many.first);
        QCOMPARE(one.second.size(), 8);
        QCOMPARE(many.second.keys(), one.second.keys());
        for (auto it = one.second.cbegin(); it != one.second.cend(); ++it) {
            QVERIFY2(many.second.value(it.key()) == it.value(), qPrintable(it.key()));
        }
        // The bar counts finished files, whichever finishes first.
        const QList<double> counted{1, 2, 3, 4, 5, 6, 7, 8};
        QCOMPARE(oneValues, counted);
        QCOMPARE(manyValues, counted);
        QVERIFY(logText().contains(QStringLiteral("] リサイズ成功（8ファイル）\n")));
        QCOMPARE(resizedLineCount(logText()), 14);
        QCOMPARE(alerts->count(), 0);
    }

    // Two failing files run side by side; the one that fails first in time is the later one in
    // the selection. The error reported is still the first in selection order, and nothing new
    // starts after a failure.
    void firstFailureInSelectionOrderIsReported() {
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString inbox = home->filePath(QStringLiteral("inbox"));
        QVERIFY(QDir().mkpath(inbox));
        // Fails only after decoding most of a large photo...
        const QString slowBroken = inbox + QStringLiteral("/slow.jpg");
        const QString big = home->filePath(QStringLiteral("big.jpg"));
        QVERIFY(makePhoto(big, 4000, 3000, 9));
        const QByteArray whole = readAll(big);
        QVERIFY(writeAll(slowBroken, whole.left(whole.size() * 9 / 10)));
        // ...while this one is refused at once.
        const QString fastBroken = inbox + QStringLiteral("/fast.jpg");
        QVERIFY(writeAll(fastBroken, QByteArrayLiteral("not a picture at all")));
        const QString after = copyInto(photo, inbox + QStringLiteral("/after.jpg"));

        RecordingProgress progress;
        JobInfo info({slowBroken, fastBroken, after}, QString(), nullptr, &progress);
        ResizeJob job(info);
        job.setMaxProcesses(2);
        QVERIFY(!job.start());
        QVERIFY(job.isErr());
        // Both running files finished and were counted; the third never started.
        QCOMPARE(progress.values, (QList<double>{1, 2}));
        QVERIFY(!orbel::isFolderOrFilePath(info.resizeFolderPath() + QStringLiteral("/after.jpg")));

        QCOMPARE(alerts->count(), 1);
        QCOMPARE(alerts->last().information,
                 QStringLiteral("画像変換処理中にエラーが発生しました\n[%1]\n処理を中止しました")
                     .arg(slowBroken));
        QCOMPARE(field(lastResizeReport(), QStringLiteral("ErrorInfo")),
                 std::optional<QString>(QStringLiteral("画像変換処理中にエラーが発生(slow.jpg)")));
    }

    // A cancel while several image tools run stops them all; nothing after the cancel is counted.
    void cancelStopsEveryRunningTool() {
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString inbox = home->filePath(QStringLiteral("many"));
        QVERIFY(QDir().mkpath(inbox));
        QStringList files{copyInto(photo, inbox + QStringLiteral("/first.jpg"))};
        const QString big = home->filePath(QStringLiteral("big.jpg"));
        QVERIFY(makePhoto(big, 4000, 3000, 10));
        for (int i = 0; i < 6; ++i) {
            files.append(copyInto(big, inbox + QStringLiteral("/big%1.jpg").arg(i)));
        }
        RecordingProgress progress;
        progress.cancelAtValue = 1;
        JobInfo info(files, QString(), nullptr, &progress);
        ResizeJob job(info);
        job.setMaxProcesses(3);
        QVERIFY(!job.start());
        QVERIFY(job.isCancel());
        QCOMPARE(progress.values, QList<double>{1});
        QCOMPARE(resizedLineCount(logText()), 1);
        QVERIFY(!orbel::isFolderOrFilePath(info.resizeFolderPath()));
        QCOMPARE(alerts->count(), 1);
        QCOMPARE(alerts->last().message, QStringLiteral("処理を中止しました"));
        // Every image tool has been waited for: none is left running or unreaped.
        QCOMPARE(childProcessNames().count(QStringLiteral("halvix-sips")), 0);
    }

    void maxProcessesFollowsTheCores() {
        JobInfo info({photo}, QString(), nullptr, nullptr);
        ResizeJob job(info);
        QCOMPARE(job.maxProcesses(), std::max(1, QThread::idealThreadCount()));
        job.setMaxProcesses(3);
        QCOMPARE(job.maxProcesses(), 3);
        job.setMaxProcesses(0);
        QCOMPARE(job.maxProcesses(), std::max(1, QThread::idealThreadCount()));
    }

    void missingWorkAreaIsReported() {
        // A file where the work area belongs: no resize folder can be made inside it.
        QVERIFY(writeAll(WorkFolder::workFolderPath(), QByteArrayLiteral("not a folder")));
        JobInfo info({photo}, QString(), nullptr, nullptr);
        ResizeJob job(info);
        QVERIFY(!job.start());
        QCOMPARE(alerts->count(), 1);
        QCOMPARE(alerts->last().message, QStringLiteral("作業フォルダが作成できません"));
        QCOMPARE(alerts->last().information,
                 QStringLiteral("画像変換用の作業フォルダが作成できませんでした"));
        const QJsonObject report = lastResizeReport();
        QCOMPARE(report.value(QStringLiteral("action")).toString(), QStringLiteral("Resize-NG"));
        QCOMPARE(field(report, QStringLiteral("ErrorInfo")),
                 std::optional<QString>(QStringLiteral("作業フォルダが作成できない")));
    }

    // --- The image operations of Tool ---

    void longSideForShortSide_data() {
        QTest::addColumn<qint64>("width");
        QTest::addColumn<qint64>("height");
        QTest::addColumn<qint64>("narrow");
        QTest::addColumn<qint64>("wide");
        QTest::newRow("3000x2000") << qint64(3000) << qint64(2000) << qint64(1999) << qint64(2998);
        QTest::newRow("2000x3000") << qint64(2000) << qint64(3000) << qint64(1999) << qint64(2998);
        QTest::newRow("square") << qint64(1000) << qint64(1000) << qint64(1999) << qint64(1999);
        QTest::newRow("6000x4000") << qint64(6000) << qint64(4000) << qint64(1999) << qint64(2998);
        QTest::newRow("4:3 up") << qint64(640) << qint64(480) << qint64(1999) << qint64(2665);
        QTest::newRow("no width") << qint64(0) << qint64(400) << qint64(1999) << qint64(0);
        QTest::newRow("negative") << qint64(600) << qint64(-1) << qint64(1999) << qint64(0);
    }
    void longSideForShortSide() {
        QFETCH(qint64, width);
        QFETCH(qint64, height);
        QFETCH(qint64, narrow);
        QFETCH(qint64, wide);
        QCOMPARE(Tool::resizeWidePixForNarrowPix(width, height, narrow), wide);
    }

    void imageToolArguments() {
        QCOMPARE(Tool::jpegFileResizeArguments(QStringLiteral("/in/a b.jpg"),
                                               QStringLiteral("/out/a b.jpg"), 2998,
                                               QStringLiteral("high")),
                 (QStringList{QStringLiteral("-s"), QStringLiteral("formatOptions"),
                              QStringLiteral("high"), QStringLiteral("-Z"), QStringLiteral("2998"),
                              QStringLiteral("/in/a b.jpg"), QStringLiteral("--out"),
                              QStringLiteral("/out/a b.jpg")}));
    }

    void shortSideResizeOfAPortrait() {
        const QString source = home->filePath(QStringLiteral("tall.jpg"));
        QVERIFY(makePhoto(source, 2000, 3000, 8));
        const QString out = home->filePath(QStringLiteral("tall-out.jpg"));
        QVERIFY(Tool::jpegFileResizeWithPathNarrowPix(source, out, 1999));
        const auto facts = imageFacts(out);
        QVERIFY(facts.has_value());
        QCOMPARE(facts->size, QSize(1999, 2998));
        QVERIFY(facts->quality >= 90); // "high" unless told otherwise
    }

    void imageToolRefusals() {
        const QString source = home->filePath(QStringLiteral("keep.jpg"));
        QVERIFY(QFile::copy(photo, source));
        const QByteArray before = readAll(source);
        QVERIFY(!Tool::jpegFileResizeWithPath(source, source, 300));
        QVERIFY(!Tool::jpegFileResizeWithPathNarrowPix(source, source, 300));
        QCOMPARE(readAll(source), before);
        QVERIFY(!Tool::jpegFileResizeWithPath(QString(), source, 300));
        const QString missing = home->filePath(QStringLiteral("missing.jpg"));
        QVERIFY(!Tool::jpegFileResizeWithPathNarrowPix(
            missing, home->filePath(QStringLiteral("out.jpg")), 300));
        QVERIFY(!orbel::isFolderOrFilePath(home->filePath(QStringLiteral("out.jpg"))));
    }
};

QTEST_GUILESS_MAIN(TestResizeJob)
#include "tst_ResizeJob.moc"
