// Image operations of Tool: scaling JPEG files with the image tool.
#include "util/PathUtil.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"

#include <QtGlobal>

QStringList Tool::jpegFileResizeArguments(const QString& path, const QString& resizePath,
                                          qint64 resizeWidePix, const QString& compressQuality) {
    return {QStringLiteral("-s"),
            QStringLiteral("formatOptions"),
            compressQuality,
            QStringLiteral("-Z"),
            QString::number(resizeWidePix),
            path,
            QStringLiteral("--out"),
            resizePath};
}

qint64 Tool::resizeWidePixForNarrowPix(qint64 pixelWidth, qint64 pixelHeight,
                                       qint64 resizeNarrowPix) {
    if (pixelWidth <= 0 || pixelHeight <= 0) {
        return 0;
    }
    const qint64 longSide = std::max(pixelWidth, pixelHeight);
    const qint64 shortSide = std::min(pixelWidth, pixelHeight);
    // Truncated toward zero: 3000 × 2000 at 1999 gives 2998 (2998.5).
    return static_cast<qint64>(
        static_cast<double>(longSide) *
        (static_cast<double>(resizeNarrowPix) / static_cast<double>(shortSide)));
}

bool Tool::jpegFileResizeWithPath(const QString& path, const QString& resizePath,
                                  qint64 resizeWidePix, const QString& compressQuality,
                                  const ProcessStopper* stopper) {
    if (path.isEmpty() || resizePath.isEmpty()) {
        qWarning("%s(%d) ParaNG", Q_FUNC_INFO, __LINE__);
        return false;
    }
    if (path == resizePath) {
        qWarning("%s(%d) ParaNG path==resizePath", Q_FUNC_INFO, __LINE__);
        return false;
    }
    if (resizeWidePix <= 0) {
        qWarning("%s(%d) ParaNG resizeWidePix=%lld", Q_FUNC_INFO, __LINE__, resizeWidePix);
        return false;
    }
    ProcessOptions options;
    options.captureStdout = false;
    options.captureStderr = false;
    options.stopper = stopper;
    const ProcessResult result = runProcess(
        ToolPaths::sips(),
        jpegFileResizeArguments(path, resizePath, resizeWidePix, compressQuality), options);
    if (!result.started && !result.cancelled) {
        qWarning("%s(%d) Exception!!!", Q_FUNC_INFO, __LINE__);
        return false;
    }
    return result.succeeded();
}

bool Tool::jpegFileResizeWithPathNarrowPix(const QString& path, const QString& resizePath,
                                           qint64 resizeNarrowPix, const QString& compressQuality,
                                           const ProcessStopper* stopper) {
    const std::optional<QVariantMap> properties = orbel::imageFilePropertys(path);
    const QString heightKey = QStringLiteral("pixelHeight");
    const QString widthKey = QStringLiteral("pixelWidth");
    if (!properties || !properties->contains(heightKey) || !properties->contains(widthKey)) {
        return false;
    }
    const qint64 pixelHeight = properties->value(heightKey).toLongLong();
    const qint64 pixelWidth = properties->value(widthKey).toLongLong();
    if (pixelHeight <= 0 || pixelWidth <= 0) {
        qWarning("%s(%d) sizeNG ( pixelHeight=%lld pixelWidth=%lld) --- %s", Q_FUNC_INFO, __LINE__,
                 pixelHeight, pixelWidth, qUtf8Printable(path));
        return false;
    }
    const qint64 widePix = resizeWidePixForNarrowPix(pixelWidth, pixelHeight, resizeNarrowPix);
    return jpegFileResizeWithPath(path, resizePath, widePix, compressQuality, stopper);
}
