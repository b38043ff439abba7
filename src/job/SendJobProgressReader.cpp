#include "job/SendJobProgressReader.h"

#include <algorithm>

namespace {

// Longer pieces without a line end are not meter lines; dropping them keeps memory bounded.
constexpr qsizetype kMaxPendingBytes = 4096;

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

SendJobProgressReader::SendJobProgressReader(double totalBytes) : totalBytes_(totalBytes) {}

double SendJobProgressReader::bytesSent() const {
    return totalBytes_ * percent_ / 100.0;
}

std::optional<double> SendJobProgressReader::feed(const QByteArray& chunk) {
    std::optional<double> latest;
    pending_.append(chunk);
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < pending_.size(); ++i) {
        if (!isLineEnd(pending_.at(i)))
            continue;
        if (!pendingRead_) {
            if (const auto value = parseLine(pending_.mid(lineStart, i - lineStart)))
                latest = value;
        }
        pendingRead_ = false;
        lineStart = i + 1;
    }
    pending_.remove(0, lineStart);
    // curl writes a whole meter line at once and the percentage ends it, so an unfinished line
    // that already ends in "%" is complete: read it now, and not again when its end arrives.
    if (!pendingRead_) {
        if (const auto value = parseLine(pending_)) {
            latest = value;
            pendingRead_ = true;
        }
    }
    if (pending_.size() > kMaxPendingBytes) {
        pending_.clear();
        pendingRead_ = false;
    }
    if (latest) {
        percent_ = std::clamp(*latest, 0.0, 100.0);
        seen_ = true;
        return percent_;
    }
    return std::nullopt;
}

// A meter line is "#" characters, blanks, then the percentage with one decimal ("%5.1f%%"; the
// decimal mark may be a comma under some locales).
std::optional<double> SendJobProgressReader::parseLine(const QByteArray& line) {
    const QByteArray text = line.trimmed();
    if (text.size() < 2 || !text.endsWith('%'))
        return std::nullopt;
    qsizetype numberStart = text.size() - 1;
    while (numberStart > 0) {
        const char c = text.at(numberStart - 1);
        if ((c >= '0' && c <= '9') || c == '.' || c == ',')
            --numberStart;
        else
            break;
    }
    if (numberStart == text.size() - 1)
        return std::nullopt;
    for (qsizetype i = 0; i < numberStart; ++i) {
        const char c = text.at(i);
        if (c != '#' && c != ' ')
            return std::nullopt;
    }
    QByteArray number = text.mid(numberStart, text.size() - 1 - numberStart);
    number.replace(',', '.');
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok || value < 0 || value > 100)
        return std::nullopt;
    return value;
}
