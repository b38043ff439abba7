#pragma once

#include <QSizeF>
#include <QString>
#include <optional>
#include <vector>

// The print size, in millimetres, of a catalogue size name. The lab's names either carry the
// size itself ("Lサイズ（89×127）", "タペストリー（600×1800）") or name one of the usual print
// sizes ("集合写真 六切", "ポストカード（はがき）", "卓上ポップ（A5）"). The usual sizes are
// kept here, in one table.
class PrintSizeTable {
public:
    struct Entry {
        QString name; // as it appears in a size name
        double shortMm;
        double longMm;
    };

    // Every usual print size, longest name first (so "2L" is found before "L").
    static const std::vector<Entry>& entries();

    // A "（W×H）" millimetre size in the name (full- or half-width brackets, digits and "×"/"x").
    static std::optional<QSizeF> sizeFromDimensions(const QString& sizeName);
    // A usual print size named in the name, standing as a word of its own: "2L" in "個人写真
    // 2Lサイズ"; a letter or digit right next to it makes it part of another word ("XL").
    static std::optional<QSizeF> sizeFromTable(const QString& sizeName);
    // The dimensions first, then the table; none when the name tells no size.
    static std::optional<QSizeF> printSizeMm(const QString& sizeName);
};
