#include "util/SystemInfo.h"

#include "util/StringUtil.h"

#include <QRegularExpression>

namespace systeminfo {

QString prettyNameFromOsRelease(const QString& osRelease) {
    for (const QString& line : orbel::splitLineToArray(osRelease)) {
        const QString trimmed = line.trimmed();
        if (!trimmed.startsWith(QLatin1String("PRETTY_NAME="))) {
            continue;
        }
        QString value = trimmed.mid(12);
        if (value.size() >= 2 &&
            (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
            value.back() == value.front()) {
            value = value.mid(1, value.size() - 2);
        }
        // Shell-style escapes inside the quotes: \" \\ \$ \`
        static const QRegularExpression escape(QStringLiteral(R"(\\([\\"$`]))"));
        return value.replace(escape, QStringLiteral("\\1"));
    }
    return {};
}

bool isMacOSRelease(const QString& versionText, const QString& release) {
    if (!versionText.contains(release)) {
        return false;
    }
    return release == QLatin1String("10.10") || !versionText.contains(QLatin1String("10.10"));
}

QString processorFromCpuinfo(const QString& cpuinfo) {
    for (const QString& line : orbel::splitLineToArray(cpuinfo)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0) {
            continue;
        }
        if (line.left(colon).trimmed() == QLatin1String("model name")) {
            return line.mid(colon + 1).trimmed();
        }
    }
    return {};
}

QString memoryFromMeminfo(const QString& meminfo) {
    static const QRegularExpression memTotal(QStringLiteral(R"(^MemTotal:\s*(\d+)\s*kB)"),
                                             QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = memTotal.match(meminfo);
    if (!match.hasMatch()) {
        return {};
    }
    const double kibibytes = match.captured(1).toDouble();
    return QString::asprintf("%.2f gigabytes", kibibytes / (1024.0 * 1024.0));
}

} // namespace systeminfo
