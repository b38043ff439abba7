#include "util/HttpClient.h"

#include <QUrl>
#include <algorithm>
#include <curl/curl.h>
#include <dlfcn.h>
#include <memory>
#include <mutex>

namespace {

// libcurl is loaded on the first request, not with the program: it and the libraries it brings
// would otherwise be mapped and bound before the window can come up, while the first request is
// made by a worker beside the window's set-up.
struct CurlLibrary {
    decltype(&::curl_global_init) globalInit = nullptr;
    decltype(&::curl_easy_init) easyInit = nullptr;
    CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
    decltype(&::curl_easy_perform) easyPerform = nullptr;
    decltype(&::curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&::curl_slist_append) slistAppend = nullptr;
    decltype(&::curl_slist_free_all) slistFreeAll = nullptr;
};

template <typename F>
bool resolve(void* library, const char* name, F& target) {
    target = reinterpret_cast<F>(::dlsym(library, name));
    return target != nullptr;
}

// The library, ready for use (curl_global_init is not thread-safe itself: run once for the
// whole program); none when it cannot be loaded.
const CurlLibrary* curlLibrary() {
    static std::once_flag once;
    static CurlLibrary api;
    static bool ready = false;
    std::call_once(once, [] {
        // Bound at once, as the program itself is; kept loaded until the program ends.
        void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            return;
        }
        ready = resolve(library, "curl_global_init", api.globalInit) &&
                resolve(library, "curl_easy_init", api.easyInit) &&
                resolve(library, "curl_easy_setopt", api.easySetopt) &&
                resolve(library, "curl_easy_getinfo", api.easyGetinfo) &&
                resolve(library, "curl_easy_perform", api.easyPerform) &&
                resolve(library, "curl_easy_cleanup", api.easyCleanup) &&
                resolve(library, "curl_slist_append", api.slistAppend) &&
                resolve(library, "curl_slist_free_all", api.slistFreeAll) &&
                api.globalInit(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    });
    return ready ? &api : nullptr;
}

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
