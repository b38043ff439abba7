#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>

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

// While one lives, requests made on its thread end at once, as failed, when the flag is set: work
// in the background (the start-up checks) gives way when the program ends instead of holding it
// up for a time-out. Scopes nest; the innermost counts.
class HttpAbortScope {
public:
    explicit HttpAbortScope(const std::atomic<bool>& abort);
    ~HttpAbortScope();
    HttpAbortScope(const HttpAbortScope&) = delete;
    HttpAbortScope& operator=(const HttpAbortScope&) = delete;

private:
    const std::atomic<bool>* _previous;
};
