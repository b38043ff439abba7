#pragma once

#include <memory>
#include <string>
#include <vips/vips.h>

// Owning handle for libvips objects (images, sources): one reference, dropped on scope exit.
struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};

template <typename T>
using VipsHandle = std::unique_ptr<T, GObjectUnref>;

// Arrays (VipsArrayDouble and friends) are reference-counted areas, not objects.
struct VipsAreaUnref {
    void operator()(VipsArrayDouble* array) const {
        if (array != nullptr) {
            vips_area_unref(reinterpret_cast<VipsArea*>(array));
        }
    }
};

using VipsDoubles = std::unique_ptr<VipsArrayDouble, VipsAreaUnref>;

// The text of libvips' error buffer without its trailing line end; the buffer is cleared.
inline std::string takeVipsError() {
    std::string text = vips_error_buffer();
    vips_error_clear();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}
