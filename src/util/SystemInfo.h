#pragma once

#include <QString>

// Readers behind Tool's system description, taking the file contents so they can be checked on
// any text.
namespace systeminfo {

// The value of PRETTY_NAME in an os-release text (quotes and escapes removed), or "".
QString prettyNameFromOsRelease(const QString& osRelease);

// The macOS release rule: the version text contains release ("10.4" ...) and not "10.10".
// Yosemite ("10.10") is asked with release "10.10".
bool isMacOSRelease(const QString& versionText, const QString& release);

// "model name" of a /proc/cpuinfo text (first processor), or "".
QString processorFromCpuinfo(const QString& cpuinfo);

// MemTotal of a /proc/meminfo text as "N.NN gigabytes", or "".
QString memoryFromMeminfo(const QString& meminfo);

} // namespace systeminfo
