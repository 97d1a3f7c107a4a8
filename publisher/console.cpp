#include "publisher/console.h"

#include <windows.h>

#include <cwchar>

#include "common/text.h"

namespace {

const unsigned long long kShowEveryMs = 1000;

void Print(DWORD which, const std::wstring& text) {
    const HANDLE out = GetStdHandle(which);
    const std::wstring line = text + L"\n";
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const std::string bytes = WideToUtf8(line);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void PrintLine(const std::wstring& text) {
    Print(STD_OUTPUT_HANDLE, text);
}

void PrintError(const std::wstring& text) {
    Print(STD_ERROR_HANDLE, text);
}

std::wstring Megabytes(uint64_t bytes) {
    wchar_t text[64];
    _snwprintf(text, 63, L"%.1f MB", static_cast<double>(bytes) / 1e6);
    text[63] = L'\0';
    return text;
}

Progress::Progress(const wchar_t* verb, uint64_t files, uint64_t bytes)
    : verb_(verb),
      totalFiles_(files),
      totalBytes_(bytes),
      start_(GetTickCount64()),
      lastShown_(start_) {}

void Progress::AddBytes(uint64_t bytes) {
    bytes_ += bytes;
    if (GetTickCount64() - lastShown_ >= kShowEveryMs) {
        Show();
    }
}

void Progress::FileDone() {
    ++files_;
    if (GetTickCount64() - lastShown_ >= kShowEveryMs) {
        Show();
    }
}

double Progress::Seconds() const {
    return static_cast<double>(GetTickCount64() - start_) / 1000.0;
}

void Progress::Show() {
    lastShown_ = GetTickCount64();
    const double seconds = Seconds();
    wchar_t rate[64];
    _snwprintf(rate, 63, L"%.1f MB/s",
               seconds > 0 ? static_cast<double>(bytes_) / 1e6 / seconds : 0.0);
    rate[63] = L'\0';
    PrintLine(std::wstring(L"  ") + verb_ + L" " + std::to_wstring(files_) + L" of " +
              std::to_wstring(totalFiles_) + L" files, " + Megabytes(bytes_) + L" of " +
              Megabytes(totalBytes_) + L", " + rate);
}
