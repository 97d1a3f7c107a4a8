#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Reads the whole file at path into bytes. False when it cannot be opened or
// read, or when it holds more than limit bytes; error then holds the system
// error (ERROR_FILE_TOO_LARGE for the limit).
bool ReadFileBytes(const std::wstring& path, std::string& bytes, size_t limit, DWORD& error);
bool ReadFileBytes(const std::wstring& path, std::string& bytes, size_t limit = 1u << 30);
