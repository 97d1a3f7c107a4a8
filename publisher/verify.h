#pragma once

#include <string>
#include <vector>

#include "common/ecdsa_p256.h"

// "verify": checks everything the launcher relies on in an update folder and
// prints a line per package. With public keys, as a launcher holding them
// does, also the signature (a line of its own) and that every package has
// "sha256". kPublishOk when all holds, kPublishFailed otherwise.
int VerifyUpdateFolder(const std::wstring& updateFolder, const std::vector<ByteString>& keys);
