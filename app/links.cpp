#include "app/links.h"

#include <windows.h>
#include <shellapi.h>

#include "app_links_config.h"
#include "common/site.h"

std::wstring LoginPageUrl() {
    return std::wstring(GameSiteUrl()) + L"/Login";
}

std::wstring DiscordInviteUrl() {
    return VANTORA_DISCORD_URL;
}

std::wstring FacebookPageUrl() {
    return VANTORA_FACEBOOK_URL;
}

void OpenWithShell(const std::wstring& target) {
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
