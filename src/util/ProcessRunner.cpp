#include "util/ProcessRunner.h"

#include "util/PathUtil.h"

#include <QFile>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

// One end of a pipe, closed when it goes out of scope.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : value(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : value(std::exchange(other.value, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            value = std::exchange(other.value, -1);
        }
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return value; }
    bool isOpen() const { return value >= 0; }
    void reset() {
        if (value >= 0) {
            ::close(value);
            value = -1;
        }
    }

private:
    int value = -1;
};

struct Pipe {
    Fd readEnd;
    Fd writeEnd;
    bool open() {
        int fds[2];
        // Close-on-exec, so that children spawned by other threads never hold our ends open.
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return false;
        }
        readEnd = Fd(fds[0]);
        writeEnd = Fd(fds[1]);
        return true;
    }
};

// The program to run: a name without "/" is looked up in PATH here, before the fork, so the
// child does nothing but async-signal-safe calls. Empty when there is no such program.
QByteArray resolveProgram(const QString& program) {
    const QByteArray bytes = QFile::encodeName(program);
    if (program.contains(QLatin1Char('/')))
        return bytes;
    const QByteArray path =
        qgetenv("PATH").isEmpty() ? QByteArray("/usr/bin:/bin") : qgetenv("PATH");
    for (const QByteArray& folder : path.split(':')) {
        const QByteArray candidate = (folder.isEmpty() ? QByteArray(".") : folder) + '/' + bytes;
        if (::access(candidate.constData(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// Makes fd the child's descriptor target (0, 1 or 2), open across exec. Child side only.
bool childDup(int fd, int target) {
    if (fd == target)
        return ::fcntl(fd, F_SETFD, 0) == 0;
    return ::dup2(fd, target) == target;
}

// The child between fork and exec: only async-signal-safe calls. It dies with the thread that
// started it (the runner waits there for it), so no child outlives a killed program; its signals
// start at their defaults with an empty mask, whatever the program uses. An error of its set-up
// or of exec is written to report as errno and the child ends.
[[noreturn]] void runChild(pid_t parent, int report, int in, int out, int err, const char* workDir,
                           const char* path, char* const* argv) {
    int failure = 0;
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
        ::_exit(127); // the program already ended: nothing to run for
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP)
            ::sigaction(sig, &defaults, nullptr);
    }
    const int devNull = in < 0 ? ::open("/dev/null", O_RDONLY | O_CLOEXEC) : -1;
    if (!childDup(in >= 0 ? in : devNull, STDIN_FILENO) ||
        (out >= 0 && !childDup(out, STDOUT_FILENO)) || (err >= 0 && !childDup(err, STDERR_FILENO)))
        failure = errno;
    if (failure == 0 && workDir[0] != '\0' && ::chdir(workDir) != 0)
        failure = errno;
    if (failure == 0) {
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(path, argv, environ);
        failure = errno;
    }
    while (::write(report, &failure, sizeof failure) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

// Blocks SIGPIPE for the calling thread while a child's stdin is written, so that a child that
// exits early gives EPIPE instead of killing the program; a SIGPIPE raised meanwhile is consumed.
class SigpipeBlock {
public:
    SigpipeBlock() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        alreadyPending = sigismember(&pending, SIGPIPE) == 1;
        blocked = pthread_sigmask(SIG_BLOCK, &set, &previous) == 0;
    }
    ~SigpipeBlock() {
        if (!blocked) {
            return;
        }
        if (gotEpipe && !alreadyPending) {
            sigset_t set;
            sigemptyset(&set);
            sigaddset(&set, SIGPIPE);
            const timespec zero{0, 0};
            while (sigtimedwait(&set, nullptr, &zero) == -1 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;
    bool gotEpipe = false;

private:
    sigset_t previous;
    bool blocked = false;
    bool alreadyPending = false;
};

int openPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

void setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
}

void applyStatus(ProcessResult& result, int status) {
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.crashed = !result.cancelled;
        result.exitStatus = -1;
    }
}

} // namespace

ProcessStopper::ProcessStopper() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ProcessStopper::~ProcessStopper() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void ProcessStopper::stop() {
    if (stopped_.exchange(true)) {
        return;
    }
    if (fd_ >= 0) {
        const uint64_t one = 1;
        while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
}

bool ProcessStopper::isStopped() const {
    return stopped_.load();
}

ProcessResult runProcess(const QString& program, const QStringList& args,
                         const ProcessOptions& options) {
    ProcessResult result;
    if (program.isEmpty()) {
        return result;
    }
    const ProcessStopper* stopper = options.stopper;
    if (stopper != nullptr && stopper->isStopped()) {
        result.cancelled = true; // stopped before it began: nothing is started
        return result;
    }

    const QByteArray programBytes = QFile::encodeName(program);
    std::vector<QByteArray> argBytes;
    argBytes.reserve(static_cast<size_t>(args.size()) + 1);
    argBytes.push_back(programBytes);
    for (const QString& arg : args) {
        argBytes.push_back(QFile::encodeName(arg));
    }
    std::vector<char*> argv;
    argv.reserve(argBytes.size() + 1);
    for (QByteArray& bytes : argBytes) {
        argv.push_back(bytes.data());
    }
    argv.push_back(nullptr);

    Pipe outPipe;
    Pipe errPipe;
    Pipe inPipe;
    if ((options.captureStdout && !outPipe.open()) || (options.captureStderr && !errPipe.open()) ||
        (options.stdinData && !inPipe.open())) {
        return result;
    }

    const QByteArray path = resolveProgram(program);
    const QByteArray workDir = QFile::encodeName(orbel::expandTilde(options.workingDirectory));
    Pipe report; // the child's set-up or exec error; closed by a successful exec
    if (path.isEmpty() || !report.open()) {
        return result;
    }

    SigpipeBlock sigpipeBlock;

    // Every signal stays blocked across the fork, so no handler of the program runs in the child
    // before it has reset them.
    sigset_t all;
    sigset_t previousMask;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previousMask);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        runChild(parent, report.writeEnd.get(), options.stdinData ? inPipe.readEnd.get() : -1,
                 options.captureStdout ? outPipe.writeEnd.get() : -1,
                 options.captureStderr ? errPipe.writeEnd.get() : -1, workDir.constData(),
                 path.constData(), argv.data());
    }
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    if (pid < 0) {
        return result;
    }
    report.writeEnd.reset();
    int childError = 0;
    ssize_t got = 0;
    do {
        got = ::read(report.readEnd.get(), &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        // A missing program or working directory: the child never ran it.
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return result;
    }
    result.started = true;

    // Only the child keeps these ends; end of stream comes when it (and its children) close them.
    outPipe.writeEnd.reset();
    errPipe.writeEnd.reset();
    inPipe.readEnd.reset();

    Fd pidFd(openPidFd(pid));
    if (outPipe.readEnd.isOpen()) {
        setNonBlocking(outPipe.readEnd.get());
    }
    if (errPipe.readEnd.isOpen()) {
        setNonBlocking(errPipe.readEnd.get());
    }
    qsizetype stdinOffset = 0;
    if (inPipe.writeEnd.isOpen()) {
        setNonBlocking(inPipe.writeEnd.get());
        if (options.stdinData->isEmpty()) {
            inPipe.writeEnd.reset();
        }
    }

    using Clock = std::chrono::steady_clock;
    bool exited = false;
    int status = 0;
    bool killSent = false;
    Clock::time_point termTime;
    std::array<char, 65536> buffer;

    auto reapNoHang = [&] {
        if (exited) {
            return;
        }
        pid_t r;
        do {
            r = ::waitpid(pid, &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == pid) {
            exited = true;
        }
    };

    auto drain = [&](Fd& fd, QByteArray* sink, const std::function<void(const QByteArray&)>& cb) {
        for (;;) {
            const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
            if (n > 0) {
                const QByteArray chunk(buffer.data(), static_cast<qsizetype>(n));
                if (sink) {
                    sink->append(chunk);
                }
                if (cb) {
                    cb(chunk);
                }
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            }
            fd.reset(); // end of stream or a read error
            return;
        }
    };

    for (;;) {
        const bool streamsOpen =
            outPipe.readEnd.isOpen() || errPipe.readEnd.isOpen() || inPipe.writeEnd.isOpen();
        if (exited && (!streamsOpen || result.cancelled)) {
            break;
        }
        // Watched until the child exits or is asked to stop: a readable stopper would otherwise
        // wake every poll while a grandchild still holds a stream open.
        const bool watchStopper = stopper != nullptr && !result.cancelled && !exited;
        if (!streamsOpen && !options.shouldCancel && !watchStopper && !result.cancelled) {
            break; // nothing to watch: wait for the exit below
        }

        std::vector<pollfd> fds;
        Fd* slots[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
        auto add = [&](Fd& fd, short events) {
            if (fd.isOpen()) {
                slots[fds.size()] = &fd;
                fds.push_back(pollfd{fd.get(), events, 0});
            }
        };
        add(outPipe.readEnd, POLLIN);
        add(errPipe.readEnd, POLLIN);
        add(inPipe.writeEnd, POLLOUT);
        if (pidFd.isOpen() && !exited) {
            add(pidFd, POLLIN);
        }
        // The stopper's descriptor is only watched, never read, so it wakes every run that uses it.
        if (watchStopper && stopper->wakeFd() >= 0) {
            fds.push_back(pollfd{stopper->wakeFd(), POLLIN, 0});
        }
        const bool needTimer = options.shouldCancel || result.cancelled || !pidFd.isOpen() ||
                               (watchStopper && stopper->wakeFd() < 0);
        const int rc = ::poll(fds.data(), static_cast<nfds_t>(fds.size()), needTimer ? 100 : -1);
        if (rc < 0 && errno != EINTR) {
            break;
        }
        if (rc > 0) {
            for (size_t i = 0; i < fds.size(); ++i) {
                if (fds[i].revents == 0) {
                    continue;
                }
                Fd* fd = slots[i];
                if (fd == nullptr) {
                    continue; // the stopper: looked at below
                }
                if (fd == &outPipe.readEnd) {
                    drain(outPipe.readEnd, options.keepStdout ? &result.stdoutData : nullptr,
                          options.onStdout);
                } else if (fd == &errPipe.readEnd) {
                    drain(errPipe.readEnd, &result.stderrData, options.onStderr);
                } else if (fd == &inPipe.writeEnd) {
                    const QByteArray& data = *options.stdinData;
                    const ssize_t n = ::write(fd->get(), data.constData() + stdinOffset,
                                              static_cast<size_t>(data.size() - stdinOffset));
                    if (n > 0) {
                        stdinOffset += n;
                        if (stdinOffset >= data.size()) {
                            fd->reset();
                        }
                    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
                        if (errno == EPIPE) {
                            sigpipeBlock.gotEpipe = true;
                        }
                        fd->reset(); // the child stopped reading
                    }
                } else if (fd == &pidFd) {
                    reapNoHang();
                }
            }
        }
        if (!pidFd.isOpen() || result.cancelled) {
            reapNoHang();
        }

        if (!result.cancelled && !exited &&
            ((stopper != nullptr && stopper->isStopped()) ||
             (options.shouldCancel && options.shouldCancel()))) {
            result.cancelled = true;
            ::kill(pid, SIGTERM);
            termTime = Clock::now();
        }
        if (result.cancelled && !exited && !killSent &&
            Clock::now() - termTime >= std::chrono::seconds(2)) {
            ::kill(pid, SIGKILL);
            killSent = true;
        }
    }

    if (!exited) {
        pid_t r;
        do {
            r = ::waitpid(pid, &status, 0);
        } while (r < 0 && errno == EINTR);
        exited = r == pid;
    }
    if (exited) {
        applyStatus(result, status);
    }
    return result;
}
