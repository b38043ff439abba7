#pragma once

// Helpers shared by the order-pipeline tests: a recording progress target, window actions that
// run directly, real files of a given size, and archive inspection with the real unzip.

#include "job/JobThread.h"
#include "job/ProgressTarget.h"
#include "util/ProcessRunner.h"
#include "util/ToolPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>
#include <functional>
#include <mutex>

class RecordingProgress : public ProgressTarget {
public:
    void setJobMsg(const QString& msg) override { record(QStringLiteral("msg:") + msg); }
    void jobMsgClear() override { record(QStringLiteral("msgClear")); }
    void indicatorIndeterminate() override { record(QStringLiteral("indeterminate")); }
    void indicatorClear() override { record(QStringLiteral("clear")); }
    void indicatorProgressWitMin(double min, double max) override {
        record(QStringLiteral("range:%1-%2").arg(min).arg(max));
    }
    void indicatorUpdate(double value) override {
        record(QStringLiteral("value:%1").arg(value));
        if (onUpdate) {
            onUpdate(value);
        }
    }

    QStringList events() const {
        std::lock_guard lock(mutex);
        return list;
    }
    QStringList messages() const {
        QStringList out;
        for (const QString& e : events()) {
            if (e.startsWith(QStringLiteral("msg:"))) {
                out.append(e.mid(4));
            }
        }
        return out;
    }

    std::function<void(double)> onUpdate; // called on the job's thread

private:
    void record(const QString& event) {
        std::lock_guard lock(mutex);
        list.append(event);
    }
    mutable std::mutex mutex;
    QStringList list;
};

class DirectActions : public JobMainThreadActions {
public:
    void fileDragDropOff() override { add(QStringLiteral("fileDragDropOff")); }
    void comViewRefresh() override { add(QStringLiteral("comViewRefresh")); }
    void removeKineloOrder(std::optional<OrderTab>) override {
        add(QStringLiteral("removeKineloOrder"));
    }
    void selectFilesAndOrderMemoClear(std::optional<OrderTab>) override {
        add(QStringLiteral("selectFilesAndOrderMemoClear"));
    }
    void albumDirectOrderNumClear() override { add(QStringLiteral("albumDirectOrderNumClear")); }
    void dragDropOn() override { add(QStringLiteral("dragDropOn")); }
    void terminateApplication() override { add(QStringLiteral("terminateApplication")); }

    QStringList calls() const {
        std::lock_guard lock(mutex);
        return list;
    }

private:
    void add(const QString& call) {
        std::lock_guard lock(mutex);
        list.append(call);
    }
    mutable std::mutex mutex;
    QStringList list;
};

namespace kit {

// Writes size bytes of incompressible data (like a photo), creating the folders on the way.
inline bool writeFile(const QString& path, qint64 size, quint32 seed = 1) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    QRandomGenerator generator(seed);
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    qint64 left = size;
    while (left > 0) {
        generator.fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
        const qint64 n = std::min<qint64>(left, chunk.size());
        if (file.write(chunk.constData(), n) != n) {
            return false;
        }
        left -= n;
    }
    return true;
}

inline bool writeText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Entry names in archive order ("unzip -Z1" needs no password).
inline QStringList zipEntries(const QString& archive) {
    const ProcessResult r = runProcess(ToolPaths::unzip(), {QStringLiteral("-Z1"), archive});
    if (!r.succeeded()) {
        return {};
    }
    return QString::fromUtf8(r.stdoutData).split(u'\n', Qt::SkipEmptyParts);
}

// One entry's content, extracted with the given password; none when unzip refuses.
inline std::optional<QByteArray> zipContent(const QString& archive, const QString& entry,
                                            const QString& password) {
    ProcessOptions options;
    const ProcessResult r =
        runProcess(ToolPaths::unzip(),
                   {QStringLiteral("-p"), QStringLiteral("-P"), password, archive, entry}, options);
    if (!r.succeeded()) {
        return std::nullopt;
    }
    return r.stdoutData;
}

// "Stored" or "Defl:N" per entry name, from "unzip -v".
inline QMap<QString, QString> zipMethods(const QString& archive) {
    QMap<QString, QString> methods;
    const ProcessResult r = runProcess(ToolPaths::unzip(), {QStringLiteral("-v"), archive});
    const QStringList lines = QString::fromUtf8(r.stdoutData).split(u'\n');
    for (const QString& line : lines) {
        const QStringList parts = line.simplified().split(u' ');
        if (parts.size() >= 8 &&
            (parts[1] == QStringLiteral("Stored") || parts[1].startsWith(QStringLiteral("Defl")))) {
            methods.insert(parts.mid(7).join(u' '), parts[1]);
        }
    }
    return methods;
}

} // namespace kit
