#include <windows.h>

#include <ioapi.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "common/win_handle.h"
#include "updater/zip_reader_io.h"

namespace {

const size_t kBufferSize = 64 * 1024;

// An archive file opened for reading, with the bytes of one window of it.
struct BufferedFile {
    UniqueFile file;
    uint64_t size = 0;
    uint64_t position = 0;     // where the next read starts
    uint64_t bufferStart = 0;  // file offset of buffer[0]
    size_t bufferLength = 0;   // valid bytes in buffer
    bool failed = false;
    std::vector<char> buffer;
};

// Reads at offset. The file pointer is moved first rather than handing the
// offset over in an OVERLAPPED record: for that, Wine queues a completion on
// every read, one round trip to its server each.
DWORD ReadAt(BufferedFile& stream, uint64_t offset, void* target, DWORD size) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    if (!SetFilePointerEx(stream.file.get(), at, nullptr, FILE_BEGIN) ||
        !ReadFile(stream.file.get(), target, size, &read, nullptr)) {
        stream.failed = true;
        return 0;
    }
    return read;
}

voidpf ZCALLBACK OpenFile(voidpf, const void* filename, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ ||
        filename == nullptr) {
        return nullptr;
    }
    UniqueFile file(CreateFileW(static_cast<const wchar_t*>(filename), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        return nullptr;
    }
    BufferedFile* stream = new BufferedFile;
    stream->file = std::move(file);
    stream->size = static_cast<uint64_t>(size.QuadPart);
    stream->buffer.resize(kBufferSize);
    return stream;
}

uLong ZCALLBACK ReadFileBlock(voidpf, voidpf opaque, void* target, uLong size) {
    BufferedFile& stream = *static_cast<BufferedFile*>(opaque);
    char* out = static_cast<char*>(target);
    uLong copied = 0;
    while (copied < size) {
        const uint64_t bufferEnd = stream.bufferStart + stream.bufferLength;
        if (stream.position >= stream.bufferStart && stream.position < bufferEnd) {
            const size_t offset = static_cast<size_t>(stream.position - stream.bufferStart);
            const size_t available = stream.bufferLength - offset;
            const size_t take = available < size - copied ? available : size - copied;
            std::memcpy(out + copied, stream.buffer.data() + offset, take);
            copied += static_cast<uLong>(take);
            stream.position += take;
            continue;
        }
        const uLong remaining = size - copied;
        if (remaining >= kBufferSize) {
            // Large reads go straight to the caller's memory.
            const DWORD read = ReadAt(stream, stream.position, out + copied, remaining);
            copied += read;
            stream.position += read;
            break;
        }
        const DWORD read = ReadAt(stream, stream.position, stream.buffer.data(), kBufferSize);
        stream.bufferStart = stream.position;
        stream.bufferLength = read;
        if (read == 0) {
            break;
        }
    }
    return copied;
}

uLong ZCALLBACK WriteFileBlock(voidpf, voidpf, const void*, uLong) {
    return 0;  // archives are only read
}

ZPOS64_T ZCALLBACK TellFile(voidpf, voidpf opaque) {
    return static_cast<BufferedFile*>(opaque)->position;
}

long ZCALLBACK SeekFile(voidpf, voidpf opaque, ZPOS64_T offset, int origin) {
    BufferedFile& stream = *static_cast<BufferedFile*>(opaque);
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            stream.position = offset;
            return 0;
        case ZLIB_FILEFUNC_SEEK_CUR:
            stream.position += offset;
            return 0;
        case ZLIB_FILEFUNC_SEEK_END:
            stream.position = stream.size + offset;
            return 0;
        default:
            return -1;
    }
}

int ZCALLBACK CloseFile(voidpf, voidpf opaque) {
    delete static_cast<BufferedFile*>(opaque);
    return 0;
}

int ZCALLBACK TestError(voidpf, voidpf opaque) {
    return static_cast<BufferedFile*>(opaque)->failed ? 1 : 0;
}

}  // namespace

void FillBufferedReadFunctions(zlib_filefunc64_def& functions) {
    functions.zopen64_file = OpenFile;
    functions.zread_file = ReadFileBlock;
    functions.zwrite_file = WriteFileBlock;
    functions.ztell64_file = TellFile;
    functions.zseek64_file = SeekFile;
    functions.zclose_file = CloseFile;
    functions.zerror_file = TestError;
    functions.opaque = nullptr;
}
