#pragma once

#include <string>

// Copies the files directly inside sourceFolder into destinationFolder with
// one silent shell copy, replacing files of the same name; subfolders are
// not descended into. True when the shell reports success.
bool CopyFolderContents(const std::wstring& sourceFolder, const std::wstring& destinationFolder);
