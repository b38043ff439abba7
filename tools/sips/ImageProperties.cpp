#include "ImageProperties.h"

#include "VipsHandle.h"

#include <cmath>
#include <cstdint>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace {

std::uint32_t readBigEndian32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (u < 0x20 && c != '\t' && c != '\n') {
            continue; // not allowed in XML 1.0
        } else {
            out += c;
        }
    }
    return out;
}

std::string formatFromLoader(std::string loader) {
    // "jpegload_source" → "jpeg"
    for (const std::string suffix : {"_source", "_buffer"}) {
        if (loader.size() > suffix.size() &&
            loader.compare(loader.size() - suffix.size(), suffix.size(), suffix) == 0) {
            loader.resize(loader.size() - suffix.size());
        }
    }
    if (loader.size() > 4 && loader.compare(loader.size() - 4, 4, "load") == 0) {
        loader.resize(loader.size() - 4);
    }
    return loader;
}

std::string spaceName(VipsInterpretation interpretation, int bands) {
    switch (interpretation) {
    case VIPS_INTERPRETATION_B_W:
    case VIPS_INTERPRETATION_GREY16:
        return "Gray";
    case VIPS_INTERPRETATION_CMYK:
        return "CMYK";
    case VIPS_INTERPRETATION_LAB:
    case VIPS_INTERPRETATION_LABS:
        return "Lab";
    default:
        return bands < 3 ? "Gray" : "RGB";
    }
}

int bitsOf(VipsBandFormat format) {
    switch (format) {
    case VIPS_FORMAT_UCHAR:
    case VIPS_FORMAT_CHAR:
        return 8;
    case VIPS_FORMAT_USHORT:
    case VIPS_FORMAT_SHORT:
        return 16;
    case VIPS_FORMAT_UINT:
    case VIPS_FORMAT_INT:
    case VIPS_FORMAT_FLOAT:
        return 32;
    default:
        return 64;
    }
}

} // namespace

std::string iccProfileDescription(const unsigned char* data, std::size_t size) {
    if (data == nullptr || size < 132) {
        return {};
    }
    const std::uint32_t tagCount = readBigEndian32(data + 128);
    for (std::uint32_t i = 0; i < tagCount; ++i) {
        const std::size_t entry = 132 + std::size_t{i} * 12;
        if (entry + 12 > size) {
            return {};
        }
        if (std::string(reinterpret_cast<const char*>(data + entry), 4) != "desc") {
            continue;
        }
        const std::size_t offset = readBigEndian32(data + entry + 4);
        const std::size_t length = readBigEndian32(data + entry + 8);
        if (offset > size || length > size - offset || length < 12) {
            return {};
        }
        const unsigned char* tag = data + offset;
        const std::string type(reinterpret_cast<const char*>(tag), 4);
        if (type == "desc") {
            const std::size_t count = readBigEndian32(tag + 8);
            if (count > length - 12) {
                return {};
            }
            std::string text(reinterpret_cast<const char*>(tag + 12), count);
            text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
            return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)
                       ? text
                       : std::string();
        }
        if (type == "mluc" && length >= 28) {
            // First record: language(2) country(2) byte length(4) offset from the tag(4).
            const std::size_t textLength = readBigEndian32(tag + 20);
            const std::size_t textOffset = readBigEndian32(tag + 24);
            if (textOffset > length || textLength > length - textOffset) {
                return {};
            }
            std::vector<gunichar2> units;
            for (std::size_t k = 0; k + 1 < textLength; k += 2) {
                const unsigned char* p = tag + textOffset + k;
                units.push_back(static_cast<gunichar2>((p[0] << 8) | p[1]));
            }
            while (!units.empty() && units.back() == 0) {
                units.pop_back();
            }
            gchar* utf8 = g_utf16_to_utf8(units.data(), static_cast<glong>(units.size()), nullptr,
                                          nullptr, nullptr);
            const std::unique_ptr<gchar, decltype(&g_free)> owned(utf8, &g_free);
            return utf8 != nullptr ? std::string(utf8) : std::string();
        }
        return {};
    }
    return {};
}

std::optional<ImageProperties> readImageProperties(const std::string& path, std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = "ファイルが見つかりません: " + path;
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "ファイルではありません: " + path;
        return std::nullopt;
    }
    // A source, not a file name: libvips would read "[...]" at the end of a name as load options.
    const VipsHandle<VipsSource> source(vips_source_new_from_file(path.c_str()));
    if (!source) {
        error = "ファイルを開けません: " + path + " (" + takeVipsError() + ")";
        return std::nullopt;
    }
    const VipsHandle<VipsImage> image(
        vips_image_new_from_source(source.get(), "", "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
    if (!image) {
        error = "画像ファイルとして読み込めません: " + path + " (" + takeVipsError() + ")";
        return std::nullopt;
    }
    VipsImage* im = image.get();
    ImageProperties properties;
    const char* loader = nullptr;
    if (vips_image_get_typeof(im, VIPS_META_LOADER) != 0 &&
        vips_image_get_string(im, VIPS_META_LOADER, &loader) == 0 && loader != nullptr) {
        properties.format = formatFromLoader(loader);
    }
    properties.pixelWidth = vips_image_get_width(im);
    properties.pixelHeight = vips_image_get_height(im);
    properties.samplesPerPixel = vips_image_get_bands(im);
    properties.bitsPerSample = bitsOf(vips_image_get_format(im));
    properties.hasAlpha = vips_image_hasalpha(im) != 0;
    properties.space = spaceName(vips_image_get_interpretation(im), properties.samplesPerPixel);
    // libvips keeps resolution in pixels per millimetre.
    properties.dpiWidth = std::round(vips_image_get_xres(im) * 25.4 * 1000.0) / 1000.0;
    properties.dpiHeight = std::round(vips_image_get_yres(im) * 25.4 * 1000.0) / 1000.0;
    int orientation = 0;
    if (vips_image_get_typeof(im, VIPS_META_ORIENTATION) != 0 &&
        vips_image_get_int(im, VIPS_META_ORIENTATION, &orientation) == 0) {
        properties.orientation = orientation;
    }
    const void* icc = nullptr;
    std::size_t iccSize = 0;
    if (vips_image_get_typeof(im, VIPS_META_ICC_NAME) != 0 &&
        vips_image_get_blob(im, VIPS_META_ICC_NAME, &icc, &iccSize) == 0) {
        const std::string description =
            iccProfileDescription(static_cast<const unsigned char*>(icc), iccSize);
        properties.profile = description.empty() ? std::string("Embedded") : description;
    }
    vips_error_clear();
    return properties;
}

std::string plistXmlFromProperties(const ImageProperties& p) {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n";
    const auto key = [&out](const char* name) { out << "\t<key>" << name << "</key>\n"; };
    const auto integer = [&](const char* name, long long value) {
        key(name);
        out << "\t<integer>" << value << "</integer>\n";
    };
    const auto real = [&](const char* name, double value) {
        key(name);
        out << "\t<real>" << value << "</real>\n";
    };
    const auto string = [&](const char* name, const std::string& value) {
        key(name);
        out << "\t<string>" << xmlEscaped(value) << "</string>\n";
    };
    out.imbue(std::locale::classic());
    integer("bitsPerSample", p.bitsPerSample);
    real("dpiHeight", p.dpiHeight);
    real("dpiWidth", p.dpiWidth);
    string("format", p.format);
    key("hasAlpha");
    out << (p.hasAlpha ? "\t<true/>\n" : "\t<false/>\n");
    if (p.orientation) {
        integer("orientation", *p.orientation);
    }
    integer("pixelHeight", p.pixelHeight);
    integer("pixelWidth", p.pixelWidth);
    if (p.profile) {
        string("profile", *p.profile);
    }
    integer("samplesPerPixel", p.samplesPerPixel);
    string("space", p.space);
    out << "</dict>\n</plist>\n";
    return out.str();
}
