#pragma once

#include "util/CurlAccount.h"

#include <QString>
#include <optional>

// The hosts of the lab's servers, read from a "lab.conf" of key=value lines:
//   info_server=http://host:port      the information server (appinfo page)
//   web_server=http://host:port       the web server (album info page)
//   analysis_server=http://host:port  the analysis server (usage reports)
//   auth_server=http://host:port      the authentication server (custom mode)
//   order_ftp_host=host:port          the order FTP server
//   order_ftp_user=name               the production account's name
//   ftp2_host=host:port               the second order FTP server
//   test_ftp_host=host:port           the test FTP server
//   order_ftp_tls=off|try|require     TLS (explicit AUTH TLS) with the order FTP server; off when
//   ftp2_tls=..., test_ftp_tls=...    not given: "try" uses it when offered, "require" or fail
//   order_ftp_ca=/path/ca.pem         the CA file a server's certificate is checked against
//   ftp2_ca=..., test_ftp_ca=...      instead of the system's store (relative: to this file)
// Blank lines and lines starting with "#" are skipped, unknown keys ignored. A host is a host name
// or an IP address (IPv6 in brackets) with an optional port 1-65535; an HTTP server is "http://"
// or "https://" and such a host, nothing after it but "/".
//
// The file is looked up as $HALVIX_LAB_CONF (when set, only that file), then
// $XDG_CONFIG_HOME/halvix2/lab.conf (~/.config/halvix2/lab.conf), then <program folder>/lab.conf,
// then <program folder>/../share/halvix2/lab.conf. Keys the file does not give keep their
// defaults: the lab substitute on loopback (HTTP 127.0.0.1:8380, FTP 127.0.0.1:8321); so does a
// program without any file.
//
// A file with one line that cannot be trusted (a host with "#" or "?", a path, a port out of
// range, a line without "=", a key given twice) is refused whole, and so is a file that cannot
// be read: a host cut short at "#" would send orders to another folder of another account, and
// the defaults are another destination too. While refused, every host, account name and URL is
// "" (nothing reaches any server), refusal() tells why, and the program says so at start and on
// every send.
//
// Read once on first use and again on reload(); every read is thread-safe.
class LabConfig {
public:
    LabConfig() = delete;

    // HTTP base URLs, without a trailing "/".
    static QString infoServer();
    static QString webServer();
    static QString analysisServer();
    static QString authServer();

    // FTP hosts as "host:port" (or "host"), ready for "ftp://" + host + path.
    static QString orderFtpHost();
    static QString orderFtpUser();
    static QString ftp2Host();
    static QString testFtpHost();
    // TLS with each FTP server, and the CA file of its certificate ("" = the system's store).
    static orbel::FtpTlsMode orderFtpTls();
    static orbel::FtpTlsMode ftp2Tls();
    static orbel::FtpTlsMode testFtpTls();
    static QString orderFtpCa();
    static QString ftp2Ca();
    static QString testFtpCa();

    // Full URLs of the fixed requests.
    static QString appInfoUrl();   // info server + "/halv_ix2/appinfo.html"
    static QString albumInfoUrl(); // web server + "/album_info_8.html"
    static QString analyzerUrl();  // analysis server + ".../MacApp?data="
    static QString authConvertMd5Url(const QString& password);
    static QString authCheckUrl(const QString& code, const QString& md5);
    static QString authDataUrl(const QString& code, const QString& md5, const QString& key);

    // The ftp client's "open" wants host and port as two words: "127.0.0.1:8321" gives
    // "127.0.0.1 8321"; a host without port is returned unchanged.
    static QString ftpOpenHost(const QString& hostPort);

    // The file the values came from (or that was refused), "" when none was found (defaults in
    // use).
    static QString configPath();
    // Why the file found is not used: "<file> <n>行目：<reason>" or "<file>：<reason>"; none
    // when it is used or there is none.
    static std::optional<QString> refusal();
    // The alert's text for a refused file, at start or on a send: the reason and what the studio
    // can do.
    static QString refusalAlertText(bool onSend = false);

    // Reads the configuration again (after the environment or the file changed).
    static void reload();

    // Default values (no lab.conf).
    static constexpr char kDefaultHttpBase[] = "http://127.0.0.1:8380";
    static constexpr char kDefaultFtpHost[] = "127.0.0.1:8321";
    static constexpr char kDefaultOrderFtpUser[] = "ntorder";
};
