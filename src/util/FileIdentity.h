#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>
#include <optional>

namespace orbel {

// Which file a path names and when it last changed (stat): device, inode, size, modification and
// change time to the nanosecond. Any write, truncation, replacement, link or attribute change
// sets the change time to the clock's present value, and no program can set it back; so an
// identity that is the same twice, taken once further changes are sure to show in the change
// time, proves nothing wrote to the file in between.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;
    qint64 changedSeconds = 0;
    qint64 changedNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;

    // None when the path cannot be stat'ed.
    static std::optional<FileIdentity> of(const QString& path);

    // How much longer a change could still get the same change time as the last one: the kernel
    // stamps with a clock that moves in ticks (milliseconds), and some filesystems keep whole
    // seconds (two for FAT). Zero once any change is sure to show.
    std::chrono::nanoseconds sameStampWindow() const;
};

struct SettledFileIdentity {
    FileIdentity identity;
    bool changesShow = false; // false: a change could still keep the same stamps
};

// The identity, taken after waiting out a same-stamp window of at most maxWait (a file written a
// moment ago); none when the path cannot be stat'ed.
std::optional<SettledFileIdentity> settledFileIdentity(const QString& path,
                                                       std::chrono::milliseconds maxWait);

} // namespace orbel
