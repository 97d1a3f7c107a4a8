#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/sha256.h"
#include "common/sha256_instructions.h"

TEST(Sha256, TheHelperThreadHashesWhatOneThreadHashes) {
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    Sha256 plain;
    plain.Update("abc", 3);
    EXPECT_EQ(plain.FinishHex(), abc);
    BackgroundSha256 short_;
    short_.Update("abc", 3);
    EXPECT_EQ(short_.FinishHex(), abc);

    // More than every block of the helper holds, in pieces that straddle
    // the blocks' ends.
    std::string data(11 * 1000 * 1000 + 7, '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 131 + (i >> 12));
    }
    Sha256 one;
    one.Update(data.data(), data.size());
    BackgroundSha256 background;
    for (size_t at = 0, piece = 1; at < data.size(); at += piece, piece = piece * 3 + 1) {
        background.Update(data.data() + at, std::min(piece, data.size() - at));
    }
    EXPECT_EQ(background.FinishHex(), one.FinishHex());
}

// The processor's instructions (where it has them) give the system's digest
// for every length around the block and padding limits, fed in any pieces.
TEST(Sha256, TheProcessorsInstructionsGiveTheSystemsDigest) {
    if (!ProcessorHasSha256()) {
        // Nothing to compare (32-bit Wine under emulation ends on a skipped test).
        std::printf("this processor has no SHA instructions\n");
        return;
    }
    std::string data(300 + (1 << 20), '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7 + (i >> 9));
    }
    for (size_t length = 0; length <= data.size(); length += length < 300 ? 1 : 1 << 20) {
        SCOPED_TRACE(length);
        Sha256 system(Sha256Engine::kSystem);
        system.Update(data.data(), length);
        Sha256 processor;
        for (size_t at = 0, piece = 1; at < length; at += piece, piece = piece * 2 + 1) {
            processor.Update(data.data() + at, std::min(piece, length - at));
        }
        EXPECT_EQ(processor.FinishHex(), system.FinishHex());
    }
}
