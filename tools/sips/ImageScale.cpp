#include "ImageScale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Plain 8-bit RGB or grey JPEGs take the fast road; CMYK and the rest go through vips_thumbnail,
// which also converts them to RGB.
bool isPlainJpeg(const std::string& fileName, VipsImage*& header) {
    const char* loader = vips_foreign_find_load(fileName.c_str());
    if (loader == nullptr || std::strncmp(loader, "VipsForeignLoadJpeg", 19) != 0) {
        vips_error_clear();
        return false;
    }
    header = vips_image_new_from_file(fileName.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr);
    if (header == nullptr) {
        return false;
    }
    const VipsInterpretation interpretation = vips_image_get_interpretation(header);
    const int bands = vips_image_get_bands(header);
    return vips_image_get_format(header) == VIPS_FORMAT_UCHAR &&
           ((interpretation == VIPS_INTERPRETATION_sRGB && bands == 3) ||
            (interpretation == VIPS_INTERPRETATION_B_W && bands == 1));
}

// vips_thumbnail of libvips 8.14 decodes at full size unless the photo is at least four times
// the target, so a 6000 × 4000 photo for 2998 pixels would be decoded whole. Here libjpeg's
// DCT-domain scaling does the first factor of two while decoding and a Lanczos-3 resample does
// the rest, which is what makes a photo take little more time than decoding it at half size.
VipsHandle<VipsImage> loadFittedJpeg(const std::string& fileName, VipsImage* header, int box) {
    const int width = vips_image_get_width(header);
    const int height = vips_image_get_height(header);
    const FittedSize target = fittedSize(width, height, box);
    const int shrink = jpegShrinkOnLoad(width, height, target);

    VipsImage* decoded = nullptr;
    if (vips_jpegload(fileName.c_str(), &decoded, "shrink", shrink, "access",
                      VIPS_ACCESS_SEQUENTIAL, "fail_on", VIPS_FAIL_ON_ERROR, nullptr) != 0) {
        return nullptr;
    }
    VipsHandle<VipsImage> image(decoded);
    const double hscale = double(target.width) / double(vips_image_get_width(image.get()));
    const double vscale = double(target.height) / double(vips_image_get_height(image.get()));
    if (hscale != 1.0 || vscale != 1.0) {
        VipsImage* resized = nullptr;
        if (vips_resize(image.get(), &resized, hscale, "vscale", vscale, "kernel",
                        VIPS_KERNEL_LANCZOS3, nullptr) != 0) {
            return nullptr;
        }
        image.reset(resized);
    }

    int orientation = 1;
    if (vips_image_get_typeof(image.get(), VIPS_META_ORIENTATION) != 0 &&
        vips_image_get_int(image.get(), VIPS_META_ORIENTATION, &orientation) != 0) {
        orientation = 1;
    }
    if (orientation > 1 && orientation <= 8) {
        // Turning needs random access: hold the (already small) result in memory first.
        VipsImage* held = vips_image_copy_memory(image.get());
        if (held == nullptr) {
            return nullptr;
        }
        image.reset(held);
        VipsImage* upright = nullptr;
        // autorot also drops the orientation, so the saved EXIF says 1.
        if (vips_autorot(image.get(), &upright, nullptr) != 0) {
            return nullptr;
        }
        image.reset(upright);
    }
    return image;
}

} // namespace

VipsHandle<VipsImage> loadFitted(const std::string& fileName, int box) {
    VipsImage* rawHeader = nullptr;
    const bool plainJpeg = isPlainJpeg(fileName, rawHeader);
    const VipsHandle<VipsImage> header(rawHeader);
    if (plainJpeg) {
        return loadFittedJpeg(fileName, header.get(), box);
    }
    VipsImage* fitted = nullptr;
    if (vips_thumbnail(fileName.c_str(), &fitted, box, "height", box, "size", VIPS_SIZE_BOTH,
                       "fail_on", VIPS_FAIL_ON_ERROR, nullptr) != 0) {
        return nullptr;
    }
    return VipsHandle<VipsImage>(fitted);
}
