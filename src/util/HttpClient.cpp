#include "util/HttpClient.h"

#include "util/CurlLibrary.h"

#include <QUrl>
#include <algorithm>
#include <curl/curl.h>
#include <memory>

namespace {

struct EasyCleanup {
    const CurlLibrary* curl;
    void operator()(CURL* handle) const { curl->easyCleanup(handle); }
};
struct ListCleanup {
    const CurlLibrary* curl;
    void operator()(curl_slist* list) const { curl->slistFreeAll(list); }
};

struct BodySink {
    QByteArray body;
    qint64 limit = 0; // 0: none
    bool tooLarge = false;
};

size_t appendBody(char* data, size_t size, size_t count, void* userData) {
    auto* sink = static_cast<BodySink*>(userData);
    const size_t bytes = size * count;
    if (sink->limit > 0 &&
        static_cast<quint64>(sink->body.size()) + bytes > static_cast<quint64>(sink->limit)) {
        // Returning less than was handed over makes curl end the transfer with a write error.
        sink->tooLarge = true;
        sink->body.clear();
        return 0;
    }
    sink->body.append(data, static_cast<qsizetype>(bytes));
    return bytes;
}

thread_local const std::atomic<bool>* t_abort = nullptr;

// libcurl asks this while it transfers or waits (at least about once a second when idle).
int abortWhenAsked(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

} // namespace

HttpAbortScope::HttpAbortScope(const std::atomic<bool>& abort) : _previous(t_abort) {
    t_abort = &abort;
}

HttpAbortScope::~HttpAbortScope() {
    t_abort = _previous;
}

HttpResponse httpPerform(const HttpRequest& request) {
    HttpResponse response;
    // Only whole addresses: curl would take anything else for a host name of its own guessing.
    if (!(request.url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
          request.url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) ||
        (t_abort != nullptr && t_abort->load())) {
        return response;
    }
    const CurlLibrary* curl = curlLibrary();
    if (curl == nullptr) {
        return response;
    }
    const std::unique_ptr<CURL, EasyCleanup> handle(curl->easyInit(), EasyCleanup{curl});
    if (!handle) {
        return response;
    }
    // Non-ASCII parts of the address travel percent-encoded.
    const QUrl url(request.url);
    const QByteArray address = url.isValid() ? url.toEncoded() : request.url.toUtf8();
    const long timeoutMs =
        std::max(1L, static_cast<long>(std::max(0.0, request.timeoutSeconds) * 1000.0));

    // Nothing cached anywhere on the way: every read sees what the lab serves now.
    std::unique_ptr<curl_slist, ListCleanup> headers(
        curl->slistAppend(nullptr, "Cache-Control: no-cache"), ListCleanup{curl});
    if (headers) {
        curl_slist* extended = curl->slistAppend(headers.get(), "Pragma: no-cache");
        if (extended != nullptr) {
            headers.release();
            headers.reset(extended);
        }
    }

    BodySink sink;
    sink.limit = std::max<qint64>(0, request.maxBodyBytes);
    CURL* h = handle.get();
    curl->easySetopt(h, CURLOPT_URL, address.constData());
    curl->easySetopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl->easySetopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl->easySetopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl->easySetopt(h, CURLOPT_MAXREDIRS, 10L);
    curl->easySetopt(h, CURLOPT_NOSIGNAL, 1L); // called from worker threads
    curl->easySetopt(h, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl->easySetopt(h, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    curl->easySetopt(h, CURLOPT_ACCEPT_ENCODING, ""); // any encoding curl can decode
    // Some servers turn away requests that name no client.
    curl->easySetopt(h, CURLOPT_USERAGENT, "HALVIX2/" HALVIX_VERSION);
    curl->easySetopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl->easySetopt(h, CURLOPT_WRITEFUNCTION, &appendBody);
    curl->easySetopt(h, CURLOPT_WRITEDATA, &sink);
    if (sink.limit > 0) {
        // A declared length above the limit is refused before any of the body arrives.
        curl->easySetopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(sink.limit));
    }
    if (request.post) {
        curl->easySetopt(h, CURLOPT_POST, 1L);
        curl->easySetopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.postBody.size()));
        curl->easySetopt(h, CURLOPT_COPYPOSTFIELDS, request.postBody.constData());
    }

    if (t_abort != nullptr) {
        curl->easySetopt(h, CURLOPT_NOPROGRESS, 0L);
        curl->easySetopt(h, CURLOPT_XFERINFOFUNCTION, &abortWhenAsked);
        curl->easySetopt(h, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(t_abort));
    }

    const CURLcode result = curl->easyPerform(h);
    long status = 0;
    curl->easyGetinfo(h, CURLINFO_RESPONSE_CODE, &status);
    response.status = status;
    response.tooLarge = sink.tooLarge || result == CURLE_FILESIZE_EXCEEDED;
    response.ok = result == CURLE_OK && status >= 200 && status < 300;
    if (response.ok) {
        response.body = std::move(sink.body);
    }
    return response;
}
