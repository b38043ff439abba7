#pragma once

// What the upload benchmarks share: the lab substitute on loopback and an archive of random bytes.

#include "service/LabConfig.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <algorithm>

namespace bench {

// The lab substitute on free loopback ports, with HALVIX_LAB_CONF pointing at it.
class LabServer {
public:
    explicit LabServer(const QString& root) {
        // This file's folder is bench/ of the source tree.
        process.setProgram(QFileInfo(QStringLiteral(__FILE__)).absolutePath() +
                           QStringLiteral("/../tools/labsim/labsim"));
        process.setArguments({QStringLiteral("--root"), root});
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        const QString portsFile = root + QStringLiteral("/ports");
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() && process.state() != QProcess::NotRunning) {
            QFile ports(portsFile);
            if (ports.open(QIODevice::ReadOnly) && ports.readAll().contains("ftp=")) {
                qputenv("HALVIX_LAB_CONF", QFile::encodeName(root + QStringLiteral("/lab.conf")));
                LabConfig::reload();
                up = true;
                return;
            }
            process.waitForFinished(50);
        }
    }
    ~LabServer() {
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished(5000);
    }
    LabServer(const LabServer&) = delete;
    LabServer& operator=(const LabServer&) = delete;

    bool up = false;

private:
    QProcess process;
};

inline bool writeArchive(const QString& path, qint64 bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()),
                                          block.size() / 4);
    for (qint64 written = 0; written < bytes; written += block.size()) {
        const qint64 n = std::min<qint64>(block.size(), bytes - written);
        if (file.write(block.constData(), n) != n)
            return false;
    }
    return file.flush();
}

} // namespace bench
