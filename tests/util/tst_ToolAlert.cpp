#include "AlertRecorder.h"
#include "util/Tool.h"

#include <QTemporaryFile>
#include <QtTest>
#include <atomic>
#include <cstdio>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Sends this process's standard error into a file for one scope.
class CapturedStderr {
public:
    CapturedStderr() {
        if (!file_.open()) {
            return;
        }
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(file_.handle(), STDERR_FILENO);
    }
    ~CapturedStderr() { restore(); }
    CapturedStderr(const CapturedStderr&) = delete;
    CapturedStderr& operator=(const CapturedStderr&) = delete;

    QString text() {
        restore();
        file_.seek(0);
        return QString::fromUtf8(file_.readAll());
    }

private:
    void restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
            saved_ = -1;
        }
    }
    QTemporaryFile file_;
    int saved_ = -1;
};

} // namespace

class TestToolAlert : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void withoutResponderDefaultsAndLogs();
    void recorderSeesTextsLiterally();
    void recorderAnswersFromQueue();
    void choosersAndBeeps();
    void threeButtonsAndFileChoosers();
    void alertsFromManyThreads();
};

void TestToolAlert::withoutResponderDefaultsAndLogs() {
    Tool::setAlertResponder({});
    CapturedStderr captured;
    QVERIFY(Tool::alertOkNgWithMsg(QStringLiteral("送信しますか？"), QStringLiteral("3件")));
    Tool::alertWithMsg(QStringLiteral("データを送信しました"), QStringLiteral("100%完了"));
    QVERIFY(!Tool::folderSelect().has_value());
    const QString text = captured.text();
    QVERIFY2(text.contains(QStringLiteral("送信しますか？")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("データを送信しました")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("100%完了")), qPrintable(text));
}

void TestToolAlert::recorderSeesTextsLiterally() {
    AlertRecorder recorder;
    Tool::alertWithMsg(QStringLiteral("注文数上限は %d です"), QStringLiteral("%@ 100% %1"));
    Tool::alertWithMsg(QStringLiteral("確認"), QStringLiteral(""), QStringLiteral("OK"));
    QObject window;
    Tool::alertWithMsg(QStringLiteral("上に表示"), QStringLiteral("説明"), &window);

    const QList<AlertRequest> requests = recorder.requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests.at(0).kind, AlertRequest::Kind::Message);
    QCOMPARE(requests.at(0).message, QStringLiteral("注文数上限は %d です"));
    QCOMPARE(requests.at(0).information, QStringLiteral("%@ 100% %1"));
    QCOMPARE(requests.at(0).okTitle, QStringLiteral("はい"));
    QCOMPARE(requests.at(1).okTitle, QStringLiteral("OK"));
    QCOMPARE(requests.at(2).baseWindow.data(), &window);
    QCOMPARE(recorder.messages(), (QStringList{"注文数上限は %d です", "確認", "上に表示"}));
}

void TestToolAlert::recorderAnswersFromQueue() {
    {
        AlertRecorder recorder;
        recorder.enqueueNg();
        recorder.enqueueOk();
        QVERIFY(!Tool::alertOkNgWithMsg(QStringLiteral("一"), QString()));
        QVERIFY(Tool::alertOkNgWithMsg(QStringLiteral("二"), QString(), QStringLiteral("送信"),
                                       QStringLiteral("中止")));
        QVERIFY(Tool::alertOkNgWithMsg(QStringLiteral("三"), QString())); // queue empty: default
        QCOMPARE(recorder.count(), 3);
        QCOMPARE(recorder.requests().at(0).ngTitle, QStringLiteral("いいえ"));
        QCOMPARE(recorder.last().kind, AlertRequest::Kind::OkNg);
        QCOMPARE(recorder.requests().at(1).okTitle, QStringLiteral("送信"));
        QCOMPARE(recorder.requests().at(1).ngTitle, QStringLiteral("中止"));
        recorder.enqueueNg();
        recorder.clear();
        QCOMPARE(recorder.count(), 0);
        QVERIFY(Tool::alertOkNgWithMsg(QStringLiteral("四"), QString())); // cleared queue
    }
    // Gone again with the recorder: nobody records, the default answers.
    CapturedStderr quiet;
    QVERIFY(Tool::alertOkNgWithMsg(QStringLiteral("五"), QString()));
    QVERIFY(quiet.text().contains(QStringLiteral("五")));
}

void TestToolAlert::threeButtonsAndFileChoosers() {
    {
        AlertRecorder recorder;
        recorder.enqueueButton(3);
        recorder.enqueueButton(2);
        recorder.enqueueButton(7); // no such button: the default
        const auto ask = [] {
            return Tool::alertThreeButtonWithMsg(
                QStringLiteral("未送信オーダー"), QStringLiteral("2件"), QStringLiteral("送信"),
                QStringLiteral("終了"), QStringLiteral("キャンセル"));
        };
        QCOMPARE(ask(), 3);
        QCOMPARE(ask(), 2);
        QCOMPARE(ask(), 1);
        QCOMPARE(ask(), 1); // queue empty
        QCOMPARE(recorder.last().kind, AlertRequest::Kind::ThreeButton);
        QCOMPARE(recorder.last().thirdTitle, QStringLiteral("キャンセル"));
        QCOMPARE(recorder.messages().size(), 4);

        recorder.enqueueFile(QStringLiteral("/tmp/セット.plist"));
        QCOMPARE(
            Tool::openFileSelect(QStringLiteral("読み込み"), {QStringLiteral("セット (*.plist)")}),
            std::optional<QString>(QStringLiteral("/tmp/セット.plist")));
        QCOMPARE(recorder.last().nameFilters, QStringList{QStringLiteral("セット (*.plist)")});
        recorder.enqueueFile(QStringLiteral("/media/dvd/order"));
        QCOMPARE(Tool::saveFileSelect(QStringLiteral("保存"), QStringLiteral("/media/dvd"),
                                      QStringLiteral("1234_0000001.zip")),
                 std::optional<QString>(QStringLiteral("/media/dvd/order")));
        QCOMPARE(recorder.last().folder, QStringLiteral("/media/dvd"));
        QCOMPARE(recorder.last().proposedName, QStringLiteral("1234_0000001.zip"));
        recorder.enqueueFile(QString());
        QVERIFY(!Tool::saveFileSelect(QStringLiteral("保存"), QString(), QString()).has_value());
        QVERIFY(!Tool::openFileSelect(QStringLiteral("読み込み")).has_value()); // queue empty
    }
    // Nobody to answer: the first button, and no file is ever made up.
    Tool::setAlertResponder({});
    CapturedStderr captured;
    QCOMPARE(Tool::alertThreeButtonWithMsg(QStringLiteral("三択"), QString(), QStringLiteral("A"),
                                           QStringLiteral("B"), QStringLiteral("C")),
             1);
    QVERIFY(!Tool::openFileSelect(QStringLiteral("開く")).has_value());
    QVERIFY(!Tool::saveFileSelect(QStringLiteral("保存"), QString(), QStringLiteral("a.zip"))
                 .has_value());
    QVERIFY(captured.text().contains(QStringLiteral("三択")));
}

void TestToolAlert::choosersAndBeeps() {
    AlertRecorder recorder;
    recorder.enqueueFolder(QStringLiteral("/tmp/保存先"));
    QCOMPARE(Tool::folderSelect(), std::optional<QString>(QStringLiteral("/tmp/保存先")));
    QVERIFY(!Tool::folderSelect().has_value()); // queue empty: cancelled
    recorder.enqueueFolder(QString());
    QVERIFY(!Tool::folderSelect().has_value());

    QObject window;
    std::optional<QString> delivered = QStringLiteral("untouched");
    recorder.enqueueFolder(QStringLiteral("/tmp/sheet"));
    Tool::folderSelectSheet(&window,
                            [&delivered](std::optional<QString> path) { delivered = path; });
    QCOMPARE(delivered, std::optional<QString>(QStringLiteral("/tmp/sheet")));
    QCOMPARE(recorder.last().baseWindow.data(), &window);
    Tool::folderSelectSheet(&window,
                            [&delivered](std::optional<QString> path) { delivered = path; });
    QVERIFY(!delivered.has_value());
    QCOMPARE(recorder.count(), 5);

    recorder.enqueueNg();
    Tool::beep(QStringLiteral("Basso"));
    QCOMPARE(recorder.beeps(), QStringList{QStringLiteral("Basso")});
    QCOMPARE(recorder.count(), 5); // a beep is no alert and leaves the queue alone
    QVERIFY(!Tool::alertOkNgWithMsg(QStringLiteral("次"), QString()));
}

void TestToolAlert::alertsFromManyThreads() {
    AlertRecorder recorder;
    constexpr int kThreads = 8;
    constexpr int kEach = 50;
    for (int i = 0; i < kThreads * kEach / 2; ++i) {
        recorder.enqueueNg();
    }
    std::atomic<int> yes{0};
    std::atomic<int> no{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&yes, &no, t] {
            for (int i = 0; i < kEach; ++i) {
                const bool answer = Tool::alertOkNgWithMsg(QStringLiteral("スレッド %1").arg(t),
                                                           QString::number(i));
                (answer ? yes : no).fetch_add(1);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    QCOMPARE(recorder.count(), kThreads * kEach);
    QCOMPARE(no.load(), kThreads * kEach / 2);
    QCOMPARE(yes.load(), kThreads * kEach / 2);
}

QTEST_GUILESS_MAIN(TestToolAlert)
#include "tst_ToolAlert.moc"
