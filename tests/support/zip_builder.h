#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds zip archives byte by byte for tests, so that names, times, methods
// and damage are under the test's control.
class ZipBuilder {
  public:
    struct Entry {
        std::string name;  // stored name bytes, as they go into the archive
        std::string data;
        bool deflate = true;
        bool directoryAttribute = false;  // DOS directory bit in the external attributes
        uint16_t madeBy = 20;             // host in the high byte: 0 MS-DOS, 3 Unix
        uint32_t extraAttributes = 0;     // ORed into the external attributes
        uint16_t dosTime = 0x6000;        // 12:00:00
        uint16_t dosDate = 0x5A21;        // 2025-01-01
        std::string comment;              // in the central directory record
    };

    ZipBuilder& AddFile(const std::string& name, const std::string& data);
    ZipBuilder& AddFolder(const std::string& name);  // name should end with "/"
    ZipBuilder& Add(const Entry& entry);
    // The end records, in ZIP64 form, claim count entries whatever the
    // archive holds.
    ZipBuilder& ClaimEntries(uint64_t count) {
        claimedEntries_ = count;
        return *this;
    }

    // The complete archive.
    std::string Build() const;
    // Writes Build() to a file; false on failure.
    bool WriteTo(const std::wstring& path) const;

  private:
    std::vector<Entry> entries_;
    uint64_t claimedEntries_ = 0;
};

// Writes an archive with one deflated entry of `size` zero bytes, compressing
// in pieces, so that neither the test nor the archive holds the entry whole.
bool WriteZeroFilledEntryArchive(const std::wstring& path, const std::string& name, uint32_t size);

// The entry of an archive of differences that turns base into result under
// name, as the publisher stores it (a zstd frame with its header comment).
ZipBuilder::Entry DifferenceEntry(const std::string& name, const std::string& base,
                                  const std::string& result);
