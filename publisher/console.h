#pragma once

#include <cstdint>
#include <string>

// Writes text and a line end to standard output (PrintLine) or standard
// error (PrintError): to a console as UTF-16, to a file or pipe as UTF-8.
void PrintLine(const std::wstring& text);
void PrintError(const std::wstring& text);

// "12.3 MB": bytes in megabytes (10^6) with one decimal.
std::wstring Megabytes(uint64_t bytes);

// Progress of long work on the console: at most a line a second with the
// files and bytes done, of how many, and the rate.
class Progress {
  public:
    Progress(const wchar_t* verb, uint64_t files, uint64_t bytes);
    void AddBytes(uint64_t bytes);
    void FileDone();
    // Seconds since the work began.
    double Seconds() const;

  private:
    void Show();

    const wchar_t* verb_;
    uint64_t totalFiles_;
    uint64_t totalBytes_;
    uint64_t files_ = 0;
    uint64_t bytes_ = 0;
    unsigned long long start_;
    unsigned long long lastShown_;
};
