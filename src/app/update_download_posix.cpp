// The update download through libcurl.
#include "app/update_download.h"

#include <curl/curl.h>

#include "base/debug_log.h"

namespace {

struct download {
    std::string *body;
    bool too_large;
};

// libcurl's write function: appends to the body. Answering fewer bytes than
// offered makes libcurl stop with an error.
size_t write_callback(char *data, size_t size, size_t count, void *user)
{
    download *d = (download *)user;
    size_t n = size * count;
    if (n > UPDATE_MAX_SIZE - d->body->size()) {
        d->too_large = true;
        return 0;
    }
    d->body->append(data, n);
    return n;
}

}  // namespace

int download_update_file(const char *url, std::string *body)
{
    body->clear();
    CURL *curl = curl_easy_init();
    if (!curl)
        return 1;
    debug_log("Curl init successful.");
    download d = {body, false};
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
    // Any status of 400 or above is an error, not a body.
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, write_callback);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &d);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, (long)UPDATE_CONNECT_TIMEOUT);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, (long)UPDATE_TOTAL_TIMEOUT);
    CURLcode result = curl_easy_perform(curl);
    // Nor is anything but a 2xx, a redirection included, the version file.
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    if (result == CURLE_OK && status / 100 == 2) {
        debug_log("Got file successfully");
        return 0;
    }
    debug_log("Error obtaining update file!");
    if (d.too_large)
        debug_log(" The update file is larger than %d bytes.", (int)UPDATE_MAX_SIZE);
    body->clear();
    return 1;
}
