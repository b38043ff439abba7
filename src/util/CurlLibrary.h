#pragma once

#include <curl/curl.h>

// libcurl, loaded on first use rather than with the program: it and the libraries it brings would
// otherwise be mapped and bound before the window can come up, while its first user is a worker
// beside the window's set-up (or a send, long after).
struct CurlLibrary {
    decltype(&::curl_global_init) globalInit = nullptr;
    decltype(&::curl_easy_init) easyInit = nullptr;
    CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
    decltype(&::curl_easy_perform) easyPerform = nullptr;
    decltype(&::curl_easy_reset) easyReset = nullptr;
    decltype(&::curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&::curl_slist_append) slistAppend = nullptr;
    decltype(&::curl_slist_free_all) slistFreeAll = nullptr;
};

// The library, loaded and initialised once for the whole program (from any thread); none when
// it cannot be loaded.
const CurlLibrary* curlLibrary();
