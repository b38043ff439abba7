#include "ui/ThumbnailLoader.h"

#include "util/Tool.h"

#include <QImageReader>
#include <QMetaObject>
#include <QPainter>
#include <QPointer>
#include <QRunnable>
#include <algorithm>
#include <cmath>
#include <limits>

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
    if (target.width() < stored.width() && target.height() < stored.height()) {
        reader.setScaledSize(target);
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
