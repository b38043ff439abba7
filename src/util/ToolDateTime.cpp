// Date and time texts of Tool, always of the current local time.
#include "util/Tool.h"

#include <ctime>
#include <vector>

QString Tool::nowDateTimeWithFormat(const char* strftimeFormat) {
    if (strftimeFormat == nullptr || *strftimeFormat == '\0') {
        return QStringLiteral("");
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return QStringLiteral("");
    }
    // strftime answers 0 both for "too small" and for an empty result; grow a few times.
    for (std::size_t size = 64; size <= 4096; size *= 4) {
        std::vector<char> buffer(size);
        // The format is the caller's by design (this operation exists to take one).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        const std::size_t length =
            std::strftime(buffer.data(), buffer.size(), strftimeFormat, &local);
#pragma GCC diagnostic pop
        if (length > 0) {
            return QString::fromLocal8Bit(buffer.data(), static_cast<qsizetype>(length));
        }
    }
    return QStringLiteral("");
}

QString Tool::nowDateTimeAllCompress() {
    return nowDateTimeWithFormat("%Y%m%d%H%M%S");
}

QString Tool::nowDateTimeCompress() {
    return nowDateTimeWithFormat("%Y%m%d_%H%M%S");
}

QString Tool::nowDateTimeNomal() {
    return nowDateTimeWithFormat("%Y/%m/%d %H:%M:%S");
}

QString Tool::nowDateCompress() {
    return nowDateTimeWithFormat("%Y%m%d");
}

QString Tool::nowTimeCompress() {
    return nowDateTimeWithFormat("%H%M%S");
}

QString Tool::nowDateNomal() {
    return nowDateTimeWithFormat("%Y/%m/%d");
}

QString Tool::nowTimeNomal() {
    return nowDateTimeWithFormat("%H:%M:%S");
}
