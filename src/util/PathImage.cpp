// Image properties of PathUtil.h, read from the image tool's "-g allxml" answer.
#include "util/PathUtil.h"
#include "util/PlistVariant.h"
#include "util/ProcessRunner.h"
#include "util/ToolPaths.h"

namespace orbel {

std::optional<QVariantMap> imageFilePropertys(const QString& path) {
    ProcessOptions options;
    options.captureStderr = true; // keeps the tool's complaints out of the program's own output
    const ProcessResult result =
        runProcess(ToolPaths::sips(),
                   {QStringLiteral("-g"), QStringLiteral("allxml"), expandTilde(path)}, options);
    if (!result.succeeded()) {
        return std::nullopt;
    }
    const std::optional<QVariant> plist = plistFromData(result.stdoutData);
    if (!plist || plist->typeId() != QMetaType::QVariantMap) {
        return std::nullopt;
    }
    return plist->toMap();
}

qint64 narrowWidthOfImageFile(const QString& path) {
    const std::optional<QVariantMap> properties = imageFilePropertys(path);
    if (!properties) {
        return 0;
    }
    bool widthOk = false;
    bool heightOk = false;
    const qint64 width = properties->value(QStringLiteral("pixelWidth")).toLongLong(&widthOk);
    const qint64 height = properties->value(QStringLiteral("pixelHeight")).toLongLong(&heightOk);
    if (!widthOk || !heightOk) {
        return 0;
    }
    return std::min(width, height);
}

} // namespace orbel
