#include "ui/ThumbnailLoader.h"

#include "util/Tool.h"

#include <QFile>
#include <QImageReader>
#include <QMetaObject>
#include <QPainter>
#include <QPointer>
#include <QRunnable>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <limits>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The picture turned as the EXIF orientation asks (the same steps as the image reader's).
QImage transformed(QImage image, QImageIOHandler::Transformations t) {
    if (t == QImageIOHandler::TransformationNone) {
        return image;
    }
    if (t == QImageIOHandler::TransformationRotate270) {
        return image.transformed(QTransform().rotate(270));
    }
    image = image.mirrored(t.testFlag(QImageIOHandler::TransformationMirror),
                           t.testFlag(QImageIOHandler::TransformationFlip));
    if (t.testFlag(QImageIOHandler::TransformationRotate90)) {
        image = image.transformed(QTransform().rotate(90));
    }
    return image;
}

quint32 readUInt(const QByteArray& data, qsizetype at, int size, bool bigEndian) {
    if (at < 0 || at + size > data.size()) {
        return 0;
    }
    const auto* p = reinterpret_cast<const uchar*>(data.constData() + at);
    quint32 value = 0;
    for (int i = 0; i < size; ++i) {
        const int shift = bigEndian ? 8 * (size - 1 - i) : 8 * i;
        value |= quint32(p[i]) << shift;
    }
    return value;
}

// The small JPEG a camera puts into the EXIF block (IFD1), when the file has one.
QByteArray exifThumbnailBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray head = file.read(128 * 1024); // APP1 is at most 64 KB and comes first
    if (head.size() < 4 || uchar(head[0]) != 0xFF || uchar(head[1]) != 0xD8) {
        return {};
    }
    qsizetype at = 2;
    while (at + 4 <= head.size() && uchar(head[at]) == 0xFF) {
        const uchar marker = uchar(head[at + 1]);
        const qsizetype length = readUInt(head, at + 2, 2, true);
        if (marker == 0xDA || length < 2) {
            break; // image data begins: no EXIF before it
        }
        if (marker == 0xE1 && head.mid(at + 4, 6) == QByteArray("Exif\0\0", 6)) {
            const QByteArray tiff = head.mid(at + 10, length - 8);
            const bool big = tiff.startsWith("MM");
            const quint32 ifd0 = readUInt(tiff, 4, 4, big);
            const quint32 count0 = readUInt(tiff, ifd0, 2, big);
            const quint32 ifd1 = readUInt(tiff, ifd0 + 2 + 12 * count0, 4, big);
            if (ifd1 == 0) {
                return {};
            }
            const quint32 count1 = readUInt(tiff, ifd1, 2, big);
            quint32 offset = 0;
            quint32 size = 0;
            for (quint32 i = 0; i < count1; ++i) {
                const qsizetype entry = ifd1 + 2 + 12 * i;
                const quint32 tag = readUInt(tiff, entry, 2, big);
                if (tag == 0x0201) {
                    offset = readUInt(tiff, entry + 8, 4, big);
                } else if (tag == 0x0202) {
                    size = readUInt(tiff, entry + 8, 4, big);
                }
            }
            if (offset == 0 || size == 0 || qsizetype(offset) + size > tiff.size()) {
                return {};
            }
            return tiff.mid(offset, size);
        }
        at += 2 + length;
    }
    return {};
}

// Decoding yields to the window: a worker runs with a lower scheduling weight (nice 10), so on a
// busy two-core machine the main thread is not kept waiting for a time slice.
void lowerThisThreadOnce() {
    thread_local bool lowered = false;
    if (!lowered) {
        lowered = true;
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
    }
}

} // namespace

ThumbnailLoader::ThumbnailLoader(QObject* parent) : QObject(parent) {
    // Decoding is I/O and CPU; two workers keep the main thread and the job thread responsive
    // on a small machine.
    pool_.setMaxThreadCount(std::clamp(QThread::idealThreadCount() - 1, 1, 2));
    pool_.setObjectName(QStringLiteral("thumbnails"));
}

ThumbnailLoader::~ThumbnailLoader() {
    cancelAll();
    pool_.clear();
    pool_.waitForDone();
}

void ThumbnailLoader::request(const QString& path) {
    if (pending_.contains(path)) {
        return;
    }
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    const quint64 serial = ++serial_;
    pending_.insert(path, Pending{serial, cancelled});
    QPointer<ThumbnailLoader> self(this);
    QRunnable* task = QRunnable::create([self, path, serial, cancelled] {
        if (cancelled->load()) {
            return;
        }
        lowerThisThreadOnce();
        QImage image = makeThumbnail(path);
        if (image.isNull()) {
            image = notImage();
        }
        if (cancelled->load() || self.isNull()) {
            return;
        }
        // Delivered on the loader's thread; dropped if the loader is gone by then.
        QMetaObject::invokeMethod(
            self.data(),
            [self, path, serial, image] {
                if (self) {
                    self->finished(path, serial, image);
                }
            },
            Qt::QueuedConnection);
    });
    // Newest first: what the user looks at now is what was asked for last.
    if (priority_ == std::numeric_limits<int>::max()) {
        priority_ = 0;
    }
    pool_.start(task, ++priority_);
}

void ThumbnailLoader::finished(const QString& path, quint64 serial, const QImage& image) {
    const auto it = pending_.constFind(path);
    if (it == pending_.constEnd() || it->serial != serial) {
        return; // cancelled meanwhile, or asked for again
    }
    pending_.erase(it);
    Q_EMIT thumbnailReady(path, image);
}

void ThumbnailLoader::cancelExcept(const QSet<QString>& keep) {
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (keep.contains(it.key())) {
            ++it;
        } else {
            it->cancelled->store(true);
            it = pending_.erase(it);
        }
    }
}

void ThumbnailLoader::cancelAll() {
    cancelExcept({});
}

void ThumbnailLoader::waitForDone() {
    pool_.waitForDone();
}

QImage ThumbnailLoader::makeThumbnail(const QString& path, int height) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty()) {
        return {};
    }
    // The scaled size applies to the stored image; a quarter turn swaps its sides on screen.
    const bool quarterTurn =
        reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize shown = quarterTurn ? stored.transposed() : stored;
    const int width =
        std::max(1, static_cast<int>(std::lround(double(shown.width()) * height / shown.height())));
    const QSize target = quarterTurn ? QSize(height, width) : QSize(width, height);
    // A camera's own small copy, when it is as tall as the row: nothing of the big picture is
    // decoded at all.
    if (const QByteArray small = exifThumbnailBytes(path); !small.isEmpty()) {
        QImage embedded = transformed(QImage::fromData(small, "JPEG"), reader.transformation());
        if (!embedded.isNull() && embedded.height() >= height &&
            std::abs(double(embedded.width()) / embedded.height() -
                     double(shown.width()) / shown.height()) < 0.02) {
            return embedded.scaledToHeight(height, Qt::SmoothTransformation);
        }
    }
    if (target.width() < stored.width() && target.height() < stored.height()) {
        reader.setScaledSize(target);
        // Below the JPEG reader's high-quality mark it lets libjpeg decode at 1/2 to 1/8 of the
        // size (DCT scaling) before the final smooth scale; at 70 pixels nothing shows of it.
        reader.setQuality(25);
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return {};
    }
    if (image.height() != height) {
        image = image.scaledToHeight(height, Qt::SmoothTransformation);
    }
    return image;
}

QImage ThumbnailLoader::notImage(int height) {
    static const QImage source = [] {
        const QString path = Tool::resourcePath(QStringLiteral("not_image"), QStringLiteral("jpg"));
        return path.isEmpty() ? QImage() : QImage(path);
    }();
    if (source.isNull()) {
        QImage grey(height, height, QImage::Format_RGB32);
        grey.fill(QColor(0xd0, 0xd0, 0xd0));
        return grey;
    }
    return source.scaledToHeight(height, Qt::SmoothTransformation);
}
