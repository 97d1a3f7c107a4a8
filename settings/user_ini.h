#pragma once

#include <functional>
#include <string>

// The per-user setup.ini lives in %LOCALAPPDATA%\VantoraOnline; older
// installations kept it beside the launcher (the legacy setup.ini).

// Returns the folder that holds the per-user setup.ini, without a trailing
// backslash, or "" when it cannot be resolved.
using UserFolderFunction = std::function<std::wstring()>;

// The shell's local application-data folder + "\VantoraOnline"; "" when the
// shell cannot tell the folder.
std::wstring GetUserDataFolder();

// userFolder() + "\setup.ini"; "" when the folder is "".
std::wstring GetUserSetupIniPath(const UserFolderFunction& userFolder = GetUserDataFolder);

// Makes sure the per-user setup.ini exists and holds every known key: creates
// its folder, copies the legacy file there the first time (it is never
// overwritten), then writes the default of every known key that is missing.
// Values already present, empty ones included, and unknown keys stay as they
// are. legacyIniPath may be "" (no migration). On false, *error (when given)
// receives a sentence for the user; on true it is left alone.
bool EnsureUserSetupIni(const std::wstring& legacyIniPath, std::wstring* error = nullptr,
                        const UserFolderFunction& userFolder = GetUserDataFolder);
