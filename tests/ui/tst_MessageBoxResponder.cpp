#include "ui/MessageBoxResponder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <thread>

namespace {

struct SeenBox {
    QString text;
    QString informative;
    QStringList buttons;
    bool onMainThread = false;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Plays the human: waits for the next message box, notes what it shows and clicks the button
// with the given title.
void answerNextBox(const QString& buttonTitle, SeenBox* seen) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, buttonTitle, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        seen->text = box->text();
        seen->informative = box->informativeText();
        seen->format = box->textFormat();
        seen->icon = box->icon();
        seen->onMainThread = box->thread() == qApp->thread();
        for (QAbstractButton* b : box->buttons()) {
            seen->buttons << b->text();
        }
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == buttonTitle) {
                b->click();
                break;
            }
        }
        timer->stop();
        timer->deleteLater();
    });
    timer->start();
}

} // namespace

class TestMessageBoxResponder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { MessageBoxResponder::install(); }
    void cleanup() { Tool::setAlertResponder({}); }

    void alertFromJobThreadIsShownOnMainThreadAndWaitsForAnswer() {
        SeenBox seen;
        answerNextBox(QStringLiteral("いいえ"), &seen);
        std::atomic<int> answer{-1};
        std::thread worker([&answer] {
            answer = Tool::alertOkNgWithMsg(QStringLiteral("処理を中止してよろしいですか？"),
                                            QStringLiteral("キャンセルボタンが押されました。"))
                         ? 1
                         : 0;
        });
        QTRY_VERIFY_WITH_TIMEOUT(answer.load() != -1, 20000);
        worker.join();
        QCOMPARE(answer.load(), 0);
        QVERIFY(seen.onMainThread);
        QCOMPARE(seen.text, QStringLiteral("処理を中止してよろしいですか？"));
        QCOMPARE(seen.buttons, (QStringList{QStringLiteral("はい"), QStringLiteral("いいえ")}));
        QCOMPARE(seen.icon, QMessageBox::Question);
    }

    // A problem warns; a report that something is done only informs.
    void doneReportsInformAndProblemsWarn() {
        SeenBox problem;
        answerNextBox(QStringLiteral("はい"), &problem);
        Tool::alertWithMsg(QStringLiteral("エラーが発生しました"), QString());
        QCOMPARE(problem.icon, QMessageBox::Warning);
        SeenBox done;
        answerNextBox(QStringLiteral("はい"), &done);
        Tool::doneAlertWithMsg(QStringLiteral("データを送信しました"), QString());
        QCOMPARE(done.icon, QMessageBox::Information);
        QCOMPARE(done.text, QStringLiteral("データを送信しました"));
    }

    void firstButtonAnswersTrue() {
        SeenBox seen;
        answerNextBox(QStringLiteral("送信"), &seen);
        QVERIFY(Tool::alertOkNgWithMsg(QStringLiteral("確認"), QString(), QStringLiteral("送信"),
                                       QStringLiteral("やめる")));
        QCOMPARE(seen.buttons.size(), 2);
    }

    void informationIsShownLiterally() {
        SeenBox seen;
        answerNextBox(QStringLiteral("OK"), &seen);
        const QString info = QStringLiteral("<b>a:b?.jpg</b> 100% %@ %1");
        Tool::alertWithMsg(QStringLiteral("エラーが発生しました"), info, QStringLiteral("OK"));
        QCOMPARE(seen.informative, info);
        QCOMPARE(seen.format, Qt::PlainText);
        QCOMPARE(seen.buttons, QStringList{QStringLiteral("OK")});
    }

    // Escape answers the escape button the caller named, not always the third one.
    void escapeAnswersTheNamedEscapeButton() {
        auto* timer = new QTimer(qApp);
        timer->setInterval(20);
        QObject::connect(timer, &QTimer::timeout, timer, [timer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                QTest::keyClick(box, Qt::Key_Escape);
                timer->stop();
                timer->deleteLater();
            }
        });
        timer->start();
        QCOMPARE(Tool::alertThreeButtonWithMsg(QStringLiteral("読み込み状態の選択。"), QString(),
                                               QStringLiteral("追加"), QStringLiteral("キャンセル"),
                                               QStringLiteral("上書き"), 2),
                 2);
    }

    // Each of three buttons answers its own number, in the order the titles were given.
    void threeButtonsAnswerTheirNumber() {
        for (int button = 1; button <= 3; ++button) {
            const QStringList titles = {QStringLiteral("送信"), QStringLiteral("保存"),
                                        QStringLiteral("キャンセル")};
            SeenBox seen;
            answerNextBox(titles.at(button - 1), &seen);
            QCOMPARE(Tool::alertThreeButtonWithMsg(QStringLiteral("どうしますか？"), QString(),
                                                   titles.at(0), titles.at(1), titles.at(2)),
                     button);
            QCOMPARE(seen.buttons.size(), 3);
            for (const QString& title : titles) {
                QVERIFY(seen.buttons.contains(title));
            }
        }
    }
};

QTEST_MAIN(TestMessageBoxResponder)
#include "tst_MessageBoxResponder.moc"
