#include "util/CurlLibrary.h"

#include <dlfcn.h>
#include <mutex>

namespace {

template <typename F>
bool resolve(void* library, const char* name, F& target) {
    target = reinterpret_cast<F>(::dlsym(library, name));
    return target != nullptr;
}

} // namespace

const CurlLibrary* curlLibrary() {
    // curl_global_init is not thread-safe itself: run once for the whole program.
    static std::once_flag once;
    static CurlLibrary api;
    static bool ready = false;
    std::call_once(once, [] {
        // Bound at once, as the program itself is; kept loaded until the program ends.
        void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            return;
        ready = resolve(library, "curl_global_init", api.globalInit) &&
                resolve(library, "curl_easy_init", api.easyInit) &&
                resolve(library, "curl_easy_setopt", api.easySetopt) &&
                resolve(library, "curl_easy_getinfo", api.easyGetinfo) &&
                resolve(library, "curl_easy_perform", api.easyPerform) &&
                resolve(library, "curl_easy_reset", api.easyReset) &&
                resolve(library, "curl_easy_cleanup", api.easyCleanup) &&
                resolve(library, "curl_slist_append", api.slistAppend) &&
                resolve(library, "curl_slist_free_all", api.slistFreeAll) &&
                api.globalInit(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    });
    return ready ? &api : nullptr;
}
