#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orbel {

// An FTP account handed to /usr/bin/curl without putting it on the command line, where every
// user of the machine can read it in the process list: curl reads it from a config on standard
// input ("-K -"). Give curlAccountArgs() among the arguments and curlAccountConfig() as the
// child's standard input.
QStringList curlAccountArgs();
QByteArray curlAccountConfig(const QString& user, const QString& password);

} // namespace orbel
