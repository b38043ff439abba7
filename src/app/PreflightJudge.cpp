#include "app/PreflightJudge.h"

#include "app/PrintFrame.h"
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
    return (reasons + details).join(u'\n');
}

QString PreflightVerdict::accessibleText() const {
    const QString words = PreflightJudge::levelText(level);
    return reasons.isEmpty() ? words : words + QStringLiteral("：") + reasons.join(u'、');
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
        } else if (raster && facts.implausibleSize) {
            red << QStringLiteral("画像が壊れています（大きさが正しくありません：%1×%2ピクセル）")
                       .arg(facts.width)
                       .arg(facts.height);
        } else if (raster && !facts.bigTiff && (facts.damaged || !facts.hasPixelSize())) {
            red << QStringLiteral("画像が壊れています（大きさを読み取れません）");
        }
        // Inside a JPEG, CMYK and YCCK are the same to the studio: print colours, not screen
        // colours. The exact space stays in the details.
        if (facts.bigTiff) {
            red << QStringLiteral("BigTIFF形式の画像です（通常のTIFFかJPEGで保存してください）");
        }
        if (facts.colour == ImageColour::Cmyk || facts.colour == ImageColour::Ycck) {
            red << QStringLiteral("CMYKの画像です（RGBで保存してください）");
            verdict.details << (facts.colour == ImageColour::Ycck
                                    ? QStringLiteral("色空間：YCCK（Adobe変換2のJPEG）")
                                    : QStringLiteral("色空間：CMYK"));
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
        // A lab that prints sRGB shows another space's colours dull or shifted; no profile is
        // taken as sRGB.
        if (facts.hasProfile && facts.profileColourSpace == "RGB " &&
            !isSrgbProfileName(facts.profileName)) {
            const QString name = facts.profileName.isEmpty()
                                     ? QStringLiteral("名前のないプロファイル")
                                     : facts.profileName;
            amber << QStringLiteral("カラープロファイルがsRGBではありません（%1：sRGBに変換して"
                                    "保存してください）")
                         .arg(name);
        }
        if (facts.hasProfile) {
            verdict.details << QStringLiteral("埋め込みプロファイル：%1")
                                   .arg(
                                       facts.profileName.isEmpty()
                                           ? QString::fromLatin1(facts.profileColourSpace).trimmed()
                                           : facts.profileName);
        }
        const bool sized = printMm && raster && facts.hasPixelSize() && !facts.implausibleSize;
        if (sized) {
            verdict.dpi = effectiveDpi(facts, *printMm);
            if (verdict.dpi < kWarningBelowDpi) {
                red << QStringLiteral("解像度が不足しています（約%1dpi）").arg(verdict.dpi);
            } else if (verdict.dpi < kCautionBelowDpi) {
                amber << QStringLiteral("解像度がやや低めです（約%1dpi）").arg(verdict.dpi);
            }
            const QSizeF shown =
                PrintFrame::shownSize(facts.width, facts.height, facts.orientation);
            if (PrintFrame::mismatch(shown, *printMm) > PrintFrame::kCautionAbove) {
                amber << QStringLiteral("用紙と縦横比が違います（約%1%が切れるか余白になります）")
                             .arg(PrintFrame::mismatchPercent(shown, *printMm));
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

QString PreflightJudge::levelText(PreflightLevel level) {
    switch (level) {
    case PreflightLevel::Warning:
        return QStringLiteral("印刷に向かない");
    case PreflightLevel::Caution:
        return QStringLiteral("確認をおすすめ");
    case PreflightLevel::Fine:
        return QStringLiteral("問題なし");
    case PreflightLevel::Pending:
        break;
    }
    return QStringLiteral("確認中");
}

QString PreflightJudge::summaryText(int warningCount, int cautionCount) {
    QStringList parts;
    if (warningCount > 0) {
        parts << QStringLiteral("印刷に向かない画像：%1枚").arg(warningCount);
    }
    if (cautionCount > 0) {
        parts << QStringLiteral("確認をおすすめ：%1枚").arg(cautionCount);
    }
    return parts.join(u'／');
}

bool PreflightJudge::isSrgbProfileName(const QString& name) {
    return name.contains(QStringLiteral("sRGB"), Qt::CaseInsensitive) ||
           name.contains(QStringLiteral("61966-2"));
}
