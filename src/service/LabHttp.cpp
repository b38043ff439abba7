#include "service/LabHttp.h"

#include "settings/Log.h"
#include "util/Tool.h"

#include <QUrl>

std::optional<QString> LabHttp::read(const QString& url, double timeoutInterval) {
    const HttpReadResult read = Tool::readHttpChecked(url, timeoutInterval);
    if (read.tooLarge) {
        // Without the query: it can carry a password or its digest.
        Log::outputLn(
            QStringLiteral("受信データが大きすぎるため破棄（上限%1バイト）：%2")
                .arg(Tool::kMaxHttpBodyBytes)
                .arg(QUrl(url).adjusted(QUrl::RemoveQuery | QUrl::RemoveUserInfo).toString()));
    }
    return read.text;
}
