#pragma once

#include <string>
#include <vector>

// Converts bytes taken as UTF-8 to UTF-16. Invalid sequences are not an
// error: the system substitutes them. An empty input gives an empty output.
std::wstring Utf8ToWide(const std::string& utf8);

// Converts UTF-16 to UTF-8; an empty input or a failed conversion gives "".
std::string WideToUtf8(const std::wstring& wide);

// Lower-cases the ASCII letters A to Z; every other byte stays as it is.
std::string AsciiLower(std::string text);

// Turns an archive entry name into UTF-16: as UTF-8 when the bytes are valid
// UTF-8, else through the system's ANSI code page, else one unit per byte.
std::wstring ArchiveNameToWide(const std::string& bytes);

// Every byte becomes one UTF-16 unit of the same value (Latin-1).
std::wstring BytesToWide(const std::string& bytes);

// Reads hex digits of either case, two per byte; false for anything else
// (an odd count, a blank, a sign).
bool HexToBytes(const std::string& hex, std::vector<unsigned char>& bytes);

// Lower-case hex digits, two per byte.
std::string BytesToHex(const std::vector<unsigned char>& bytes);
