#include "util/CurlLibrary.h"

#include "util/LoadedSymbols.h"

#include <mutex>

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
        ready = resolveSymbol(library, "curl_global_init", api.globalInit) &&
                resolveSymbol(library, "curl_easy_init", api.easyInit) &&
                resolveSymbol(library, "curl_easy_setopt", api.easySetopt) &&
                resolveSymbol(library, "curl_easy_getinfo", api.easyGetinfo) &&
                resolveSymbol(library, "curl_easy_perform", api.easyPerform) &&
                resolveSymbol(library, "curl_easy_reset", api.easyReset) &&
                resolveSymbol(library, "curl_easy_cleanup", api.easyCleanup) &&
                resolveSymbol(library, "curl_slist_append", api.slistAppend) &&
                resolveSymbol(library, "curl_slist_free_all", api.slistFreeAll) &&
                api.globalInit(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    });
    return ready ? &api : nullptr;
}
