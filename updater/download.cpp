#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <memory>
#include <vector>

#include "common/http_request.h"
#include "common/sha256.h"
#include "common/text.h"
#include "common/win_handle.h"
#include "common/update_log.h"
#include "updater/updater.h"
#include "updater/url_split.h"

namespace {

const wchar_t kUserAgent[] = L"VantoraUpdater/1.0";
const DWORD kMaxReadSize = 1048576;

}  // namespace

std::wstring DownloadProgressText(uint64_t received, uint64_t expected, double elapsedSeconds) {
    const uint64_t percent = received * 100 / expected;
    // A transfer that ends within the clock's resolution counts one second.
    const double elapsed = elapsedSeconds > 0 ? elapsedSeconds : 1.0;
    const double speed = static_cast<double>(received) / 1024.0 / elapsed;
    wchar_t text[256];
    _snwprintf(text, 255, L"Downloading... %d%% (%.1f KB/s)", static_cast<int>(percent), speed);
    text[255] = L'\0';
    return text;
}

bool Updater::DownloadFile(const std::wstring& url, const std::wstring& targetPath,
                           const std::string& expectedSha256) {
    LogUpdate(L"Download start: %s -> %s", url.c_str(), targetPath.c_str());

    UrlParts parts;
    if (!SplitUrl(url, parts)) {
        return false;
    }

    HttpGetRequest http;
    if (!http.Open(kUserAgent, parts.host, parts.port, parts.path,
                   parts.secure ? WINHTTP_FLAG_SECURE : 0)) {
        return false;
    }
    if (!http.SendAndReceive()) {
        LogUpdate(L"ReceiveResponse failed. Win32=%lu", GetLastError());
        return false;
    }
    DWORD status = 0;
    if (!http.QueryStatus(status)) {
        status = 0;
    }
    if (status < 200 || status > 299) {
        LogUpdate(L"Download returned HTTP status %lu", status);
        return false;
    }

    // The body goes to a temporary file next to the target; only a complete,
    // flushed and size-checked body replaces the target.
    // A new file: whatever lies at that name (a link left there) goes first,
    // and nothing is ever written through it.
    const std::wstring tempPath = targetPath + L".download";
    DeleteFileW(tempPath.c_str());
    UniqueFile file(CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        LogUpdate(L"Could not open download target. Win32=%lu", GetLastError());
        return false;
    }

    uint64_t expected = 0;
    const bool hasLength = QueryLenientContentLength(http.request.get(), expected);
    const bool reportProgress = hasLength && expected != 0;

    // The body is hashed as it arrives, on a helper thread, so that the
    // check costs neither a second read nor time between network reads.
    std::unique_ptr<BackgroundSha256> hash;
    if (!expectedSha256.empty()) {
        hash.reset(new BackgroundSha256());
    }
    uint64_t received = 0;
    std::vector<char> buffer;  // grows to the largest read, once
    const auto start = std::chrono::steady_clock::now();
    bool complete = false;
    bool flushed = false;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(http.request.get(), &available)) {
            break;
        }
        if (available == 0) {
            complete = true;
            break;
        }
        const DWORD wanted = std::min(available, kMaxReadSize);
        if (buffer.size() < wanted) {
            buffer.resize(wanted);
        }
        DWORD read = 0;
        if (!WinHttpReadData(http.request.get(), buffer.data(), wanted, &read)) {
            break;
        }
        if (read > 0) {
            DWORD written = 0;
            if (!WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read) {
                LogUpdate(L"Writing download failed. Win32=%lu Written=%lu Expected=%lu",
                          GetLastError(), written, read);
                break;
            }
            if (hash) {
                hash->Update(buffer.data(), read);
            }
        }
        received += read;
        if (reportProgress) {
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            ReportStatus(DownloadProgressText(received, expected, elapsed));
        }
    }

    if (complete) {
        if (FlushFileBuffers(file.get())) {
            flushed = true;
        } else {
            LogUpdate(L"FlushFileBuffers failed. Win32=%lu", GetLastError());
        }
    }
    file.reset();
    LogUpdate(L"Download finished. Bytes=%llu", received);
    if (!flushed) {
        DeleteFileW(tempPath.c_str());
        return false;
    }
    if (hasLength && expected != 0 && received != expected) {
        LogUpdate(L"Download size mismatch. Expected=%llu Received=%llu", expected, received);
        DeleteFileW(tempPath.c_str());
        return false;
    }
    if (hash) {
        const std::string actual = hash->FinishHex();
        if (AsciiLower(expectedSha256) != actual) {
            LogUpdate(L"Download hash mismatch. Expected=%S Actual=%S", expectedSha256.c_str(),
                      actual.c_str());
            DeleteFileW(tempPath.c_str());
            return false;
        }
    }
    if (!MoveFileExW(tempPath.c_str(), targetPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        LogUpdate(L"Could not finalize download. Win32=%lu", GetLastError());
        DeleteFileW(tempPath.c_str());
        return false;
    }
    return true;
}
