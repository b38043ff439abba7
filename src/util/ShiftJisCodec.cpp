#include "util/ShiftJisCodec.h"

#include <memory>
#include <unicode/ucnv.h>
#include <vector>

namespace shiftjis {

namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// ICU's "windows-31j" is Microsoft's table (ibm-943_P15A-2003); a converter is not shareable
// between threads, so each call opens its own (ICU caches the table itself).
Converter openConverter() {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open("windows-31j", &status));
    if (U_FAILURE(status)) {
        return nullptr;
    }
    return converter;
}

char16_t to932(char16_t c) {
    switch (c) {
    case u'\u301C': // WAVE DASH
        return u'\uFF5E';
    case u'\u2016': // DOUBLE VERTICAL LINE
        return u'\u2225';
    case u'\u2212': // MINUS SIGN
        return u'\uFF0D';
    case u'\u00A2': // CENT SIGN
        return u'\uFFE0';
    case u'\u00A3': // POUND SIGN
        return u'\uFFE1';
    case u'\u00AC': // NOT SIGN
        return u'\uFFE2';
    case u'\u2014': // EM DASH
        return u'\u2015';
    case u'\u00A5': // YEN SIGN: 0x5C, shown as ¥ by Japanese Windows
        return u'\\';
    default:
        return c;
    }
}

} // namespace

QByteArray encode(const QString& text) {
    if (text.isEmpty()) {
        return {};
    }
    // Composed first: a name from a Mac keeps "ガ" as カ plus a combining mark, which the table
    // lacks but has as one character.
    std::u16string source = text.normalized(QString::NormalizationForm_C).toStdU16String();
    for (char16_t& c : source) {
        c = to932(c);
    }
    const Converter converter = openConverter();
    if (!converter) {
        return {};
    }
    UErrorCode status = U_ZERO_ERROR;
    // One "?" for each character the table lacks (an emoji's surrogate pair is one character).
    ucnv_setSubstChars(converter.get(), "?", 1, &status);
    if (U_FAILURE(status)) {
        return {};
    }
    const auto* units = reinterpret_cast<const UChar*>(source.data());
    const auto length = static_cast<int32_t>(source.size());
    // At most two bytes per UTF-16 unit in Windows-31J.
    std::vector<char> buffer(static_cast<std::size_t>(length) * 2 + 2);
    const int32_t written =
        ucnv_fromUChars(converter.get(), buffer.data(), static_cast<int32_t>(buffer.size()), units,
                        length, &status);
    if (U_FAILURE(status)) {
        return {};
    }
    return QByteArray(buffer.data(), written);
}

QString decode(const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        return QStringLiteral("");
    }
    const Converter converter = openConverter();
    if (!converter) {
        return {};
    }
    UErrorCode status = U_ZERO_ERROR;
    std::u16string target(static_cast<std::size_t>(bytes.size()) + 1, u'\0');
    const int32_t written = ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(target.data()),
                                          static_cast<int32_t>(target.size()), bytes.constData(),
                                          static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) {
        return {};
    }
    return QString::fromStdU16String(target.substr(0, static_cast<std::size_t>(written)));
}

} // namespace shiftjis
