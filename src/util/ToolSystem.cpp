// System description of Tool: operating system, processor and memory texts for the log and the
// usage reports.
#include "util/StringUtil.h"
#include "util/SystemInfo.h"
#include "util/Tool.h"

#include <QFile>
#include <sys/utsname.h>

namespace {

QString readTextFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

QString kernelRelease() {
    struct utsname names {};
    if (uname(&names) != 0) {
        return {};
    }
    return QString::fromUtf8(names.release);
}

QString machineName() {
    struct utsname names {};
    if (uname(&names) != 0) {
        return {};
    }
    return QString::fromUtf8(names.machine);
}

// The macOS version the release checks read. This build runs on Linux, whose version text must
// never be taken for a macOS release (a kernel "6.10.4" contains "10.4").
QString macOSVersionText() {
    return {};
}

// What the system's host description would print: one "key: value" line each. Read once: the
// processor and the installed memory do not change while the program runs, and the start asks
// for them several times (reading /proc/cpuinfo is slow on a virtual machine).
QString readHostDescription() {
    QString processor =
        systeminfo::processorFromCpuinfo(readTextFile(QStringLiteral("/proc/cpuinfo")));
    if (processor.isEmpty()) {
        processor = machineName(); // processors that name no model (ARM boards)
    }
    const QString memory =
        systeminfo::memoryFromMeminfo(readTextFile(QStringLiteral("/proc/meminfo")));
    return QStringLiteral("Processor type: ") + processor +
           QStringLiteral("\nPrimary memory available: ") + memory + QStringLiteral("\n");
}

const QString& hostDescription() {
    static const QString description = readHostDescription();
    return description;
}

} // namespace

QString Tool::operatingSystemVersionString() {
    QString name =
        systeminfo::prettyNameFromOsRelease(readTextFile(QStringLiteral("/etc/os-release")));
    if (name.isEmpty()) {
        name = systeminfo::prettyNameFromOsRelease(
            readTextFile(QStringLiteral("/usr/lib/os-release")));
    }
    if (name.isEmpty()) {
        name = QStringLiteral("Linux");
    }
    const QString release = kernelRelease();
    return release.isEmpty() ? name : name + QStringLiteral(" (") + release + QStringLiteral(")");
}

bool Tool::isTigerOperatingSystem() {
    return systeminfo::isMacOSRelease(macOSVersionText(), QStringLiteral("10.4"));
}

bool Tool::isLeopardOperatingSystem() {
    return systeminfo::isMacOSRelease(macOSVersionText(), QStringLiteral("10.5"));
}

bool Tool::isSnowLeopardOperatingSystem() {
    return systeminfo::isMacOSRelease(macOSVersionText(), QStringLiteral("10.6"));
}

bool Tool::isLionOperatingSystem() {
    return systeminfo::isMacOSRelease(macOSVersionText(), QStringLiteral("10.7"));
}

bool Tool::isMountainLionOperatingSystem() {
    return systeminfo::isMacOSRelease(macOSVersionText(), QStringLiteral("10.8"));
}

bool Tool::isMavericksOperatingSystem() {
    return systeminfo::isMacOSRelease(macOSVersionText(), QStringLiteral("10.9"));
}

bool Tool::isYosemiteOperatingSystem() {
    return systeminfo::isMacOSRelease(macOSVersionText(), QStringLiteral("10.10"));
}

QString Tool::hostinfoResultForKey(const QString& key) {
    if (key.isEmpty()) {
        return QStringLiteral("");
    }
    for (const QString& line : orbel::splitLineToArray(hostDescription())) {
        if (line.startsWith(key)) {
            return line.mid(key.size());
        }
    }
    return QStringLiteral("");
}

QString Tool::processorType() {
    return hostinfoResultForKey(QStringLiteral("Processor type: "));
}

QString Tool::primaryMemory() {
    return hostinfoResultForKey(QStringLiteral("Primary memory available: "));
}
