// HTTP reads of Tool: the lab's pages and catalogues, always UTF-8.
#include "util/HttpClient.h"
#include "util/Tool.h"

#include <QStringDecoder>
#include <QUrl>

std::optional<QString> Tool::readHttp(const QString& url, double timeoutInterval) {
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return std::nullopt;
    }
    HttpRequest request;
    request.url = url;
    request.timeoutSeconds = timeoutInterval;
    const HttpResponse response = httpPerform(request);
    if (!response.ok) {
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(response.body);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    // An empty page is still a page.
    return text.isNull() ? QStringLiteral("") : text;
}
