#include "TestHome.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const QString kSh = QStringLiteral("/bin/sh");

ProcessResult shell(const QString& script, const ProcessOptions& options = {}) {
    return runProcess(kSh, {QStringLiteral("-c"), script}, options);
}

// No child of this process may be left behind (running or as a zombie).
bool noChildLeft() {
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

} // namespace

class TestProcessRunner : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void simpleShellRules() {
        TestHome home;
        QCOMPARE(Tool::simpleShell(QStringLiteral("echo a")),
                 std::optional<QString>(QStringLiteral("a\n")));
        QCOMPARE(Tool::simpleShell(QStringLiteral("true")), std::optional<QString>(QString()));
        // Anything on standard error makes the result none, even with standard output.
        QCOMPARE(Tool::simpleShell(QStringLiteral("echo out; echo err >&2")), std::nullopt);
        QCOMPARE(Tool::simpleShell(QStringLiteral("printf '日本語'")),
                 std::optional<QString>(QStringLiteral("日本語")));
        // A failing exit status alone is not a failure of the shell runner.
        QCOMPARE(Tool::simpleShell(QStringLiteral("printf x; exit 4")),
                 std::optional<QString>(QStringLiteral("x")));
        QVERIFY(noChildLeft());
    }

    void missingProgramOrFolderFailsCleanly() {
        TestHome home;
        QVERIFY(!Tool::taskWithCmd(QStringLiteral("/nonexistent/program")));
        QCOMPARE(Tool::outputTaskWithCmd(QStringLiteral("/nonexistent/program")), std::nullopt);
        QVERIFY(!runProcess(QStringLiteral("/nonexistent/program"), {}).started);
        QVERIFY(!runProcess(QStringLiteral("no-such-program-anywhere"), {}).started);
        QVERIFY(!runProcess(QString(), {}).started);
        // A working folder that does not exist is a launch failure, not a run in another folder.
        QVERIFY(!Tool::taskWithCmd(QStringLiteral("/bin/true"), {},
                                   home.path() + QStringLiteral("/missing")));
        QCOMPARE(Tool::outputTaskWithCmd(QStringLiteral("/bin/pwd"), {},
                                         home.path() + QStringLiteral("/missing")),
                 std::nullopt);
        QVERIFY(Tool::taskWithCmd(QStringLiteral("/bin/true")));
        QVERIFY(!Tool::taskWithCmd(QStringLiteral("/bin/false")));
        QVERIFY(noChildLeft());
    }

    // The runners log nothing themselves: the caller learns a launch failure from the result.
    void launchFailureIsToldApart() {
        TestHome home;
        const ToolRunResult missing = Tool::taskRunWithCmd(QStringLiteral("/nonexistent/program"));
        QVERIFY(!missing.launched);
        QVERIFY(!missing.ok);
        const ToolRunResult failing = Tool::taskRunWithCmd(QStringLiteral("/bin/false"));
        QVERIFY(failing.launched);
        QVERIFY(!failing.ok);
        QVERIFY(Tool::taskRunWithCmd(QStringLiteral("/bin/true")).ok);

        const ToolRunResult badFolder = Tool::outputTaskRunWithCmd(
            QStringLiteral("/bin/pwd"), {}, home.path() + QStringLiteral("/missing"));
        QVERIFY(!badFolder.launched);
        QCOMPARE(badFolder.output, std::nullopt);
        const ToolRunResult printed =
            Tool::outputTaskRunWithCmd(QStringLiteral("/usr/bin/printf"), {QStringLiteral("x")});
        QVERIFY(printed.launched && printed.ok);
        QCOMPARE(printed.output, std::optional<QString>(QStringLiteral("x")));

        // Standard error makes the shell runner's answer none, but the shell did start.
        const ToolRunResult noisy = Tool::simpleShellRun(QStringLiteral("echo a; echo b >&2"));
        QVERIFY(noisy.launched);
        QVERIFY(!noisy.ok);
        QCOMPARE(noisy.output, std::nullopt);
        // No log is written by any of them (the work area is not even created).
        QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("MVL_WorkArea"))));
        QVERIFY(noChildLeft());
    }

    void tildeWorkingDirectoryIsExpanded() {
        TestHome home;
        const QString real = QDir(home.path()).canonicalPath();
        QCOMPARE(Tool::outputTaskWithCmd(QStringLiteral("/bin/pwd"), {}, QStringLiteral("~")),
                 std::optional<QString>(real + QStringLiteral("\n")));
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("sub folder")));
        QCOMPARE(
            Tool::outputTaskWithCmd(QStringLiteral("/bin/pwd"), {}, QStringLiteral("~/sub folder")),
            std::optional<QString>(real + QStringLiteral("/sub folder\n")));
        // The default folder of the task runner is the home folder too.
        QVERIFY(Tool::taskWithCmd(kSh, {QStringLiteral("-c"), QStringLiteral("touch here")}));
        QVERIFY(QFile::exists(home.filePath(QStringLiteral("here"))));
    }

    void argumentsArriveWhole() {
        TestHome home;
        const QString odd = QStringLiteral("a b  c 'q' \"d\" $HOME;*");
        QCOMPARE(Tool::outputTaskWithCmd(QStringLiteral("/usr/bin/printf"),
                                         {QStringLiteral("[%s]\\n"), odd}),
                 std::optional<QString>(QStringLiteral("[") + odd + QStringLiteral("]\n")));
        QVERIFY(
            Tool::taskWithCmd(QStringLiteral("/usr/bin/test"),
                              {QStringLiteral("a b"), QStringLiteral("="), QStringLiteral("a b")}));
        QVERIFY(
            !Tool::taskWithCmd(QStringLiteral("/usr/bin/test"),
                               {QStringLiteral("a b"), QStringLiteral("="), QStringLiteral("a")}));
        const ProcessResult r =
            runProcess(kSh, {QStringLiteral("-c"), QStringLiteral("echo $#"),
                             QStringLiteral("zero"), QString(), QStringLiteral("x y")});
        QCOMPARE(r.stdoutData, QByteArray("2\n"));
    }

    void fullStderrPipeDoesNotStall() {
        TestHome home;
        // 1 MB on standard error before anything on standard output: far more than a pipe holds.
        const QString script = QStringLiteral("head -c 1048576 /dev/zero >&2; head -c 300000 "
                                              "/dev/zero | tr '\\0' o; printf end");
        const ProcessResult r = shell(script);
        QVERIFY(r.succeeded());
        QCOMPARE(r.stderrData.size(), qsizetype(1048576));
        QCOMPARE(r.stdoutData.size(), qsizetype(300003));
        QVERIFY(r.stdoutData.endsWith("oooend"));
        QCOMPARE(Tool::simpleShell(script), std::nullopt);
        QVERIFY(noChildLeft());
    }

    void chunksAndStatus() {
        QByteArray seen;
        ProcessOptions options;
        options.onStdout = [&](const QByteArray& chunk) { seen += chunk; };
        const ProcessResult r =
            shell(QStringLiteral("seq 1 20000; echo warn >&2; exit 3"), options);
        QVERIFY(r.started);
        QCOMPARE(r.exitStatus, 3);
        QVERIFY(!r.succeeded());
        QCOMPARE(seen, r.stdoutData);
        QVERIFY(r.stdoutData.endsWith("\n20000\n"));
        QCOMPARE(r.stderrData, QByteArray("warn\n"));

        const ProcessResult killed = shell(QStringLiteral("kill -SEGV $$"));
        QVERIFY(killed.started);
        QVERIFY(killed.crashed);
        QVERIFY(!killed.succeeded());
    }

    void standardInput() {
        ProcessOptions options;
        QByteArray big(2 * 1024 * 1024, 'x');
        big.append("tail");
        options.stdinData = big;
        const ProcessResult r = runProcess(QStringLiteral("/bin/cat"), {}, options);
        QVERIFY(r.succeeded());
        QCOMPARE(r.stdoutData, big);

        // A child that never reads its input must not take the program down with SIGPIPE.
        const ProcessResult early = runProcess(QStringLiteral("/bin/true"), {}, options);
        QVERIFY(early.succeeded());

        // Without data the child reads an empty input, never the terminal.
        const ProcessResult none =
            runProcess(QStringLiteral("/usr/bin/wc"), {QStringLiteral("-c")});
        QCOMPARE(none.stdoutData.trimmed(), QByteArray("0"));
        QVERIFY(noChildLeft());
    }

    void cancelTerminatesChild() {
        ProcessOptions options;
        int polls = 0;
        options.shouldCancel = [&] { return ++polls >= 2; };
        const ProcessResult r =
            runProcess(QStringLiteral("/bin/sleep"), {QStringLiteral("1000")}, options);
        QVERIFY(r.started);
        QVERIFY(r.cancelled);
        QVERIFY(!r.crashed);
        QVERIFY(!r.succeeded());
        QVERIFY(noChildLeft());

        // A child that ignores SIGTERM is killed after the grace period.
        options.shouldCancel = [] { return true; };
        const ProcessResult stubborn =
            shell(QStringLiteral("trap '' TERM; exec /bin/sleep 1000"), options);
        QVERIFY(stubborn.cancelled);
        QVERIFY(!stubborn.succeeded());
        QVERIFY(noChildLeft());

        // Cancelling also works while the runner only waits for the exit.
        options.captureStdout = false;
        options.captureStderr = false;
        const ProcessResult quiet =
            runProcess(QStringLiteral("/bin/sleep"), {QStringLiteral("1000")}, options);
        QVERIFY(quiet.cancelled);
        QVERIFY(noChildLeft());
    }

    // A program that is killed takes its children with it: a curl must not go on uploading
    // behind a program that is gone (the next send would meet a file still growing at the lab).
    void childDiesWithTheProgram() {
        TestHome home;
        const QString pidFile = home.filePath(QStringLiteral("child.pid"));
        // The "program": a copy of this process that runs a long child and is then killed.
        const pid_t program = ::fork();
        if (program == 0) {
            runProcess(kSh, {QStringLiteral("-c"),
                             QStringLiteral(
                                 "echo $$ > \"$1.tmp\"; mv \"$1.tmp\" \"$1\"; exec /bin/sleep 60"),
                             QStringLiteral("sh"), pidFile});
            ::_exit(0);
        }
        QVERIFY(program > 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(pidFile), 30000);
        QFile file(pidFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const pid_t child = static_cast<pid_t>(file.readAll().trimmed().toInt());
        QVERIFY(child > 0);
        ::kill(program, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(program, &status, 0), program);

        // Gone, or a zombie waiting for whoever adopted it: no longer running either way.
        const auto running = [child] {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
            if (!stat.open(QIODevice::ReadOnly))
                return false;
            const QByteArray text = stat.readAll();
            const qsizetype close = text.lastIndexOf(')');
            return close > 0 && text.size() > close + 2 && text.at(close + 2) != 'Z';
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const bool outlived = running();
        if (outlived)
            ::kill(child, SIGKILL); // this test started it: it does not outlive the test
        QVERIFY(!outlived);
    }

    // One stop() from another thread ends every child that runs with the stopper, whatever the
    // runner is waiting for, and refuses to start any more.
    void stopperEndsEveryRunningChildAtOnce() {
        TestHome home;
        ProcessStopper stopper;
        std::atomic<int> talking{0};

        ProcessOptions reading; // waits on the child's output streams
        reading.stopper = &stopper;
        reading.onStdout = [&](const QByteArray&) { ++talking; };
        ProcessOptions quiet; // waits for the exit only
        quiet.stopper = &stopper;
        quiet.captureStdout = false;
        quiet.captureStderr = false;
        const QString marker = home.filePath(QStringLiteral("quiet-started"));

        ProcessResult a;
        ProcessResult b;
        ProcessResult c;
        std::thread first(
            [&] { a = shell(QStringLiteral("echo up; exec /bin/sleep 1000"), reading); });
        std::thread second([&] {
            b = shell(QStringLiteral("echo up; trap '' TERM; exec /bin/sleep 1000"), reading);
        });
        std::thread third([&] {
            c = runProcess(kSh,
                           {QStringLiteral("-c"),
                            QStringLiteral("touch \"$1\"; exec /bin/sleep 1000"),
                            QStringLiteral("sh"), marker},
                           quiet);
        });
        QTRY_VERIFY_WITH_TIMEOUT(talking.load() == 2 && QFile::exists(marker), 30000);
        QVERIFY(!stopper.isStopped());
        stopper.stop();
        first.join();
        second.join();
        third.join();
        for (const ProcessResult* r : {&a, &b, &c}) {
            QVERIFY(r->started);
            QVERIFY(r->cancelled);
            QVERIFY(!r->crashed);
            QVERIFY(!r->succeeded());
        }
        QVERIFY(noChildLeft());

        // Once stopped, nothing new starts.
        const ProcessResult late = runProcess(QStringLiteral("/bin/true"), {}, quiet);
        QVERIFY(!late.started);
        QVERIFY(late.cancelled);
        stopper.stop(); // a second stop changes nothing
        QVERIFY(stopper.isStopped());
    }

    void childStartsWithDefaultSignals() {
        // Even when this thread blocks SIGTERM, the child must be stoppable by it.
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        sigset_t old;
        pthread_sigmask(SIG_BLOCK, &set, &old);
        const ProcessResult r = shell(QStringLiteral("grep SigBlk /proc/self/status"));
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        QVERIFY(r.succeeded());
        QCOMPARE(r.stdoutData.trimmed(), QByteArray("SigBlk:\t0000000000000000"));
    }
};

QTEST_GUILESS_MAIN(TestProcessRunner)
#include "tst_ProcessRunner.moc"
