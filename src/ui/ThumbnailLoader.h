#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <memory>

// Makes the list thumbnails off the main thread. Each image is decoded already scaled (libjpeg
// decodes at 1/2 to 1/8 when asked for a smaller size), turned upright by its EXIF orientation and
// brought to the list's row height; a file that is no readable image gets the program's "not_image"
// picture. The newest request runs first, so the rows in view come before those scrolled past, and
// a request that is cancelled before it starts costs nothing.
class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kThumbnailHeight = 70;

    explicit ThumbnailLoader(QObject* parent = nullptr);
    ~ThumbnailLoader() override; // drops what is queued, waits for what runs

    // Asks for the thumbnail of path; nothing when it is already asked for.
    void request(const QString& path);
    bool isPending(const QString& path) const { return pending_.contains(path); }
    qsizetype pendingCount() const { return pending_.size(); }
    // Cancels every pending request whose path is not in keep (rows scrolled out of view).
    void cancelExcept(const QSet<QString>& keep);
    void cancelAll();
    // Waits until nothing runs or waits (tests and benchmarks; the event loop delivers after).
    void waitForDone();

    // The thumbnail, height pixels high with the aspect kept; null when the file is no image.
    static QImage makeThumbnail(const QString& path, int height = kThumbnailHeight);
    // The "not_image" picture at the given height (a grey square when the resource is missing).
    static QImage notImage(int height = kThumbnailHeight);

Q_SIGNALS:
    // On the main thread; image is "not_image" for a file that could not be read.
    void thumbnailReady(const QString& path, const QImage& image);

private:
    void finished(const QString& path, quint64 serial, const QImage& image);

    QThreadPool pool_;
    struct Pending {
        quint64 serial;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };
    QHash<QString, Pending> pending_;
    quint64 serial_ = 0;
    int priority_ = 0;
};
