#pragma once

#include <QByteArray>
#include <QString>

// Shift_JIS as the lab's Windows programs read it: Windows-31J (code page 932), which also holds
// the NEC and IBM extension characters (① ㈱ 髙).
namespace shiftjis {

// Characters that JIS and code page 932 map differently (〜 ‖ − ¢ £ ¬ —) are taken as their 932
// counterparts, and ¥ as the 0x5C that Japanese Windows shows as a yen sign. Anything else that
// cannot be encoded becomes one "?" per character. Line ends are kept as given.
QByteArray encode(const QString& text);

// Bytes that are not valid Windows-31J become U+FFFD.
QString decode(const QByteArray& bytes);

} // namespace shiftjis
