#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "publisher/entry_pipeline.h"
#include "publisher/file_blocks.h"
#include "tests/support/temp_folder.h"
#include "updater/zip_reader.h"

TEST(EntryPipeline, WritesBlocksAndSmallFilesInOrderAsTheLauncherReadsThem) {
    TempFolder work(L" pipeline");
    const std::wstring root = work.Child(L"tree");
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\small").c_str(), nullptr));
    // A file of some 24 blocks whose lines repeat across block ends, then
    // many small files, one of them empty.
    std::map<std::string, std::string> files;
    std::string& big = files["big.dat"];
    for (uint32_t seed = 1; big.size() < 24 * 65536 + 123;) {
        seed = seed * 1103515245u + 12345u;
        big += "line " + std::to_string(seed % 5000) + " of the map\n";
    }
    for (int i = 0; i < 200; ++i) {
        files["small/f" + std::to_string(i) + ".dat"] = std::string(i * 37 % 500, 'a' + i % 26);
    }
    for (const auto& file : files) {
        ASSERT_TRUE(WriteBytes(root + L"\\" + Utf8ToWide(file.first), file.second));
    }
    std::vector<TreeItem> items;
    std::wstring error;
    ASSERT_TRUE(ListTree(root, items, error));
    std::vector<PipelineEntry> entries = DeflatedFileEntries(root, items, 65536);
    // Bytes encoded elsewhere go through the same pipeline, stored.
    PipelineEntry stored;
    stored.header.name = "stored.bin";
    stored.header.method = ZipMethod::kStored;
    stored.header.comment = "what the stored bytes are";
    stored.blocks = 1;
    stored.encode = [](size_t, EncodedBlock& block, std::wstring&) {
        block.bytes = "kept as it is";
        block.length = block.bytes.size();
        block.crc = crc32(0, reinterpret_cast<const Bytef*>(block.bytes.data()), 13);
        return true;
    };
    entries.push_back(stored);
    files["stored.bin"] = "kept as it is";

    const std::wstring archive = work.Child(L"out.zip");
    uint64_t written = 0;
    std::vector<size_t> finished;
    {
        ZipWriter zip;
        ASSERT_TRUE(zip.Create(archive));
        PipelineOptions options;
        options.threads = 4;
        options.blocksPerThread = 2;
        ASSERT_TRUE(WriteEntries(
            zip, entries, options, error, [&](uint64_t length) { written += length; },
            [&](size_t entry) { finished.push_back(entry); }))
            << WideToUtf8(error);
        ASSERT_TRUE(zip.Close());
    }
    uint64_t total = 0;
    std::vector<size_t> fileEntries;
    ZipReader reader;
    ASSERT_TRUE(reader.Open(WideToUtf8(archive)));
    ASSERT_EQ(reader.EntryCount(), static_cast<int>(entries.size()));
    for (int i = 0; i < reader.EntryCount(); ++i) {
        ZipEntryStat stat;
        ASSERT_TRUE(reader.GetEntryStat(i, stat));
        ASSERT_EQ(stat.name, entries[static_cast<size_t>(i)].header.name);
        if (stat.isDirectory) {
            continue;
        }
        const std::wstring copy = work.Child(L"copy");
        ASSERT_TRUE(reader.ExtractToFile(i, copy)) << stat.name << reader.TakeLastError();
        EXPECT_EQ(ReadBytes(copy), files[stat.name]) << stat.name;
        fileEntries.push_back(static_cast<size_t>(i));
        total += stat.uncompressedSize;
        if (stat.name == "big.dat") {
            // Each block starts from the one before it: as compact as one pass.
            uLongf whole = compressBound(static_cast<uLong>(big.size()));
            std::string once(whole, '\0');
            ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(&once[0]), &whole,
                                reinterpret_cast<const Bytef*>(big.data()),
                                static_cast<uLong>(big.size()), Z_DEFAULT_COMPRESSION),
                      Z_OK);
            EXPECT_LT(stat.compressedSize, whole * 102 / 100);
        }
    }
    EXPECT_EQ(fileEntries.size(), files.size());
    EXPECT_EQ(finished, fileEntries);
    EXPECT_EQ(written, total);
    EXPECT_NE(ReadBytes(archive).find("what the stored bytes are"), std::string::npos);
}
