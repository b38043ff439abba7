#include "job/ResendJob.h"

#include "job/JobInfo.h"
#include "job/OrderHistory.h"
#include "job/PoolArchiveRecord.h"
#include "job/ZipJob.h"
#include "settings/Log.h"
#include "util/FileMove.h"
#include "util/MiravellPath.h"
#include "util/PathUtil.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <utility>

namespace {

const QString kReportEntry = QStringLiteral("PrintReport4.txt");

QString kErrorTitle() {
    return QStringLiteral("エラーが発生しました");
}

// The archive name without ".zip", as CUSTOMER_ORDER_ID carries it.
QString baseName(const QString& archiveName) {
    return archiveName.endsWith(QStringLiteral(".zip")) ? archiveName.chopped(4) : archiveName;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(data) == data.size() && file.flush();
}

} // namespace

ResendJob::ResendJob(JobInfo& info, QString keptPath) : Job(info), _keptPath(std::move(keptPath)) {}

QByteArray ResendJob::reportForArchive(const QByteArray& report, const OrderArchiveName& name) {
    const QByteArray labOrderId = "LAB_ORDER_ID=";
    const QByteArray customerOrderId = "CUSTOMER_ORDER_ID=";
    QByteArray out;
    out.reserve(report.size() + 8);
    bool labDone = false;
    bool customerDone = false;
    qsizetype start = 0;
    while (start < report.size()) {
        qsizetype end = report.indexOf('\n', start);
        end = end < 0 ? report.size() : end + 1;
        const QByteArray line = report.mid(start, end - start);
        start = end;
        // The line's own ending (CR LF) stays as it was.
        const qsizetype body = line.endsWith("\r\n") ? line.size() - 2
                               : line.endsWith('\n') ? line.size() - 1
                                                     : line.size();
        const QByteArray ending = line.mid(body);
        if (!labDone && line.startsWith(labOrderId)) {
            labDone = true;
            out += labOrderId + QByteArray::number(name.bagNo).rightJustified(7, '0') + ending;
        } else if (!customerDone && line.startsWith(customerOrderId)) {
            customerDone = true;
            out += customerOrderId + baseName(name.withBagNo(name.bagNo)).toLatin1() + ending;
        } else {
            out += line;
        }
    }
    return out;
}

qint64 ResendJob::nextFreeBagNo(const OrderArchiveName& name, qint64 first) {
    QSet<QString> used;
    for (const OrderHistoryRecord& record : OrderHistory::records())
        used.insert(record.archiveName);
    const QString pool = WorkFolder::orderZipPoolFolderPath() + u'/';
    const QString kept = KeptOrders::folderPath() + u'/';
    qint64 bag = std::max<qint64>(1, first);
    for (;; ++bag) {
        const QString candidate = name.withBagNo(bag);
        if (!used.contains(candidate) && !orbel::isFolderOrFilePath(pool + candidate) &&
            !orbel::isFolderOrFilePath(kept + candidate))
            return bag;
    }
}

void ResendJob::fail(const QString& logLine, const QString& title, const QString& text) {
    setErr(true);
    Log::outputLn(logLine);
    Tool::alertWithMsg(title, text);
}

bool ResendJob::start() {
    const QString keptName = QFileInfo(_keptPath).fileName();
    Log::outputLn(QStringLiteral("再送信処理開始 -- %1").arg(_keptPath));
    errClear();
    addCancelObserver();
    progressViewInitWithMsg(QStringLiteral("送信済みの注文を確認中..."));

    const std::optional<OrderArchiveName> kept = OrderArchiveName::parse(keptName);
    const QString orderText = kept ? QStringLiteral("注文ファイル %1（お客様コード %2、袋番号 %3）")
                                         .arg(keptName, kept->customerCode)
                                         .arg(kept->bagNo, 7, 10, QLatin1Char('0'))
                                   : QStringLiteral("注文ファイル %1").arg(keptName);
    if (!kept || !QFileInfo(_keptPath).isFile() || !orbel::isInMiravellWorkFolder(_keptPath)) {
        fail(QStringLiteral("保管中の注文が見つからないため再送信しない -- %1").arg(_keptPath),
             QStringLiteral("保管中の注文が見つかりません"),
             QStringLiteral("%1 は保管フォルダにありません。保管期間を過ぎて削除された可能性が"
                            "あります。")
                 .arg(orderText));
    }

    // Only the bytes the lab first received are sent again.
    if (!isFailure()) {
        switch (KeptOrders::check(_keptPath, [this] { return isCancel(); })) {
        case KeptOrders::Check::Sound:
            break;
        case KeptOrders::Check::Stopped:
            break; // the cancel is reported below
        case KeptOrders::Check::Damaged:
        case KeptOrders::Check::Unreadable:
            fail(QStringLiteral("保管中の注文が壊れているため再送信しない -- %1").arg(keptName),
                 QStringLiteral("保管中の注文が壊れています"),
                 QStringLiteral("%1 は保管中に壊れたため、もう一度送信できません。\n"
                                "お手数ですが、この注文は作り直して送信してください。")
                     .arg(orderText));
            break;
        }
    }

    QString stagedFolder;
    QString stagedArchive;
    std::optional<PoolArchiveRecord> record;
    OrderArchiveName next;
    if (!isFailure()) {
        progressViewInitWithMsg(QStringLiteral("もう一度送信する注文を準備中..."));
        const ProcessResult report =
            runProcess(ToolPaths::unzip(), {QStringLiteral("-p"), QStringLiteral("-P"),
                                            ZipJob::zipPassword(), _keptPath, kReportEntry});
        next = *kept;
        next.bagNo = nextFreeBagNo(*kept, info().bagNo());
        const QString newName = next.withBagNo(next.bagNo);
        stagedFolder = WorkFolder::workFolderPath() + u'/' + baseName(newName);
        stagedArchive = WorkFolder::workFolderPath() + u'/' + newName;
        orbel::limitDeleteFileOrFolder(stagedFolder);
        orbel::limitDeleteFileOrFolder(stagedArchive);
        const QString reportPath = stagedFolder + u'/' + kReportEntry;
        if (!report.succeeded() || report.stdoutData.isEmpty()) {
            fail(QStringLiteral("保管中の注文の注文書を読み取れないため再送信しない -- %1")
                     .arg(keptName),
                 QStringLiteral("保管中の注文が壊れています"),
                 QStringLiteral("%1 の注文書を読み取れないため、もう一度送信できません。\n"
                                "お手数ですが、この注文は作り直して送信してください。")
                     .arg(orderText));
        } else if (!orbel::limitCreateFolder(stagedFolder) ||
                   !writeFile(reportPath, reportForArchive(report.stdoutData, next))) {
            fail(QStringLiteral("再送信の作業フォルダが作成できない -- %1").arg(stagedFolder),
                 kErrorTitle(),
                 QStringLiteral("もう一度送信する注文を準備できませんでした（作業フォルダに書き"
                                "込めません）。\nディスクの空きを確認してください。保管中の注文は"
                                "そのまま残っています。"));
        } else {
            // The report replaced where it stands (first), every other entry copied as it was
            // into a new archive; the kept one is only read.
            ProcessOptions options;
            options.shouldCancel = [this] { return isCancel(); };
            const ProcessResult zip =
                runProcess(ToolPaths::zip(),
                           {QStringLiteral("-q"), QStringLiteral("-j"), QStringLiteral("-P"),
                            ZipJob::zipPassword(), QStringLiteral("--out"), stagedArchive,
                            _keptPath, QStringLiteral("--"), reportPath},
                           options);
            const KeptOrderContents before = KeptOrders::contents(_keptPath);
            const KeptOrderContents after =
                zip.succeeded() ? KeptOrders::contents(stagedArchive) : KeptOrderContents{};
            if (isCancel()) {
                // reported below
            } else if (!zip.succeeded() || !after.error.isEmpty() || after.files != before.files) {
                fail(QStringLiteral("再送信の注文を作成できない -- %1（zip %2）")
                         .arg(newName)
                         .arg(zip.started ? zip.exitStatus : -1),
                     kErrorTitle(),
                     QStringLiteral("もう一度送信する注文を作成できませんでした。\n"
                                    "ディスクの空きを確認してください。保管中の注文はそのまま"
                                    "残っています。"));
            } else {
                record = PoolArchiveRecord::forArchive(
                    stagedArchive, QString::fromLatin1(PoolArchiveRecord::kHashPacked),
                    [this] { return isCancel(); });
                if (!record && !isCancel())
                    fail(QStringLiteral("再送信の注文のハッシュを記録できない -- %1")
                             .arg(stagedArchive),
                         kErrorTitle(),
                         QStringLiteral("もう一度送信する注文を作成できませんでした。\n"
                                        "保管中の注文はそのまま残っています。"));
            }
        }
        orbel::limitDeleteFileOrFolder(stagedFolder);
    }

    // Into the pool: the record first (an archive never waits there without one), then the
    // archive, never over another.
    if (!isFailure() && record) {
        const QString pool =
            WorkFolder::orderZipPoolFolderPath() + u'/' + next.withBagNo(next.bagNo);
        if (!record->write(pool) || !orbel::moveFileNoReplace(stagedArchive, pool)) {
            PoolArchiveRecord::remove(pool);
            fail(QStringLiteral("再送信の注文をオーダープールに移せない -- %1").arg(pool),
                 kErrorTitle(),
                 QStringLiteral("もう一度送信する注文をオーダープールに移せませんでした。\n"
                                "ディスクの空きを確認してください。保管中の注文はそのまま"
                                "残っています。"));
        } else {
            _poolPath = pool;
            info().setBagNo(next.bagNo);
            info().updateBagNo();
            decideSucsess();
            OrderHistoryRecord pooled =
                OrderHistory::recordForArchive(pool, OrderHistoryRecord::Outcome::Pooled);
            if (const auto first = OrderHistory::lastRecordForArchive(keptName)) {
                pooled.tab = first->tab;
                pooled.fileCount = first->fileCount;
            }
            pooled.resentFrom = keptName;
            OrderHistory::append(pooled);
            Log::outputLn(QStringLiteral("再送信の注文をオーダープールに作成 -- %1（元の注文 %2）")
                              .arg(QFileInfo(pool).fileName(), keptName));
        }
    }

    if (!isSucsess()) {
        if (!stagedArchive.isEmpty())
            orbel::limitDeleteFileOrFolder(stagedArchive);
        if (isCancel() && !isErr()) {
            Log::outputLn(QStringLiteral("再送信処理がキャンセルされた"));
            Tool::doneAlertWithMsg(QStringLiteral("処理を中止しました"),
                                   QStringLiteral("キャンセルボタンによって処理が中止されました"));
        }
    }
    progressViewClear();
    removeCancelObserver();
    return isSucsess();
}
