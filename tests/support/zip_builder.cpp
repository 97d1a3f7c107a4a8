#include "tests/support/zip_builder.h"

#include <zlib.h>

#include <algorithm>

#include "common/sha256.h"
#include "tests/support/temp_folder.h"
#include "updater/delta_frame.h"
#include "updater/delta_header.h"

namespace {

void Put16(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// The fields a local header and a central directory record share.
struct EntryHeader {
    std::string name;
    uint16_t madeBy = 20;
    uint16_t method = 8;
    uint16_t dosTime = 0x6000;
    uint16_t dosDate = 0x5A21;
    uint32_t crc = 0;
    uint32_t storedSize = 0;
    uint32_t size = 0;
    uint32_t attributes = 0x20;
    uint32_t offset = 0;  // of the local header
    std::string comment;  // central record only
};

// The fields a local header and a central record share, from the version
// needed to extract to the extra field's length (none).
void PutSharedFields(std::string& out, const EntryHeader& entry) {
    Put16(out, 20);
    Put16(out, 0x0800);  // names are UTF-8
    Put16(out, entry.method);
    Put16(out, entry.dosTime);
    Put16(out, entry.dosDate);
    Put32(out, entry.crc);
    Put32(out, entry.storedSize);
    Put32(out, entry.size);
    Put16(out, static_cast<uint32_t>(entry.name.size()));
    Put16(out, 0);
}

void PutLocalHeader(std::string& out, const EntryHeader& entry) {
    Put32(out, 0x04034b50);
    PutSharedFields(out, entry);
    out += entry.name;
}

void PutCentralRecord(std::string& out, const EntryHeader& entry) {
    Put32(out, 0x02014b50);
    Put16(out, entry.madeBy);
    PutSharedFields(out, entry);
    Put16(out, static_cast<uint32_t>(entry.comment.size()));
    Put16(out, 0);  // disk number
    Put16(out, 0);  // internal attributes
    Put32(out, entry.attributes);
    Put32(out, entry.offset);
    out += entry.name;
    out += entry.comment;
}

void Put64(std::string& out, uint64_t value) {
    Put32(out, static_cast<uint32_t>(value));
    Put32(out, static_cast<uint32_t>(value >> 32));
}

// Appends the central directory and the end record to the entries in out;
// with claimed, ZIP64 end records that give that entry count instead.
void PutDirectory(std::string& out, const std::string& central, size_t entries,
                  uint64_t claimed = 0) {
    const uint32_t centralOffset = static_cast<uint32_t>(out.size());
    out += central;
    if (claimed != 0) {
        const uint64_t recordOffset = out.size();
        Put32(out, 0x06064b50);
        Put64(out, 44);  // the size of the rest of this record
        Put32(out, 45 << 16 | 45);
        Put64(out, 0);  // disk numbers
        Put64(out, claimed);
        Put64(out, claimed);
        Put64(out, central.size());
        Put64(out, centralOffset);
        Put32(out, 0x07064b50);
        Put32(out, 0);
        Put64(out, recordOffset);
        Put32(out, 1);
        entries = 0xFFFF;
    }
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(entries));
    Put16(out, static_cast<uint32_t>(entries));
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, centralOffset);
    Put16(out, 0);
}

std::string RawDeflate(const std::string& data) {
    z_stream stream = {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

}  // namespace

ZipBuilder& ZipBuilder::AddFile(const std::string& name, const std::string& data) {
    Entry entry;
    entry.name = name;
    entry.data = data;
    return Add(entry);
}

ZipBuilder& ZipBuilder::AddFolder(const std::string& name) {
    Entry entry;
    entry.name = name;
    entry.deflate = false;
    entry.directoryAttribute = true;
    return Add(entry);
}

ZipBuilder& ZipBuilder::Add(const Entry& entry) {
    entries_.push_back(entry);
    return *this;
}

std::string ZipBuilder::Build() const {
    std::string out;
    std::string central;
    for (const Entry& entry : entries_) {
        const std::string stored = entry.deflate ? RawDeflate(entry.data) : entry.data;
        EntryHeader header;
        header.name = entry.name;
        header.madeBy = entry.madeBy;
        header.method = entry.deflate ? 8 : 0;
        header.dosTime = entry.dosTime;
        header.dosDate = entry.dosDate;
        header.crc =
            static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                        static_cast<uInt>(entry.data.size())));
        header.storedSize = static_cast<uint32_t>(stored.size());
        header.size = static_cast<uint32_t>(entry.data.size());
        header.attributes = (entry.directoryAttribute ? 0x10 : 0x20) | entry.extraAttributes;
        header.offset = static_cast<uint32_t>(out.size());
        header.comment = entry.comment;
        PutLocalHeader(out, header);
        out += stored;
        PutCentralRecord(central, header);
    }
    PutDirectory(out, central, entries_.size(), claimedEntries_);
    return out;
}

bool ZipBuilder::WriteTo(const std::wstring& path) const {
    return WriteBytes(path, Build());
}

bool WriteZeroFilledEntryArchive(const std::wstring& path, const std::string& name, uint32_t size) {
    const std::string zeros(1024 * 1024, '\0');
    z_stream stream = {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string compressed;
    uLong crc = crc32(0, nullptr, 0);
    char out[65536];
    for (uint32_t done = 0; done < size || stream.avail_in > 0;) {
        if (stream.avail_in == 0 && done < size) {
            const uint32_t piece = std::min<uint32_t>(size - done, zeros.size());
            crc = crc32(crc, reinterpret_cast<const Bytef*>(zeros.data()), piece);
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
            stream.avail_in = piece;
            done += piece;
        }
        stream.next_out = reinterpret_cast<Bytef*>(out);
        stream.avail_out = sizeof(out);
        deflate(&stream, Z_NO_FLUSH);
        compressed.append(out, sizeof(out) - stream.avail_out);
    }
    int result = Z_OK;
    while (result != Z_STREAM_END) {
        stream.next_out = reinterpret_cast<Bytef*>(out);
        stream.avail_out = sizeof(out);
        result = deflate(&stream, Z_FINISH);
        compressed.append(out, sizeof(out) - stream.avail_out);
    }
    deflateEnd(&stream);

    EntryHeader header;
    header.name = name;
    header.crc = static_cast<uint32_t>(crc);
    header.storedSize = static_cast<uint32_t>(compressed.size());
    header.size = size;
    std::string archive;
    PutLocalHeader(archive, header);
    archive += compressed;
    std::string central;
    PutCentralRecord(central, header);
    PutDirectory(archive, central, 1);
    return WriteBytes(path, archive);
}

ZipBuilder::Entry DifferenceEntry(const std::string& name, const std::string& base,
                                  const std::string& result) {
    ZipBuilder::Entry entry;
    entry.name = name;
    entry.deflate = false;
    MakeDeltaFrame(reinterpret_cast<const unsigned char*>(base.data()), base.size(),
                   reinterpret_cast<const unsigned char*>(result.data()), result.size(),
                   result.size() + 1024, 2, entry.data);
    entry.comment =
        DeltaHeaderText({base.size(), Sha256HexOf(base), result.size(), Sha256HexOf(result)});
    return entry;
}
