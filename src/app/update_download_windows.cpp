// The update download through WinHTTP, which checks https certificates
// against the system's trusted roots as libcurl does on Linux.
#include "app/update_download.h"

#include <windows.h>
#include <winhttp.h>

#include "base/debug_log.h"
#include "base/utf16.h"

namespace {

// The handles of one download, closed innermost first however it ends.
struct winhttp_handles {
    HINTERNET session = nullptr, connection = nullptr, request = nullptr;
    ~winhttp_handles()
    {
        if (request)
            WinHttpCloseHandle(request);
        if (connection)
            WinHttpCloseHandle(connection);
        if (session)
            WinHttpCloseHandle(session);
    }
};

// Logs the call that failed with its error code (read before logging can
// change it), empties the body and returns 1 for the caller to return.
int failed(const char *call, std::string *body)
{
    DWORD error = GetLastError();
    body->clear();
    debug_log("Error obtaining update file!");
    debug_log(" %s failed with error %lu.", call, (unsigned long)error);
    return 1;
}

// WinHTTP has no limit on the whole download, only on each wait; every wait
// (the response's headers have a limit of their own) is limited to what is
// left of the total, so the download ends in time. False once nothing is left.
bool limit_waits(HINTERNET request, ULONGLONG deadline)
{
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
        SetLastError(ERROR_WINHTTP_TIMEOUT);
        return false;
    }
    DWORD left = (DWORD)(deadline - now);
    DWORD connect = left < UPDATE_CONNECT_TIMEOUT * 1000u ? left : UPDATE_CONNECT_TIMEOUT * 1000u;
    return WinHttpSetTimeouts(request, connect, connect, left, left) &&
           WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &left, sizeof left);
}

}  // namespace

int download_update_file(const char *url, std::string *body)
{
    body->clear();
    ULONGLONG deadline = GetTickCount64() + UPDATE_TOTAL_TIMEOUT * 1000ull;
    std::wstring wide_url = utf16_from_utf8(url);
    // Nonzero lengths with null pointers ask for pointers into wide_url.
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = (DWORD)-1;
    if (wide_url.empty() || !WinHttpCrackUrl(wide_url.c_str(), 0, 0, &parts))
        return failed("WinHttpCrackUrl", body);
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    // The query, if any, follows the path in the same string.
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength + parts.dwExtraInfoLength);
    DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;

    winhttp_handles h;
    h.session = WinHttpOpen(L"qte-update-check", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
    if (!h.session)
        return failed("WinHttpOpen", body);
    h.connection = WinHttpConnect(h.session, host.c_str(), parts.nPort, 0);
    if (!h.connection)
        return failed("WinHttpConnect", body);
    h.request = WinHttpOpenRequest(h.connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                   WINHTTP_DEFAULT_ACCEPT_TYPES, secure);
    if (!h.request)
        return failed("WinHttpOpenRequest", body);
    // A redirection is a failed check, as it is for libcurl on Linux, not a
    // file fetched from wherever it points.
    DWORD no_redirects = WINHTTP_DISABLE_REDIRECTS;
    if (!WinHttpSetOption(h.request, WINHTTP_OPTION_DISABLE_FEATURE, &no_redirects, sizeof no_redirects))
        return failed("WinHttpSetOption", body);
    if (!limit_waits(h.request, deadline) ||
        !WinHttpSendRequest(h.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        return failed("WinHttpSendRequest", body);
    if (!limit_waits(h.request, deadline) || !WinHttpReceiveResponse(h.request, nullptr))
        return failed("WinHttpReceiveResponse", body);
    DWORD status = 0, status_size = sizeof status;
    if (!WinHttpQueryHeaders(h.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &status_size, WINHTTP_NO_HEADER_INDEX))
        return failed("WinHttpQueryHeaders", body);
    if (status / 100 != 2) {
        debug_log("Error obtaining update file!");
        debug_log(" The server answered with status %lu.", (unsigned long)status);
        return 1;
    }
    // Read what has arrived until WinHTTP reports the end with 0 bytes,
    // refusing the file as soon as it passes the limit. Asking for more than
    // has arrived could wait for it past the deadline.
    DWORD available = 0;
    do {
        if (!limit_waits(h.request, deadline) || !WinHttpQueryDataAvailable(h.request, &available))
            return failed("WinHttpQueryDataAvailable", body);
        if (available > UPDATE_MAX_SIZE - body->size()) {
            body->clear();
            debug_log("Error obtaining update file!");
            debug_log(" The update file is larger than %d bytes.", (int)UPDATE_MAX_SIZE);
            return 1;
        }
        size_t old_size = body->size();
        body->resize(old_size + available);
        DWORD got = 0;
        if (available > 0 && !WinHttpReadData(h.request, &(*body)[old_size], available, &got))
            return failed("WinHttpReadData", body);
        body->resize(old_size + got);
    } while (available > 0);
    debug_log("Got file successfully");
    return 0;
}
