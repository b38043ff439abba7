#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Text operations used throughout the program: replacement, line ends, marker extraction from
// fetched pages, line splitting and date-time texts ("YYYY/MM/DD hh:mm:ss" and its compressed
// forms). A null QString stands for an absent text; every operation answers an empty text or list
// for it.
namespace orbel {

// Every occurrence of find, left to right, without overlap and without rescanning inserted text.
// An empty find leaves the text as it is.
QString replaceOfString(const QString& text, const QString& find, const QString& with);
QString deleteString(const QString& text, const QString& find);

QString convertLineFeedCodeToCRLF(const QString& text); // every line end becomes "\r\n"
QString convertLineFeedCodeToLF(const QString& text);   // every line end becomes "\n"
QString convertLineFeedCodeToCR(const QString& text);   // every line end becomes "\r"
QString deleteLineFeedCode(const QString& text);        // removes every "\r" and "\n"
// "\r\n" and then "\n" become with; a lone "\r" stays.
QString replaceLineFeedCode(const QString& text, const QString& with);

// The text between the first start key and the first end key; "" when either is missing or the
// end key does not come after the start of the start key.
QString extractionStartKey(const QString& text, const QString& start, const QString& end);

// True when both texts exist and find occurs in text (an empty find does not occur).
bool contains(const QString& text, const QString& find);

// The lines in order without their line ends; a last line without line end is included.
QStringList splitLineToArray(const QString& text);

QString dateTimeStrFilter(const QString& text); // removes "/", ".", " " and ":"
// Exactly YYYYMMDDhhmmss after the filter, each field within its range.
bool isDateTimeStr(const QString& text);
// Both are valid date-times and text is strictly earlier than other.
bool isOverCheckWithDateTimeStr(const QString& text, const QString& other);

// A customer code as it is stored: ASCII digits naming a number from 1 to 2147483647, optionally
// followed by "-" and a branch suffix of ASCII letters and digits ("1234", "1234-01"). Anything
// else, also a number too large to read, is not a code (src/util/CustomerCode.cpp).
bool isValidCustomerCode(const QString& code);
// A customer code as typed: blanks around it ignored, full-width digits, letters and hyphens read
// as half-width, leading zeros of the number removed ("00456" gives "456", "0123-ab" gives
// "123-ab"); none when the result is not a valid code.
std::optional<QString> normalizedCustomerCode(const QString& text);

} // namespace orbel
