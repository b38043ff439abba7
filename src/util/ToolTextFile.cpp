// Text files of Tool: the log (UTF-8) and the order report (Shift_JIS).
#include "util/PathUtil.h"
#include "util/ShiftJisCodec.h"
#include "util/Tool.h"

#include <QFile>

QByteArray Tool::encodeText(const QString& text, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::ShiftJis:
        return shiftjis::encode(text);
    case TextEncoding::Utf8:
        break;
    }
    return text.toUtf8();
}

namespace {

// Writes all bytes and closes; any short write or close error is a failure.
bool writeAll(QFile& file, const QByteArray& bytes) {
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

} // namespace

bool Tool::createTextFileWithPath(const QString& path, const QString& text, TextEncoding encoding) {
    if (path.isEmpty()) {
        return false;
    }
    const QByteArray bytes = encodeText(text, encoding);
    // A text that encodes to nothing could not be converted: an empty file must not pass for it.
    if (bytes.isEmpty() && !text.isEmpty()) {
        return false;
    }
    QFile file(orbel::expandTilde(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    return writeAll(file, bytes);
}

bool Tool::appendTextFileWithPath(const QString& path, const QString& text, TextEncoding encoding) {
    if (path.isEmpty()) {
        return false;
    }
    const QString expanded = orbel::expandTilde(path);
    if (!QFile::exists(expanded)) {
        return createTextFileWithPath(expanded, text, encoding);
    }
    QFile file(expanded);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    return writeAll(file, encodeText(text, encoding));
}
