// HTTP reads of Tool: the lab's pages and catalogues, always UTF-8.
#include "util/HttpClient.h"
#include "util/Tool.h"

#include <QStringDecoder>
#include <QUrl>

HttpReadResult Tool::readHttpChecked(const QString& url, double timeoutInterval, qint64 maxBytes) {
    HttpReadResult read;
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return read;
    }
    HttpRequest request;
    request.url = url;
    request.timeoutSeconds = timeoutInterval;
    request.maxBodyBytes = maxBytes;
    const HttpResponse response = httpPerform(request);
    read.tooLarge = response.tooLarge;
    if (!response.ok) {
        return read;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(response.body);
    if (decoder.hasError()) {
        return read;
    }
    // An empty page is still a page.
    read.text = text.isNull() ? QStringLiteral("") : text;
    return read;
}

std::optional<QString> Tool::readHttp(const QString& url, double timeoutInterval) {
    return readHttpChecked(url, timeoutInterval).text;
}
