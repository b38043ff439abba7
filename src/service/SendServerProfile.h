#pragma once

#include "util/CurlAccount.h"

#include <QString>

// One FTP server an archive can go to: host (with ":port" when not 21), account, password and the
// remote folder, which begins and ends with "/".
struct SendServerProfile {
    enum class Kind { Production, Test, Ftp2 };
    Kind kind = Kind::Production;
    QString host;
    QString user;
    QString password;
    QString folder;
    orbel::FtpTlsMode tls = orbel::FtpTlsMode::Off; // TLS with this server (lab.conf)
    QString caFile; // its certificate's CA file; "" = the system's store
};
