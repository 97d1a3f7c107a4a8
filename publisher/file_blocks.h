#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "publisher/entry_pipeline.h"
#include "publisher/release_tree.h"

// The block size files are deflated in: a file up to it is deflated whole.
constexpr uint32_t kDeflateBlockSize = 1 << 20;

// The items of the tree at root as archive entries: folders as they are,
// each file deflated in blocks of blockSize bytes. Every block but a file's
// first takes the 32 KiB before it as its dictionary and every block but
// its last ends on a sync flush, so that the blocks joined are one deflate
// stream, nearly as compact as one made in a single pass.
std::vector<PipelineEntry> DeflatedFileEntries(const std::wstring& root,
                                               const std::vector<TreeItem>& items,
                                               uint32_t blockSize = kDeflateBlockSize);
