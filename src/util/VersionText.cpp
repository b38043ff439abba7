#include "util/VersionText.h"

namespace orbel {

namespace {

QVersionNumber leadingVersion(const QString& text) {
    qsizetype suffixIndex = 0;
    return QVersionNumber::fromString(text.trimmed(), &suffixIndex);
}

} // namespace

QVersionNumber leadingVersionNumber(const QString& text) {
    return leadingVersion(text).normalized();
}

int compareVersionText(const QString& a, const QString& b) {
    return QVersionNumber::compare(leadingVersionNumber(a), leadingVersionNumber(b));
}

QString versionLogText(const QString& text) {
    const QVersionNumber version = leadingVersion(text);
    return version.isNull() ? QStringLiteral("0") : version.toString();
}

} // namespace orbel
