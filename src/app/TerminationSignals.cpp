#include "app/TerminationSignals.h"

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int gPipe[2] = {-1, -1};
struct sigaction gOldTerm {};
struct sigaction gOldInt {};

void onSignal(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    // Only async-signal-safe work here; a full pipe drops the byte, one is enough.
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (gPipe[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gPipe) != 0) {
        return;
    }
    _notifier = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    connect(_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &gOldTerm);
    sigaction(SIGINT, &action, &gOldInt);
}

TerminationSignals::~TerminationSignals() {
    if (!_notifier) {
        return;
    }
    sigaction(SIGTERM, &gOldTerm, nullptr);
    sigaction(SIGINT, &gOldInt, nullptr);
    _notifier.reset();
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

void TerminationSignals::readSignal() {
    unsigned char byte = 0;
    while (::read(gPipe[0], &byte, 1) == 1) {
        Q_EMIT terminationRequested(static_cast<int>(byte));
    }
}
