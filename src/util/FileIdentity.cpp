#include "util/FileIdentity.h"

#include <QFile>
#include <sys/stat.h>
#include <thread>
#include <time.h>

namespace orbel {

namespace {

// Stamps with nanoseconds come from the kernel's tick clock (at most 10 ms a tick); stamps
// without any are from a filesystem that keeps whole seconds or two. Both with room to spare.
constexpr std::chrono::milliseconds kTickWindow{20};
constexpr std::chrono::milliseconds kSecondsWindow{3000};

} // namespace

std::optional<FileIdentity> FileIdentity::of(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    FileIdentity identity;
    identity.device = static_cast<quint64>(st.st_dev);
    identity.inode = static_cast<quint64>(st.st_ino);
    identity.size = static_cast<qint64>(st.st_size);
    identity.modifiedSeconds = static_cast<qint64>(st.st_mtim.tv_sec);
    identity.modifiedNanoseconds = static_cast<qint64>(st.st_mtim.tv_nsec);
    identity.changedSeconds = static_cast<qint64>(st.st_ctim.tv_sec);
    identity.changedNanoseconds = static_cast<qint64>(st.st_ctim.tv_nsec);
    return identity;
}

std::chrono::nanoseconds FileIdentity::sameStampWindow() const {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const auto changed =
        std::chrono::seconds(changedSeconds) + std::chrono::nanoseconds(changedNanoseconds);
    const auto present = std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
    const std::chrono::nanoseconds window = changedNanoseconds == 0 ? kSecondsWindow : kTickWindow;
    // A change time ahead of the clock (set on another machine, a clock stepped back) proves
    // nothing until the clock has passed it.
    const auto left = changed + window - present;
    return left > std::chrono::nanoseconds::zero() ? left : std::chrono::nanoseconds::zero();
}

std::optional<SettledFileIdentity> settledFileIdentity(const QString& path,
                                                       std::chrono::milliseconds maxWait) {
    std::optional<FileIdentity> identity = FileIdentity::of(path);
    if (!identity)
        return std::nullopt;
    const std::chrono::nanoseconds left = identity->sameStampWindow();
    if (left > std::chrono::nanoseconds::zero() && left <= maxWait) {
        std::this_thread::sleep_for(left + std::chrono::milliseconds(1));
        identity = FileIdentity::of(path);
        if (!identity)
            return std::nullopt;
    }
    return SettledFileIdentity{*identity,
                               identity->sameStampWindow() == std::chrono::nanoseconds::zero()};
}

} // namespace orbel
