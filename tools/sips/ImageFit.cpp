#include "ImageFit.h"

#include "FitTarget.h"
#include "ImageScale.h"
#include "ScratchFile.h"
#include "VipsHandle.h"

namespace {

std::string withVipsError(const std::string& message) {
    const std::string detail = takeVipsError();
    return detail.empty() ? message : message + " (" + detail + ")";
}

double whiteOf(VipsBandFormat format) {
    switch (format) {
    case VIPS_FORMAT_USHORT:
        return 65535.0;
    case VIPS_FORMAT_FLOAT:
    case VIPS_FORMAT_DOUBLE:
        return 1.0;
    default:
        return 255.0;
    }
}

} // namespace

std::string fitImageToJpeg(const std::string& sourcePath, const std::string& outputPath,
                           int fitSize, int quality) {
    std::string destination;
    if (std::string refusal = resolveFitTarget(sourcePath, outputPath, destination);
        !refusal.empty()) {
        return refusal;
    }

    // libvips reads "[...]" at the end of a file name as load options, so the photo is opened here
    // and handed over by descriptor; that also pins the file checked above. A VipsSource would do
    // the same, but vips_thumbnail_source ignores fail_on and would accept truncated photos.
    const OpenFile input(sourcePath);
    if (!input.isOpen()) {
        return "ファイルを開けません: " + sourcePath;
    }
    VipsHandle<VipsImage> image = loadFitted(input.nameForLibrary(), fitSize);
    if (!image) {
        return withVipsError("画像ファイルとして読み込めません: " + sourcePath);
    }

    if (vips_image_hasalpha(image.get()) != 0) {
        // JPEG has no transparency; prints show white where nothing was drawn.
        const double white = whiteOf(vips_image_get_format(image.get()));
        const VipsDoubles background(vips_array_double_newv(1, white));
        VipsImage* flat = nullptr;
        if (vips_flatten(image.get(), &flat, "background", background.get(), nullptr) != 0) {
            return withVipsError("画像の透明部分を処理できません: " + sourcePath);
        }
        image.reset(flat);
    }

    ScratchFile scratch(destination);
    if (!scratch.isOpen()) {
        return "出力ファイルを作成できません: " + destination + " (" + scratch.error() + ")";
    }
    // Decoding happens while saving (sequential access): a damaged or truncated photo fails here.
    if (vips_jpegsave(image.get(), scratch.path().c_str(), "Q", quality, nullptr) != 0) {
        return withVipsError("画像の変換に失敗しました: " + sourcePath);
    }
    image.reset();
    if (!scratch.commit()) {
        return "出力ファイルを保存できません: " + destination + " (" + scratch.error() + ")";
    }
    return {};
}
