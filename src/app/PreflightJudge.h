#pragma once

#include "util/ImageHeader.h"

#include <QSizeF>
#include <QString>
#include <QStringList>
#include <optional>

// How fit a photo is to be printed: nothing to say, worth a look (amber), or likely to be
// rejected or reprinted by the lab (red). A verdict never blocks an order; the studio decides.
enum class PreflightLevel { Pending, Fine, Caution, Warning };

struct PreflightVerdict {
    PreflightLevel level = PreflightLevel::Pending;
    QStringList reasons; // plain Japanese, red ones first
    QStringList details; // what exactly was found (colour space, profile), for the tooltip
    int dpi = 0;         // effective resolution on the short side; 0 when not judged

    bool needsAttention() const {
        return level == PreflightLevel::Caution || level == PreflightLevel::Warning;
    }
    // The reasons, then the details.
    QString toolTip() const;
    // The level in words, then the reasons: what a screen reader says of the mark.
    QString accessibleText() const;
};

// Header facts and the print size of a row's product make its verdict. Pure and cheap: a row
// whose product changes is judged again from the stored facts.
class PreflightJudge {
public:
    static constexpr int kWarningBelowDpi = 150; // red below
    static constexpr int kCautionBelowDpi = 250; // amber below, fine from here

    static PreflightVerdict judge(const ImageHeaderFacts& facts, const QString& fileName,
                                  const std::optional<QSizeF>& printMm);
    // The print size from a catalogue size name (none for an empty name or an unknown size).
    static PreflightVerdict judgeForSizeName(const ImageHeaderFacts& facts, const QString& fileName,
                                             const QString& sizeName);
    // Short-side pixels over short-side inches, rounded down.
    static int effectiveDpi(const ImageHeaderFacts& facts, const QSizeF& printMm);
    // A level in words: "印刷に向かない", "確認をおすすめ", "問題なし", "確認中".
    static QString levelText(PreflightLevel level);
    // "印刷に向かない画像：N枚／確認をおすすめ：M枚", each part only when its count is above 0;
    // an empty text for none.
    static QString summaryText(int warningCount, int cautionCount);
    // A profile that describes itself as sRGB (or its standard's number).
    static bool isSrgbProfileName(const QString& name);
};
