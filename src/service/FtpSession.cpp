#include "service/FtpSession.h"

#include "util/CurlLibrary.h"

#include <QFile>
#include <curl/curl.h>
#include <memory>
#include <utility>

namespace {

struct ListCleanup {
    const CurlLibrary* curl;
    void operator()(curl_slist* list) const { curl->slistFreeAll(list); }
};

// What one exchange's callbacks share.
struct Exchange {
    const FtpRequest* request = nullptr;
    FtpResult* result = nullptr;
    QFile* upload = nullptr;
    bool cancelAsked = false;
    QByteArray pendingIn; // a reply line not yet ended
};

size_t takeData(char* data, size_t size, size_t count, void* user) {
    auto* exchange = static_cast<Exchange*>(user);
    const size_t bytes = size * count;
    const QByteArray chunk = QByteArray::fromRawData(data, static_cast<qsizetype>(bytes));
    if (exchange->request->onData)
        exchange->request->onData(chunk);
    else
        exchange->result->body.append(chunk);
    return bytes;
}

size_t giveUpload(char* buffer, size_t size, size_t count, void* user) {
    auto* exchange = static_cast<Exchange*>(user);
    const qint64 read = exchange->upload->read(buffer, static_cast<qint64>(size * count));
    return read < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(read);
}

int seekUpload(void* user, curl_off_t offset, int origin) {
    auto* exchange = static_cast<Exchange*>(user);
    if (origin != SEEK_SET)
        return CURL_SEEKFUNC_CANTSEEK;
    return exchange->upload->seek(offset) ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto* exchange = static_cast<Exchange*>(user);
    if (exchange->request->onUploaded && uploaded > 0)
        exchange->request->onUploaded(uploaded);
    if (exchange->request->shouldCancel && exchange->request->shouldCancel()) {
        exchange->cancelAsked = true;
        return 1;
    }
    return 0;
}

// The commands and replies of the control connection, line by line as "> " and "< ".
int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* exchange = static_cast<Exchange*>(user);
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return 0;
    QByteArray text(data, static_cast<qsizetype>(size));
    if (type == CURLINFO_HEADER_IN) {
        text.prepend(std::exchange(exchange->pendingIn, QByteArray()));
        const qsizetype end = text.lastIndexOf('\n');
        exchange->pendingIn = text.mid(end + 1);
        text.truncate(end + 1);
    }
    for (QByteArray line : text.split('\n')) {
        line.replace('\r', "");
        if (line.isEmpty())
            continue;
        exchange->result->dialogue += (type == CURLINFO_HEADER_OUT ? "> " : "< ") + line + '\n';
    }
    return 0;
}

// Only the replies that came back: a dead connection that was reused answers nothing.
bool anyReply(const QByteArray& dialogue) {
    return dialogue.startsWith("< ") || dialogue.contains("\n< ");
}

} // namespace

void FtpSession::EasyCleanup::operator()(void* handle) const {
    // Only a handle the loaded library made ever gets here.
    curlLibrary()->easyCleanup(handle);
}

FtpSession::FtpSession(SendServerProfile profile) : profile_(std::move(profile)) {}

FtpSession::~FtpSession() = default;

FtpResult FtpSession::run(const FtpRequest& request) {
    FtpResult result = perform(request, false);
    // A connection kept from the last exchange that the server (or a router) closed meanwhile
    // fails before a single reply: that is no answer from the lab, so ask again on a new login.
    if (result.started && !result.cancelled && !anyReply(result.dialogue) &&
        (result.code == CURLE_SEND_ERROR || result.code == CURLE_RECV_ERROR ||
         result.code == CURLE_GOT_NOTHING || result.code == CURLE_WEIRD_SERVER_REPLY) &&
        request.uploadPath.isEmpty())
        result = perform(request, true);
    return result;
}

FtpResult FtpSession::perform(const FtpRequest& request, bool fresh) {
    FtpResult result;
    const CurlLibrary* curl = curlLibrary();
    if (curl == nullptr)
        return result;
    if (!handle_)
        handle_.reset(curl->easyInit());
    CURL* handle = handle_.get();
    if (handle == nullptr)
        return result;
    // Every option of the last exchange goes; its connection stays for this one.
    curl->easyReset(handle);
    const auto set = [curl, handle](CURLoption option, auto value) {
        curl->easySetopt(handle, option, value);
    };

    Exchange exchange;
    exchange.request = &request;
    exchange.result = &result;
    QFile upload(request.uploadPath);
    if (!request.uploadPath.isEmpty()) {
        if (!upload.open(QIODevice::ReadOnly)) {
            result.started = true;
            result.code = CURLE_READ_ERROR;
            return result;
        }
        exchange.upload = &upload;
    }

    const QByteArray url = request.url.toUtf8();
    const QByteArray user = profile_.user.toUtf8();
    const QByteArray password = profile_.password.toUtf8();
    const QByteArray caFile = QFile::encodeName(profile_.caFile);
    const QByteArray range = request.range.toLatin1();
    set(CURLOPT_URL, url.constData());
    set(CURLOPT_USERNAME, user.constData());
    set(CURLOPT_PASSWORD, password.constData());
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_TCP_KEEPALIVE, 1L);
    set(CURLOPT_TCP_KEEPIDLE, 60L);
    set(CURLOPT_TCP_KEEPINTVL, 60L);
    set(CURLOPT_MAXAGE_CONN, 600L);
    if (fresh)
        set(CURLOPT_FRESH_CONNECT, 1L);
    // TLS as lab.conf asks, on the control and the data connections; a TLS that is offered but
    // fails is an error in both modes, never a send in the clear.
    if (profile_.tls != orbel::FtpTlsMode::Off) {
        set(CURLOPT_USE_SSL, profile_.tls == orbel::FtpTlsMode::Require
                                 ? static_cast<long>(CURLUSESSL_ALL)
                                 : static_cast<long>(CURLUSESSL_TRY));
        if (!caFile.isEmpty())
            set(CURLOPT_CAINFO, caFile.constData());
    }
    set(CURLOPT_VERBOSE, 1L);
    set(CURLOPT_DEBUGFUNCTION, onDebug);
    set(CURLOPT_DEBUGDATA, &exchange);
    set(CURLOPT_WRITEFUNCTION, takeData);
    set(CURLOPT_WRITEDATA, &exchange);
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, onProgress);
    set(CURLOPT_XFERINFODATA, &exchange);
    if (request.noBody)
        set(CURLOPT_NOBODY, 1L);
    if (request.listOnly)
        set(CURLOPT_DIRLISTONLY, 1L);
    if (request.ignoreSize)
        set(CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    if (!range.isEmpty())
        set(CURLOPT_RANGE, range.constData());
    std::unique_ptr<curl_slist, ListCleanup> commands(nullptr, ListCleanup{curl});
    for (const QString& command : request.commands) {
        curl_slist* longer = curl->slistAppend(commands.get(), command.toUtf8().constData());
        if (longer == nullptr) {
            result.started = true;
            result.code = CURLE_OUT_OF_MEMORY;
            return result;
        }
        (void)commands.release();
        commands.reset(longer);
    }
    if (commands)
        set(CURLOPT_QUOTE, commands.get());
    if (exchange.upload != nullptr) {
        set(CURLOPT_UPLOAD, 1L);
        set(CURLOPT_READFUNCTION, giveUpload);
        set(CURLOPT_READDATA, &exchange);
        set(CURLOPT_SEEKFUNCTION, seekUpload);
        set(CURLOPT_SEEKDATA, &exchange);
        set(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload.size()));
        if (request.uploadFrom > 0)
            set(CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(request.uploadFrom));
    }
    if (request.timeLimit.count() > 0)
        set(CURLOPT_TIMEOUT, static_cast<long>(request.timeLimit.count()));
    if (request.slowBytesPerSecond > 0 && request.slowFor.count() > 0) {
        set(CURLOPT_LOW_SPEED_LIMIT, request.slowBytesPerSecond);
        set(CURLOPT_LOW_SPEED_TIME, static_cast<long>(request.slowFor.count()));
    }

    result.started = true;
    result.code = curl->easyPerform(handle);
    result.cancelled = exchange.cancelAsked;
    curl_off_t length = -1;
    if (curl->easyGetinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
        result.fileSize = length;
    long connects = 0;
    if (curl->easyGetinfo(handle, CURLINFO_NUM_CONNECTS, &connects) == CURLE_OK)
        connections_ += static_cast<int>(connects);
    return result;
}
