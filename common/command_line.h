#pragma once

#include <string>

// Quoting of arguments for the command lines the launcher builds.

// A double quote, text with a backslash before every double quote in it, and
// a closing double quote. Other backslashes are left as they are.
std::wstring QuoteArgument(const std::wstring& text);

// A single quote, text with every single quote doubled, and a closing single
// quote (a PowerShell literal string). The typographic single quotes U+2018
// to U+201B, which PowerShell also takes as quotes, are doubled as well.
std::wstring QuotePowerShellLiteral(const std::wstring& text);
