#include "ScratchFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The signal handler may only read a plain buffer; one scratch file exists per run.
char g_scratchPathForSignal[4096] = {};
std::atomic<bool> g_scratchPathSet{false};

extern "C" void removeScratchAndExit(int signalNumber) {
    if (g_scratchPathSet.load()) {
        ::unlink(g_scratchPathForSignal);
    }
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

mode_t currentUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

ScratchFile::ScratchFile(const std::string& destinationPath) : destinationPath_(destinationPath) {
    // A fixed short name: the destination's own name may already be as long as names can be.
    const std::string pattern = folderOf(destinationPath) + "/.halvix-sips.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) {
        error_ = std::strerror(errno);
        return;
    }
    ::close(fd);
    path_ = buffer.data();
    if (path_.size() < sizeof g_scratchPathForSignal) {
        std::memcpy(g_scratchPathForSignal, path_.c_str(), path_.size() + 1);
        g_scratchPathSet.store(true);
    }
}

ScratchFile::~ScratchFile() {
    g_scratchPathSet.store(false);
    if (!path_.empty()) {
        ::unlink(path_.c_str());
    }
}

bool ScratchFile::commit() {
    if (path_.empty()) {
        return false;
    }
    // mkstemp makes the file private; the result should look like any other new file.
    ::chmod(path_.c_str(), 0666 & ~currentUmask());
    if (::rename(path_.c_str(), destinationPath_.c_str()) != 0) {
        error_ = std::strerror(errno);
        return false;
    }
    g_scratchPathSet.store(false);
    path_.clear();
    return true;
}

void installScratchFileSignalCleanup() {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = removeScratchAndExit;
        sigemptyset(&action.sa_mask);
        ::sigaction(signalNumber, &action, nullptr);
    }
}
