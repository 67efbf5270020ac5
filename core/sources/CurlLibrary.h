// libcurl, loaded when the web-server source first needs it. Linked directly,
// it would bring some two dozen libraries (TLS, Kerberos, LDAP, SSH) into
// every start of the program, also for local and FTP collections.
#pragma once

#include <curl/curl.h>

namespace tunrax {

struct TCurlLibrary {
    decltype(&curl_global_init) GlobalInit;
    decltype(&curl_easy_init) EasyInit;
    decltype(&curl_easy_cleanup) EasyCleanup;
    decltype(&curl_easy_setopt) EasySetopt;
    decltype(&curl_easy_getinfo) EasyGetinfo;
    decltype(&curl_easy_strerror) EasyStrerror;
    // The multi interface lets a transfer wait in short slices.
    decltype(&curl_multi_init) MultiInit;
    decltype(&curl_multi_cleanup) MultiCleanup;
    decltype(&curl_multi_add_handle) MultiAddHandle;
    decltype(&curl_multi_remove_handle) MultiRemoveHandle;
    decltype(&curl_multi_perform) MultiPerform;
    decltype(&curl_multi_poll) MultiPoll;
    decltype(&curl_multi_info_read) MultiInfoRead;
    decltype(&curl_multi_strerror) MultiStrerror;
};

// The library, loaded and globally initialised on the first call; throws
// tunrax::Error (German) when it is not installed.
const TCurlLibrary& Curl();

}  // namespace tunrax
