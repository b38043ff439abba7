// Application version and the resources shipped with the program (catalogue defaults, pictures).
#include "util/Tool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#ifndef HALVIX_VERSION
#error "HALVIX_VERSION is set by the build (the project version)"
#endif

namespace {

QString executableFolder() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path();
}

} // namespace

QString Tool::applicationVersion() {
    return QStringLiteral(HALVIX_VERSION);
}

QString Tool::resourceFolderPath() {
    const QString overridden = qEnvironmentVariable("HALVIX_RESOURCE_DIR");
    if (!overridden.isEmpty()) {
        return QDir::cleanPath(overridden);
    }
    return QDir::cleanPath(executableFolder() + QStringLiteral("/../share/halvix2"));
}

QString Tool::resourcePath(const QString& name, const QString& type) {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.'))) {
        return QStringLiteral("");
    }
    const QString fileName = type.isEmpty() ? name : name + QLatin1Char('.') + type;
    const QString path = resourceFolderPath() + QLatin1Char('/') + fileName;
    return QFileInfo(path).isFile() ? path : QStringLiteral("");
}

std::optional<QString> Tool::readResourceTextFile(const QString& name) {
    const QString path = resourcePath(name, QStringLiteral("txt"));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt; // a damaged catalogue must not pass for a valid one
    }
    return text;
}
