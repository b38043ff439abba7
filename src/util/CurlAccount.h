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

// How an FTP server is talked to: in the clear, TLS when the server offers it (explicit
// "AUTH TLS"), or TLS or nothing at all.
enum class FtpTlsMode { Off, Try, Require };

// The config lines that make curl use TLS in that mode ("ssl" or "ssl-reqd", control and data
// connections alike), with the server's certificate checked against caFile instead of the system
// store when one is given; nothing for Off. To be appended to curlAccountConfig().
QByteArray curlTlsConfig(FtpTlsMode mode, const QString& caFile = QString());

} // namespace orbel
