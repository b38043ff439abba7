#include "app/PreflightJudge.h"

#include "product/PrintSizeTable.h"

#include <algorithm>
#include <cmath>

namespace {

QString contentText(ImageKind kind) {
    switch (kind) {
    case ImageKind::Pdf:
        return QStringLiteral("PDF文書");
    case ImageKind::Unknown:
    case ImageKind::Empty:
        return QStringLiteral("画像ではないデータ");
    default:
        return QStringLiteral("%1画像").arg(imageKindName(kind));
    }
}

} // namespace

QString PreflightVerdict::toolTip() const {
    if (level == PreflightLevel::Pending) {
        return QStringLiteral("確認中です");
    }
    if (reasons.isEmpty()) {
        return dpi > 0 ? QStringLiteral("問題は見つかりませんでした（約%1dpi）").arg(dpi)
                       : QStringLiteral("問題は見つかりませんでした");
    }
    return reasons.join(u'\n');
}

int PreflightJudge::effectiveDpi(const ImageHeaderFacts& facts, const QSizeF& printMm) {
    const double shortPx = std::min(facts.width, facts.height);
    const double shortMm = std::min(printMm.width(), printMm.height());
    if (shortPx <= 0 || shortMm <= 0) {
        return 0;
    }
    // A hair of slack so that a size computed to land on a band border stays on it.
    return static_cast<int>(std::floor(shortPx * 25.4 / shortMm + 1e-9));
}

PreflightVerdict PreflightJudge::judge(const ImageHeaderFacts& facts, const QString& fileName,
                                       const std::optional<QSizeF>& printMm) {
    PreflightVerdict verdict;
    QStringList red;
    QStringList amber;
    const ImageKind named = imageKindForName(fileName);
    if (!facts.readable) {
        red << QStringLiteral("ファイルを読み取れません");
    } else if (facts.kind == ImageKind::Empty) {
        red << QStringLiteral("ファイルが空です（0バイト）");
    } else if (named != ImageKind::Unknown && facts.kind != named) {
        red << QStringLiteral("ファイルの中身が拡張子と合っていません（中身は%1です）")
                   .arg(contentText(facts.kind));
    }
    if (red.isEmpty()) {
        const bool raster = facts.kind == ImageKind::Jpeg || facts.kind == ImageKind::Png ||
                            facts.kind == ImageKind::Tiff;
        if (raster && facts.truncated) {
            red << QStringLiteral(
                "画像データが途中で終わっています（壊れているか、コピーの途中です）");
        } else if (raster && (facts.damaged || !facts.hasPixelSize())) {
            red << QStringLiteral("画像が壊れています（大きさを読み取れません）");
        }
        if (facts.colour == ImageColour::Cmyk) {
            red << QStringLiteral("CMYKカラーの画像です（RGBで保存してください）");
        } else if (facts.colour == ImageColour::Ycck) {
            red << QStringLiteral("YCCKカラーの画像です（RGBで保存してください）");
        }
        if (facts.kind == ImageKind::Jpeg && facts.bitsPerChannel > 8) {
            red << QStringLiteral("%1ビット精度のJPEGです（8ビットで保存してください）")
                       .arg(facts.bitsPerChannel);
        } else if (facts.bitsPerChannel > 8) {
            red << QStringLiteral("%1ビット／チャンネルの画像です（8ビットで保存してください）")
                       .arg(facts.bitsPerChannel);
        }
        if (facts.alpha) {
            amber << QStringLiteral("透明部分（アルファチャンネル）を含む画像です");
        }
        if (printMm && raster && facts.hasPixelSize()) {
            verdict.dpi = effectiveDpi(facts, *printMm);
            if (verdict.dpi < kWarningBelowDpi) {
                red << QStringLiteral("解像度が不足しています（約%1dpi）").arg(verdict.dpi);
            } else if (verdict.dpi < kCautionBelowDpi) {
                amber << QStringLiteral("解像度がやや低めです（約%1dpi）").arg(verdict.dpi);
            }
        }
    }
    verdict.level = !red.isEmpty()     ? PreflightLevel::Warning
                    : !amber.isEmpty() ? PreflightLevel::Caution
                                       : PreflightLevel::Fine;
    verdict.reasons = red + amber;
    return verdict;
}

PreflightVerdict PreflightJudge::judgeForSizeName(const ImageHeaderFacts& facts,
                                                  const QString& fileName,
                                                  const QString& sizeName) {
    return judge(facts, fileName,
                 sizeName.isEmpty() ? std::nullopt : PrintSizeTable::printSizeMm(sizeName));
}

QString PreflightJudge::summaryText(int attentionCount) {
    return attentionCount > 0 ? QStringLiteral("注意が必要な画像：%1枚").arg(attentionCount)
                              : QString();
}
