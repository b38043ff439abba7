// The lock files that keep one program per settings folder and work area: held by another
// process, named, taken over from the dead, and seen whatever executable holds them.
#include "FileFaults.h"
#include "TestHome.h"
#include "TestProcess.h"
#include "util/InstanceLock.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QtTest>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The child: takes the lock given (a path, or "work-area" for the work area of its HOME), says
// what came of it, and keeps it until its standard input closes.
int holderChild(const char* what) {
    std::unique_ptr<InstanceLock> lock;
    InstanceLock::Result result = InstanceLock::Result::Failed;
    if (std::strcmp(what, "work-area") == 0) {
        result = WorkFolder::lockWorkArea();
    } else {
        lock = std::make_unique<InstanceLock>(QFile::decodeName(what));
        result = lock->tryLock();
    }
    std::puts(result == InstanceLock::Result::Acquired ? "acquired"
              : result == InstanceLock::Result::Held   ? "held"
                                                       : "failed");
    std::fflush(stdout);
    char buffer[64];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    return 0;
}

const char* resultWord(InstanceLock::Result result) {
    switch (result) {
    case InstanceLock::Result::Acquired:
        return "acquired";
    case InstanceLock::Result::Held:
        return "held";
    case InstanceLock::Result::Unsupported:
        return "unsupported";
    case InstanceLock::Result::Failed:
        break;
    }
    return "failed";
}

// The child on a disk without locks: every flock() of it fails with the errno given, by the
// kernel. It tries the lock given (a path, or "work-area") and says "<result> <errno> <errno the
// work area reports as a disk without locks, or 0> <work area usable: 1 or 0>".
int withoutLocksChild(const char* error, const char* what) {
    if (!denyFileLocks(std::atoi(error))) {
        std::puts("no-filter");
        return 0;
    }
    InstanceLock::Result result = InstanceLock::Result::Failed;
    int lastError = 0;
    int unsupported = 0;
    int usable = 0;
    if (std::strcmp(what, "work-area") == 0) {
        result = WorkFolder::lockWorkArea();
        unsupported = WorkFolder::workAreaLockUnsupported().value_or(0);
        lastError = unsupported;
        usable = WorkFolder::checkWorkFolder() ? 1 : 0;
    } else {
        InstanceLock lock(QFile::decodeName(what));
        result = lock.tryLock();
        lastError = lock.lastError();
    }
    std::printf("%s %d %d %d\n", resultWord(result), lastError, unsupported, usable);
    return 0;
}

QByteArray withoutLocks(int error, const QString& what) {
    TestProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--without-locks"), QString::number(error), what});
    if (!child.waitForFinished(30000)) {
        return {};
    }
    return child.readAllStandardOutput().trimmed();
}

// A holder process of this test program (or of a copy of it at another path).
std::unique_ptr<TestProcess> startHolder(const QString& what, const QString& program = QString()) {
    auto child = std::make_unique<TestProcess>();
    child->start(program.isEmpty() ? QCoreApplication::applicationFilePath() : program,
                 {QStringLiteral("--hold"), what});
    return child;
}

QByteArray answerOf(TestProcess& child) {
    if (!child.waitForReadyRead(30000)) {
        return {};
    }
    return child.readLine().trimmed();
}

// Lets the holder end by itself, through its destructors.
bool endCleanly(TestProcess& child) {
    child.closeWriteChannel();
    return child.waitForFinished(30000) && child.exitCode() == 0;
}

int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestInstanceLock : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void anotherProcessHoldsAndNamesIt();
    void deadHoldersLockIsTakenOver();
    void aCopyAtAnotherPathIsSeen();
    void aReplacedLockFileIsLockedAfresh();
    void workAreaOfAnotherProgramIsNeverUsed();
    void aDiskWithoutLocksIsToldApart();
};

void TestInstanceLock::anotherProcessHoldsAndNamesIt() {
    TestHome home;
    const QString path = home.filePath(QStringLiteral("a.lock"));
    const std::unique_ptr<TestProcess> child = startHolder(path);
    QCOMPARE(answerOf(*child), QByteArray("acquired"));

    InstanceLock mine(path);
    QCOMPARE(mine.tryLock(), InstanceLock::Result::Held);
    QVERIFY(!mine.isLocked());
    const std::optional<LockHolder> holder = InstanceLock::otherHolder(path);
    QVERIFY(holder.has_value());
    const pid_t pid = static_cast<pid_t>(child->processId());
    QCOMPARE(holder->pid, pid);
    QCOMPARE(holder->startTime, LockHolder::processStartTime(pid).value_or(0));
    QCOMPARE(holder->host, QSysInfo::machineHostName());
    QCOMPARE(holder->executable,
             QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    QVERIFY(holder->isRunning());
    QCOMPARE(modeOf(path), 0600);

    // A clean end lets go and leaves a file that names nobody.
    QVERIFY(endCleanly(*child));
    QCOMPARE(readAll(path), QByteArray());
    QVERIFY(!InstanceLock::otherHolder(path).has_value());
    QCOMPARE(mine.tryLock(), InstanceLock::Result::Acquired);
    QVERIFY(mine.isLocked());
    QVERIFY(!mine.previousHolder().has_value());
    QCOMPARE(InstanceLock::namedHolder(path)->pid, ::getpid());
    // Its own lock is nobody else's.
    QVERIFY(!InstanceLock::otherHolder(path).has_value());
}

void TestInstanceLock::deadHoldersLockIsTakenOver() {
    TestHome home;
    const QString path = home.filePath(QStringLiteral("a.lock"));
    const std::unique_ptr<TestProcess> child = startHolder(path);
    QCOMPARE(answerOf(*child), QByteArray("acquired"));
    const pid_t pid = static_cast<pid_t>(child->processId());
    child->kill(); // no clean-up at all
    QVERIFY(child->waitForFinished(30000));

    // The file still names the dead process, but nobody holds the lock.
    QCOMPARE(InstanceLock::namedHolder(path)->pid, pid);
    QVERIFY(!InstanceLock::namedHolder(path)->isRunning());
    QVERIFY(!InstanceLock::otherHolder(path).has_value());
    InstanceLock mine(path);
    QCOMPARE(mine.tryLock(), InstanceLock::Result::Acquired);
    QVERIFY(mine.previousHolder().has_value());
    QCOMPARE(mine.previousHolder()->pid, pid);
    QCOMPARE(InstanceLock::namedHolder(path)->pid, ::getpid());
}

void TestInstanceLock::aCopyAtAnotherPathIsSeen() {
    TestHome home;
    const QString copy = home.filePath(QStringLiteral("elsewhere/packaged-copy"));
    QVERIFY(QDir().mkpath(QFileInfo(copy).path()));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    const QString path = home.filePath(QStringLiteral("a.lock"));
    const std::unique_ptr<TestProcess> child = startHolder(path, copy);
    QCOMPARE(answerOf(*child), QByteArray("acquired"));
    InstanceLock mine(path);
    QCOMPARE(mine.tryLock(), InstanceLock::Result::Held);
    QCOMPARE(InstanceLock::otherHolder(path)->executable, copy);
    QVERIFY(endCleanly(*child));
}

void TestInstanceLock::aReplacedLockFileIsLockedAfresh() {
    TestHome home;
    const QString path = home.filePath(QStringLiteral("a.lock"));
    InstanceLock mine(path);
    QCOMPARE(mine.tryLock(), InstanceLock::Result::Acquired);
    QVERIFY(QFile::remove(path));
    // Locked, but not the file that is there now: another program could take that one.
    QVERIFY(!mine.isLocked());
    const std::unique_ptr<TestProcess> child = startHolder(path);
    QCOMPARE(answerOf(*child), QByteArray("acquired"));
    QCOMPARE(mine.tryLock(), InstanceLock::Result::Held);
    QVERIFY(endCleanly(*child));
    QCOMPARE(mine.tryLock(), InstanceLock::Result::Acquired);
    QVERIFY(mine.isLocked());
}

void TestInstanceLock::workAreaOfAnotherProgramIsNeverUsed() {
    TestHome home;
    QVERIFY(WorkFolder::checkWorkFolder());
    const std::unique_ptr<TestProcess> child = startHolder(QStringLiteral("work-area"));
    QCOMPARE(answerOf(*child), QByteArray("acquired"));
    // Whatever this process wants to do there (a job, a log line): the work area is another's.
    QVERIFY(!WorkFolder::checkWorkFolder());
    QCOMPARE(WorkFolder::lockWorkArea(), InstanceLock::Result::Held);
    QVERIFY(!WorkFolder::holdsWorkAreaLock());
    QCOMPARE(WorkFolder::otherWorkAreaHolder()->pid, static_cast<pid_t>(child->processId()));
    QVERIFY(endCleanly(*child));

    QVERIFY(WorkFolder::checkWorkFolder());
    QCOMPARE(WorkFolder::lockWorkArea(), InstanceLock::Result::Acquired);
    QVERIFY(WorkFolder::holdsWorkAreaLock());
    // The work area removed under the running program and made again by another: this one no
    // longer works there.
    QVERIFY(QDir(WorkFolder::workFolderPath()).removeRecursively());
    const std::unique_ptr<TestProcess> next = startHolder(QStringLiteral("work-area"));
    QCOMPARE(answerOf(*next), QByteArray("acquired"));
    QVERIFY(!WorkFolder::holdsWorkAreaLock());
    QVERIFY(!WorkFolder::checkWorkFolder());
    QVERIFY(endCleanly(*next));
    // Free again: taken again.
    QVERIFY(WorkFolder::checkWorkFolder());
    QVERIFY(WorkFolder::holdsWorkAreaLock());
    WorkFolder::unlockWorkArea();
}

// A home on a disk that takes no locks (NFS without its lock service answers ENOLCK, some file
// systems EOPNOTSUPP) is told apart from a lock file that cannot be made or locked for another
// reason, and the work area says which it is, so the studio can be told what to do.
void TestInstanceLock::aDiskWithoutLocksIsToldApart() {
    TestHome home;
    const QString path = home.filePath(QStringLiteral("a.lock"));
    const QByteArray noService = withoutLocks(ENOLCK, path);
    if (noService == "no-filter") {
        QSKIP("the kernel takes no seccomp filter here");
    }
    QCOMPARE(noService, QByteArray("unsupported ") + QByteArray::number(ENOLCK) + " 0 0");
    QCOMPARE(withoutLocks(EOPNOTSUPP, path),
             QByteArray("unsupported ") + QByteArray::number(EOPNOTSUPP) + " 0 0");
    QCOMPARE(withoutLocks(EIO, path), QByteArray("failed ") + QByteArray::number(EIO) + " 0 0");
    // The file was made and is named by nobody: a later program takes it as usual.
    InstanceLock mine(path);
    QCOMPARE(mine.tryLock(), InstanceLock::Result::Acquired);
    QCOMPARE(mine.lastError(), 0);

    QCOMPARE(withoutLocks(ENOLCK, QStringLiteral("work-area")),
             QByteArray("unsupported ") + QByteArray::number(ENOLCK) + ' ' +
                 QByteArray::number(ENOLCK) + " 0");
    QCOMPARE(withoutLocks(EIO, QStringLiteral("work-area")), QByteArray("failed 0 0 0"));
}

int main(int argc, char* argv[]) {
    if (argc > 3 && std::strcmp(argv[1], "--without-locks") == 0) {
        return withoutLocksChild(argv[2], argv[3]);
    }
    if (argc > 2 && std::strcmp(argv[1], "--hold") == 0) {
        return holderChild(argv[2]);
    }
    QCoreApplication app(argc, argv);
    TestInstanceLock test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_InstanceLock.moc"
