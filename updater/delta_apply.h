#pragma once

#include "updater/archive_plan.h"
#include "updater/zip_reader.h"

// Applies the difference of a planned entry (see delta_header.h) to the file
// at its target, with reader over the archive. The target must hold either
// the file the difference was made from (its size and SHA-256), which is
// then replaced through a scratch file by the result once the result's
// SHA-256 holds, or already the result (an earlier run wrote it and was
// stopped before the stamp moved on), which stays. The old file and the
// result are mapped, never read into memory. kZipOk, or the ZipError that
// tells why the target keeps its bytes: kZipBaseMismatch for any other
// file, kZipDifferenceDamaged for a difference that does not give the
// result, kZipUnsupportedEntry for a header this program cannot read or a
// difference for a file other than a game file (launcher programs go whole).
// With helperThread, the old file is hashed on a thread of its own while
// the difference is decoded; without it, only the calling thread works.
int ApplyDeltaEntry(ZipReader& reader, const PlannedEntry& entry, bool helperThread);
