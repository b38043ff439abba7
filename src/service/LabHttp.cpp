#include "service/LabHttp.h"

#include "settings/Log.h"
#include "util/Tool.h"

std::optional<QString> LabHttp::read(const QString& url, double timeoutInterval) {
    const HttpReadResult read = Tool::readHttpChecked(url, timeoutInterval);
    if (read.tooLarge) {
        Log::outputLn(QStringLiteral("受信データが大きすぎるため破棄（上限%1バイト）：%2")
                          .arg(Tool::kMaxHttpBodyBytes)
                          .arg(url));
    }
    return read.text;
}
