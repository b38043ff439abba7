#pragma once

#include <QByteArray>
#include <QList>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Folders and files whose names are raw bytes (not UTF-8), made through the system's own calls:
// Qt can neither name nor remove them, so this removes them again, newest first, however the test
// ends (before its TestHome goes).
class RawNames {
public:
    RawNames() = default;
    ~RawNames() {
        for (auto it = made.crbegin(); it != made.crend(); ++it) {
            if (::rmdir(it->constData()) != 0) {
                ::unlink(it->constData());
            }
        }
    }
    RawNames(const RawNames&) = delete;
    RawNames& operator=(const RawNames&) = delete;

    bool folder(const QByteArray& path) { return keep(path, ::mkdir(path.constData(), 0755) == 0); }
    bool file(const QByteArray& path, const QByteArray& content = "x") {
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        const bool ok =
            fd >= 0 && ::write(fd, content.constData(), static_cast<size_t>(content.size())) ==
                           static_cast<ssize_t>(content.size());
        if (fd >= 0) {
            ::close(fd);
        }
        return keep(path, ok);
    }
    bool fifo(const QByteArray& path) { return keep(path, ::mkfifo(path.constData(), 0600) == 0); }
    bool symlink(const QByteArray& target, const QByteArray& path) {
        return keep(path, ::symlink(target.constData(), path.constData()) == 0);
    }

private:
    bool keep(const QByteArray& path, bool ok) {
        made.append(path); // removed even when only half made
        return ok;
    }
    QList<QByteArray> made;
};
