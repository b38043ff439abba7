#pragma once

#include <QByteArray>
#include <QString>

// One synchronous HTTP request on a libcurl easy handle: no cache, no cookies, redirects followed.
// Safe from any thread.
struct HttpRequest {
    QString url;
    bool post = false;
    QByteArray postBody; // sent as application/x-www-form-urlencoded when post
    double timeoutSeconds = 5.0;
    // The largest body accepted, in bytes after any content decoding; 0: no limit. A larger body
    // ends the transfer as soon as it passes the limit, so no more than this is ever held.
    qint64 maxBodyBytes = 0;
};

struct HttpResponse {
    bool ok = false;       // transfer done and status 2xx
    long status = 0;       // HTTP status, 0 when no answer arrived
    bool tooLarge = false; // the body passed maxBodyBytes and was refused
    QByteArray body;       // empty unless ok
};

HttpResponse httpPerform(const HttpRequest& request);
