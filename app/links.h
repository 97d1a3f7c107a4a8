#pragma once

#include <string>

// Web pages the launcher opens in the browser; fixed when the program is built.
std::wstring LoginPageUrl();  // the game web site + "/Login"
std::wstring DiscordInviteUrl();
std::wstring FacebookPageUrl();

// Opens a web address or a file with the program the system associates with it.
void OpenWithShell(const std::wstring& target);
