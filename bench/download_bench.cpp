// Downloads one URL to a file and prints how long the transfer took and the
// process's peak working set, either through Updater::DownloadFile or through
// the barest WinHTTP read loop (the least any WinHTTP client has to do).
//
//   download_bench.exe updater URL TARGET
//   download_bench.exe hashed URL TARGET SHA256   (DownloadFile checking the hash)
//   download_bench.exe bare URL TARGET
// Output: "seconds=<s> bytes=<n> peak_working_set=<bytes> status_texts=<n>"

#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/http_request.h"
#include "common/text.h"
#include "common/win_handle.h"
#include "updater/updater.h"
#include "updater/url_split.h"

namespace {

// Query, read, write, flush, move: no progress texts, no diary.
bool BareDownload(const std::wstring& url, const std::wstring& target) {
    UrlParts parts;
    if (!SplitUrl(url, parts)) {
        return false;
    }
    HttpGetRequest http;
    if (!http.Open(L"bench", parts.host, parts.port, parts.path, 0) || !http.SendAndReceive()) {
        return false;
    }
    const std::wstring temp = target + L".download";
    UniqueFile file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    std::vector<char> buffer(1048576);
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(http.request.get(), &available)) {
            return false;
        }
        if (available == 0) {
            break;
        }
        DWORD read = 0;
        if (!WinHttpReadData(http.request.get(), buffer.data(),
                             available < buffer.size() ? available : buffer.size(), &read)) {
            return false;
        }
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read) {
            return false;
        }
    }
    if (!FlushFileBuffers(file.get())) {
        return false;
    }
    file.reset();
    return MoveFileExW(temp.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (argc != (mode == L"hashed" ? 5 : 4)) {
        std::fprintf(stderr,
                     "usage: download_bench updater|bare URL TARGET | hashed URL TARGET SHA256\n");
        return 2;
    }
    const std::wstring url = argv[2];
    const std::wstring target = argv[3];

    size_t statusTexts = 0;
    std::wstring lastStatus;
    bool ok = false;
    const auto start = std::chrono::steady_clock::now();
    if (mode == L"updater" || mode == L"hashed") {
        Updater updater;
        // Like the launcher, every text is copied for hand-over to the window.
        updater.onStatus = [&](const std::wstring& text) {
            lastStatus = text;
            ++statusTexts;
        };
        ok = updater.DownloadFile(url, target, mode == L"hashed" ? WideToUtf8(argv[4]) : "");
    } else if (mode == L"bare") {
        ok = BareDownload(url, target);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) {
        std::fprintf(stderr, "download failed\n");
        return 1;
    }

    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data);
    const unsigned long long bytes =
        (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    std::printf("seconds=%.4f bytes=%llu peak_working_set=%llu status_texts=%llu\n", seconds, bytes,
                static_cast<unsigned long long>(counters.PeakWorkingSetSize),
                static_cast<unsigned long long>(statusTexts));
    return 0;
}
