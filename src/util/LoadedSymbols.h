#pragma once

#include <dlfcn.h>

// A function of a library loaded with dlopen, into a pointer of its own type; false when the
// library lacks it.
template <typename F>
bool resolveSymbol(void* library, const char* name, F& target) {
    target = reinterpret_cast<F>(::dlsym(library, name));
    return target != nullptr;
}
