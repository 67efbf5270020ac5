#include "sources/CurlLibrary.h"

#include <dlfcn.h>

#include <string>

#include "io/Error.h"

namespace tunrax {

namespace {

template <typename Function>
void Resolve(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    if (!function)
        throw Error(std::string("In libcurl fehlt die Funktion ") + name + ".");
}

TCurlLibrary Load() {
    // The run-time name of the ABI the program was built against.
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        throw Error(std::string("Die Bibliothek libcurl (libcurl.so.4) fehlt; ohne sie ist "
                                "kein Webserver erreichbar. ") +
                    (reason ? reason : ""));
    }
    // Stays loaded for the rest of the program.
    TCurlLibrary curl{};
    Resolve(library, "curl_global_init", curl.GlobalInit);
    Resolve(library, "curl_easy_init", curl.EasyInit);
    Resolve(library, "curl_easy_cleanup", curl.EasyCleanup);
    Resolve(library, "curl_easy_setopt", curl.EasySetopt);
    Resolve(library, "curl_easy_getinfo", curl.EasyGetinfo);
    Resolve(library, "curl_easy_strerror", curl.EasyStrerror);
    Resolve(library, "curl_multi_init", curl.MultiInit);
    Resolve(library, "curl_multi_cleanup", curl.MultiCleanup);
    Resolve(library, "curl_multi_add_handle", curl.MultiAddHandle);
    Resolve(library, "curl_multi_remove_handle", curl.MultiRemoveHandle);
    Resolve(library, "curl_multi_perform", curl.MultiPerform);
    Resolve(library, "curl_multi_poll", curl.MultiPoll);
    Resolve(library, "curl_multi_info_read", curl.MultiInfoRead);
    Resolve(library, "curl_multi_strerror", curl.MultiStrerror);
    if (curl.GlobalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        throw Error("libcurl konnte nicht gestartet werden.");
    return curl;
}

}  // namespace

const TCurlLibrary& Curl() {
    // A failed load throws out of the initialisation: the next call tries again.
    static const TCurlLibrary curl = Load();
    return curl;
}

}  // namespace tunrax
