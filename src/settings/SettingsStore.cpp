#include "settings/SettingsStore.h"

#include "settings/Log.h"
#include "util/FileMove.h"
#include "util/InstanceLock.h"
#include "util/PlistVariant.h"
#include "util/Tool.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringList>
#include <QVariantHash>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Unflushed changes reach the disk this long after the first of them.
constexpr auto kFlushDelay = std::chrono::seconds(2);
// After a failed write (disk full, permissions) the flusher tries again later.
constexpr auto kRetryDelay = std::chrono::seconds(10);

QString resolveSettingsFilePath() {
    QString configHome = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
    if (configHome.isEmpty() || !QDir::isAbsolutePath(configHome)) {
        configHome = QDir::homePath() + QStringLiteral("/.config");
    }
    return configHome + QStringLiteral("/halvix2/settings.plist");
}

// Set from the first failed save until one succeeds: the log and the studio hear of a failure
// once. A failure before the application object exists (the first breadcrumb) is told by the next.
std::atomic<bool> gSaveFailureLogged{false};
std::atomic<bool> gSaveFailureTold{false};

// A failed save is told on the main thread, queued: a writer (the flusher, the job thread, a
// breadcrumb in the middle of a slot) never waits for the human, and no alert opens inside it.
void saveResult(bool ok, const QString& path) {
    if (ok) {
        gSaveFailureLogged.store(false);
        gSaveFailureTold.store(false);
        return;
    }
    if (!gSaveFailureLogged.exchange(true)) {
        Log::outputLn(QStringLiteral("設定を保存できません：%1").arg(path));
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || gSaveFailureTold.exchange(true)) {
        return;
    }
    const QString folder = QFileInfo(path).absolutePath();
    QMetaObject::invokeMethod(
        app,
        [folder] {
            Tool::alertWithMsg(
                QStringLiteral("設定を保存できませんでした"),
                QStringLiteral("設定フォルダ（%1）に書き込めません。ディスクの空きと、"
                               "フォルダに書き込めるかを確認してください。保存できるまで、"
                               "変更した設定は次の起動に残りません。")
                    .arg(folder));
        },
        Qt::QueuedConnection);
}

// Settings hold only property-list values; integers of every width become qint64 and string
// lists become arrays, so what is in memory equals what a re-read of the file gives.
QVariant normalized(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return {};
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::QByteArray:
    case QMetaType::QDateTime:
        return value;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return QVariant(value.toLongLong());
    case QMetaType::Float:
        return QVariant(value.toDouble());
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        QVariantList out;
        const QVariantList list = value.toList();
        out.reserve(list.size());
        for (const QVariant& item : list) {
            QVariant n = normalized(item);
            if (n.isValid()) {
                out.append(n);
            }
        }
        return QVariant(out);
    }
    case QMetaType::QVariantMap: {
        QVariantMap out;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            QVariant n = normalized(it.value());
            if (n.isValid()) {
                out.insert(it.key(), n);
            }
        }
        return QVariant(out);
    }
    case QMetaType::QVariantHash: {
        QVariantMap out;
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it) {
            QVariant n = normalized(it.value());
            if (n.isValid()) {
                out.insert(it.key(), n);
            }
        }
        return QVariant(out);
    }
    default:
        return QVariant(value.toString());
    }
}

// Replaces path atomically and durably (the previous file stays whole when the write fails).
bool writeFileAtomically(const QString& path, const QByteArray& data) {
    return QDir().mkpath(QFileInfo(path).absolutePath()) && orbel::writeFileAtomically(path, data);
}

// Moves an unusable settings file aside under a name that is not taken yet; the new name, or none.
std::optional<QString> moveAside(const QString& path) {
    const QString base = path + QStringLiteral(".corrupt-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    const QByteArray from = QFile::encodeName(path);
    for (int n = 1; n < 1000; ++n) {
        const QString target = n == 1 ? base : base + QStringLiteral("-%1").arg(n);
        const QByteArray to = QFile::encodeName(target);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
            0) {
            orbel::syncFolder(QFileInfo(path).absolutePath());
            return target;
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno == EINVAL || errno == ENOSYS) {
            // File system without no-replace renames: check first.
            struct stat st;
            if (::lstat(to.constData(), &st) == 0) {
                continue;
            }
            if (::rename(from.constData(), to.constData()) == 0) {
                orbel::syncFolder(QFileInfo(path).absolutePath());
                return target;
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

// Removes the temporary files that writers killed between creating and renaming them left beside
// the settings file ("settings.plist.tmp-XXXXXX"); the names of those removed.
QStringList removeStaleTemporaryFiles(const QString& path) {
    const QFileInfo info(path);
    const QString prefix = info.fileName() + QStringLiteral(".tmp-");
    QStringList removed;
    const QDir folder = info.absoluteDir();
    const QStringList names =
        folder.entryList({prefix + QStringLiteral("??????")},
                         QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (QFile::remove(folder.filePath(name))) {
            removed.append(name);
        }
    }
    return removed;
}

// A key whose value cannot go into the file: what the store then keeps instead (the value the
// file holds, or nothing).
struct RefusedValue {
    QString key;
    qint64 bytes = 0;
    QVariant kept;    // invalid: the key is removed
    QVariant refused; // what was in memory
};

// Shrinks content until its file is one the reader accepts (the reader refuses a file past its
// budget, and the next start would set every setting aside): the big values changed since the
// file was last written go back to what the file holds, the biggest first; should that not
// suffice, the biggest values go altogether. The keys given back, with what they were; xml is the
// file.
QList<RefusedValue> fitToReadBudget(QVariantMap& content, const QVariantMap& onDisk,
                                    QByteArray& xml) {
    struct Candidate {
        QString key;
        qint64 bytes;
        bool changed;
    };
    QList<Candidate> candidates;
    for (auto it = content.cbegin(); it != content.cend(); ++it) {
        const auto disk = onDisk.constFind(it.key());
        const bool changed =
            disk == onDisk.cend() || disk->typeId() != it->typeId() || *disk != *it;
        candidates.append({it.key(), plistXmlFromVariant(*it).size(), changed});
    }
    // A small change (a bag number, a status) never goes back: what outgrows the budget is a big
    // value, and the small ones go last of all.
    constexpr qint64 kSmall = 64 * 1024;
    const auto first = [](const Candidate& c) { return c.changed && c.bytes >= kSmall; };
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const Candidate& a, const Candidate& b) {
                         return first(a) != first(b) ? first(a) : a.bytes > b.bytes;
                     });
    QList<RefusedValue> refused;
    qint64 estimate = xml.size();
    for (const Candidate& candidate : candidates) {
        RefusedValue entry{candidate.key, candidate.bytes, {}, content.value(candidate.key)};
        estimate -= candidate.bytes;
        if (candidate.changed && onDisk.contains(candidate.key)) {
            entry.kept = onDisk.value(candidate.key);
            content.insert(candidate.key, entry.kept);
            estimate += plistXmlFromVariant(entry.kept).size();
        } else {
            content.remove(candidate.key);
        }
        refused.append(entry);
        if (estimate <= kPlistMaxBytes) {
            xml = plistXmlFromVariant(QVariant(content));
            if (plistXmlWithinBudget(xml)) {
                return refused;
            }
            estimate = xml.size();
        }
    }
    xml = plistXmlFromVariant(QVariant(content));
    return refused;
}

} // namespace

class SettingsStore::Impl {
public:
    explicit Impl(QString filePath) : path(std::move(filePath)) { load(); }

    ~Impl() {
        stopFlusher();
        if (!discard) {
            writeNow(false);
        }
    }

    void load() {
        // Every temporary file beside the settings is a dead writer's, unless another program
        // keeps these settings (this one is then refused and only reads): it may be writing.
        const QStringList stale =
            InstanceLock::otherHolder(SettingsStore::lockFilePath()).has_value()
                ? QStringList()
                : removeStaleTemporaryFiles(path);
        if (!stale.isEmpty()) {
            pendingLogLines.append(
                QStringLiteral("書き込み途中で残った設定の一時ファイルを削除しました：%1")
                    .arg(stale.join(QStringLiteral(", "))));
        }
        QFileInfo info(path);
        if (!info.exists() && !info.isSymLink()) {
            return;
        }
        std::optional<QVariant> parsed;
        QFile file(path);
        if (info.isFile() && file.open(QIODevice::ReadOnly)) {
            parsed = plistFromData(file.readAll());
            file.close();
        }
        if (parsed && parsed->typeId() == QMetaType::QVariantMap) {
            values = normalized(*parsed).toMap();
            onDisk = values;
            return;
        }
        // Unreadable or not a settings file: keep it for the user, start empty.
        if (const auto aside = moveAside(path)) {
            pendingLogLines.append(
                QStringLiteral("設定ファイルを読み込めません。%1 に退避し、空の設定で開始します")
                    .arg(*aside));
        } else {
            writeBlocked = true;
            pendingLogLines.append(
                QStringLiteral(
                    "設定ファイルを読み込めず、退避もできません。設定は保存されません：%1")
                    .arg(path));
        }
    }

    QVariant value(const QString& key) const {
        std::lock_guard lock(mutex);
        return values.value(key);
    }

    void setValue(const QString& key, const QVariant& raw) {
        const QVariant value = normalized(raw);
        std::lock_guard lock(mutex);
        if (!value.isValid()) {
            if (!values.contains(key)) {
                return;
            }
            values.remove(key);
        } else {
            auto it = values.constFind(key);
            if (it != values.cend() && it->typeId() == value.typeId() && *it == value) {
                return;
            }
            values.insert(key, value);
        }
        ++generation;
        markDirtyLocked();
    }

    QVariantMap snapshot() const {
        std::lock_guard lock(mutex);
        return values;
    }

    // tell: a failure is told (not while the store itself is being destroyed).
    bool writeNow(bool tell = true) {
        std::lock_guard fileLock(fileMutex);
        QVariantMap copy;
        quint64 gen = 0;
        bool blocked = false;
        {
            std::lock_guard lock(mutex);
            if (!dirty) {
                return true;
            }
            blocked = writeBlocked;
            copy = values;
            gen = generation;
        }
        if (blocked) {
            if (tell) {
                saveResult(false, path);
            }
            return false;
        }
        // Another program keeps these settings: this one (refused) never writes its copy over
        // theirs.
        if (InstanceLock::otherHolder(SettingsStore::lockFilePath())) {
            return false;
        }
        QByteArray xml = plistXmlFromVariant(QVariant(copy));
        QList<RefusedValue> refused;
        if (!plistXmlWithinBudget(xml)) {
            refused = fitToReadBudget(copy, onDisk, xml);
        }
        const bool ok = writeFileAtomically(path, xml);
        if (ok) {
            onDisk = copy;
        }
        {
            std::lock_guard lock(mutex);
            // Memory holds what the file holds for a refused value, unless it changed meanwhile
            // (that change is written, and checked, next time).
            for (const RefusedValue& entry : refused) {
                const auto now = values.constFind(entry.key);
                if (now == values.cend() || now->typeId() != entry.refused.typeId() ||
                    *now != entry.refused) {
                    continue;
                }
                if (entry.kept.isValid()) {
                    values.insert(entry.key, entry.kept);
                } else {
                    values.remove(entry.key);
                }
            }
            if (ok && generation == gen) {
                dirty = false;
                deadline.reset();
            } else {
                // A change made meanwhile keeps the time it asked for (at once, for flushSoon).
                if (!ok) {
                    deadline = Clock::now() + kRetryDelay;
                } else if (!deadline) {
                    deadline = Clock::now() + kFlushDelay;
                }
                wake.notify_all();
            }
        }
        for (const RefusedValue& entry : refused) {
            Log::outputLn(
                (entry.kept.isValid()
                     ? QStringLiteral(
                           "設定「%1」の値が大きすぎて（%2）、保存すると次の起動で読み込め"
                           "ないため保存せず、以前の値に戻しました")
                     : QStringLiteral(
                           "設定「%1」の値が大きすぎて（%2）、保存すると次の起動で読み込め"
                           "ないため設定から外しました"))
                    .arg(entry.key, Tool::autoDataByteStringWithByte(double(entry.bytes))));
        }
        if (tell) {
            saveResult(ok, path);
        }
        return ok;
    }

    void writeSoon() {
        std::lock_guard lock(mutex);
        if (!dirty) {
            return;
        }
        const Clock::time_point now = Clock::now();
        if (!deadline || *deadline > now) {
            deadline = now;
        }
        startFlusherLocked();
        wake.notify_all();
    }

    const QString path;
    QStringList pendingLogLines;
    bool discard = false;

private:
    void markDirtyLocked() {
        dirty = true;
        if (!deadline) {
            deadline = Clock::now() + kFlushDelay;
        }
        startFlusherLocked();
        wake.notify_all();
    }

    void startFlusherLocked() {
        if (!flusher.joinable() && !stopping) {
            // Started on the first change only: a process that just reads spawns no thread.
            flusher = std::thread([this] { flushLoop(); });
        }
    }

    void flushLoop() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            if (!deadline) {
                wake.wait(lock);
                continue;
            }
            if (Clock::now() < *deadline) {
                wake.wait_until(lock, *deadline);
                continue;
            }
            deadline.reset();
            lock.unlock();
            writeNow();
            lock.lock();
        }
    }

    void stopFlusher() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        if (flusher.joinable()) {
            flusher.join();
        }
    }

    mutable std::mutex mutex; // guards everything below
    std::mutex fileMutex;     // one writer of the file at a time
    std::condition_variable wake;
    QVariantMap values;
    // What the file holds, as last read or written (guarded by fileMutex).
    QVariantMap onDisk;
    quint64 generation = 0;
    bool dirty = false;
    bool writeBlocked = false;
    bool stopping = false;
    std::optional<Clock::time_point> deadline;
    std::thread flusher;
};

namespace {

std::mutex gSharedMutex;
std::unique_ptr<SettingsStore> gShared;
bool gPostRoutineAdded = false;

void flushAtQuit() {
    SettingsStore::flush();
}

} // namespace

SettingsStore::SettingsStore(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

SettingsStore::~SettingsStore() = default;

SettingsStore& SettingsStore::shared() {
    QStringList logLines;
    SettingsStore* store = nullptr;
    {
        std::lock_guard lock(gSharedMutex);
        if (!gShared) {
            gShared.reset(new SettingsStore(std::make_unique<Impl>(resolveSettingsFilePath())));
            logLines = std::exchange(gShared->d->pendingLogLines, QStringList());
        }
        // The application object may come after the first use (the start-up breadcrumb).
        if (!gPostRoutineAdded && QCoreApplication::instance() != nullptr) {
            qAddPostRoutine(flushAtQuit);
            gPostRoutineAdded = true;
        }
        store = gShared.get();
    }
    // Logged outside the lock: the log itself reads the settings.
    for (const QString& line : logLines) {
        Log::outputLn(line);
    }
    return *store;
}

QVariant SettingsStore::value(const QString& key) const {
    return d->value(key);
}

void SettingsStore::setValue(const QString& key, const QVariant& value) {
    d->setValue(key, value);
}

void SettingsStore::remove(const QString& key) {
    d->setValue(key, QVariant());
}

QVariantMap SettingsStore::snapshot() const {
    return d->snapshot();
}

bool SettingsStore::flush() {
    SettingsStore* store = nullptr;
    {
        std::lock_guard lock(gSharedMutex);
        store = gShared.get();
    }
    if (store == nullptr) {
        return true;
    }
    return store->d->writeNow(); // a failure is logged and told there
}

void SettingsStore::flushSoon() {
    SettingsStore* store = nullptr;
    {
        std::lock_guard lock(gSharedMutex);
        store = gShared.get();
    }
    if (store != nullptr) {
        store->d->writeSoon();
    }
}

QString SettingsStore::settingsFilePath() {
    return shared().d->path;
}

QString SettingsStore::lockFilePath() {
    return QFileInfo(resolveSettingsFilePath()).absolutePath() + QStringLiteral("/halvix2.lock");
}

void SettingsStore::resetForTesting() {
    std::unique_ptr<SettingsStore> old;
    {
        std::lock_guard lock(gSharedMutex);
        old = std::move(gShared);
    }
    if (old) {
        old->d->discard = true;
    }
}
