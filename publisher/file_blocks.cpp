#include "publisher/file_blocks.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>

#include "common/win_handle.h"

namespace {

const uint64_t kDictionarySize = 32768;  // deflate's window
const int kMemoryLevel = 8;              // zlib's default

// What a worker keeps from one block to the next, so that a block
// allocates nothing: the compressor and the buffer the block is read into.
class Scratch {
  public:
    Scratch() {
        ready_ = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, kMemoryLevel,
                              Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Scratch() {
        if (ready_) {
            deflateEnd(&stream);
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // The compressor, reset for a new stream; null when it could not start.
    z_stream* Reset() { return ready_ && deflateReset(&stream) == Z_OK ? &stream : nullptr; }

    std::vector<unsigned char> input;

  private:
    z_stream stream = {};
    bool ready_ = false;
};

thread_local Scratch scratch;

bool ReadFailed(const std::wstring& path, std::wstring& error) {
    error = L"Cannot read " + path + L" (Win32 error " + std::to_wstring(GetLastError()) + L").";
    return false;
}

// Reads bytes [offset, offset + length) of the file at path, which
// must still have the size it was listed with.
bool ReadPart(const std::wstring& path, uint64_t size, uint64_t offset, unsigned char* input,
              size_t length, std::wstring& error) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER actual = {};
    if (!file || !GetFileSizeEx(file.get(), &actual)) {
        return ReadFailed(path, error);
    }
    if (static_cast<uint64_t>(actual.QuadPart) != size) {
        error = path + L" changed while it was being zipped.";
        return false;
    }
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) {
        return ReadFailed(path, error);
    }
    for (size_t done = 0; done < length;) {
        DWORD read = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(length - done, 1u << 30));
        if (!ReadFile(file.get(), input + done, wanted, &read, nullptr)) {
            return ReadFailed(path, error);
        }
        if (read == 0) {
            error = path + L" changed while it was being zipped.";
            return false;
        }
        done += read;
    }
    return true;
}

// Deflates bytes [offset, offset + length) of the file, the last block of
// the file when last.
bool DeflateBlock(const std::wstring& path, uint64_t size, uint64_t offset, uint64_t length,
                  bool last, EncodedBlock& block, std::wstring& error) {
    const uint64_t dictionary = std::min(offset, kDictionarySize);
    std::vector<unsigned char>& input = scratch.input;
    input.resize(std::max(input.size(), static_cast<size_t>(dictionary + length)));
    if (!ReadPart(path, size, offset - dictionary, input.data(),
                  static_cast<size_t>(dictionary + length), error)) {
        return false;
    }
    unsigned char* const data = input.data() + dictionary;
    block.length = length;
    block.crc = static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(length)));
    z_stream* const compressor = scratch.Reset();
    if (compressor == nullptr ||
        (dictionary > 0 &&
         deflateSetDictionary(compressor, input.data(), static_cast<uInt>(dictionary)) != Z_OK)) {
        error = L"The compressor could not start.";
        return false;
    }
    z_stream& stream = *compressor;
    // Room for the whole block at once, and for the sync flush's marker.
    block.bytes.resize(deflateBound(&stream, static_cast<uLong>(length)) + 16);
    stream.next_in = data;
    stream.avail_in = static_cast<uInt>(length);
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(&block.bytes[stream.total_out]);
        stream.avail_out = static_cast<uInt>(block.bytes.size() - stream.total_out);
        const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
            error = L"The compressor failed on " + path + L".";
            return false;
        }
        if (last ? result == Z_STREAM_END : stream.avail_out != 0) {
            break;
        }
        block.bytes.resize(block.bytes.size() * 2);
    }
    block.bytes.resize(stream.total_out);
    return true;
}

}  // namespace

std::vector<PipelineEntry> DeflatedFileEntries(const std::wstring& root,
                                               const std::vector<TreeItem>& items,
                                               uint32_t blockSize) {
    std::vector<PipelineEntry> entries(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        const TreeItem& item = items[i];
        PipelineEntry& entry = entries[i];
        entry.header.name = EntryName(item);
        entry.header.written = item.written;
        entry.header.large = item.size >= kLargeEntrySize;
        entry.folder = item.folder;
        if (item.folder) {
            continue;
        }
        entry.blocks = std::max<uint64_t>((item.size + blockSize - 1) / blockSize, 1);
        const std::wstring path = ItemPath(root, item);
        const uint64_t size = item.size;
        entry.encode = [path, size, blockSize, blocks = entry.blocks](
                           size_t index, EncodedBlock& block, std::wstring& error) {
            const uint64_t offset = uint64_t{index} * blockSize;
            const uint64_t length = std::min<uint64_t>(blockSize, size - offset);
            return DeflateBlock(path, size, offset, length, index + 1 == blocks, block, error);
        };
    }
    return entries;
}
