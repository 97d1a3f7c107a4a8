#pragma once

#include <string>

// "verify": checks everything the launcher relies on in an update folder and
// prints a line per package. kPublishOk when all holds, kPublishFailed
// otherwise.
int VerifyUpdateFolder(const std::wstring& updateFolder);
