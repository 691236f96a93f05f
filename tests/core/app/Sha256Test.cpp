#include "app/Sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "TestSupport.h"

namespace thermivo {
namespace {

// Digests from sha256sum, so the test does not share the code's own arithmetic.
TEST(Sha256, KnownDigestsAcrossBlockAndPaddingBoundaries) {
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 55, 56 and 64 bytes: the length field fits, just does not fit, and a whole block of padding follows.
    EXPECT_EQ(sha256Hex(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(sha256Hex(std::string(56, 'a')),
              "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(sha256Hex(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(Sha256, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
    std::string data;
    for (int i = 0; i < 1000; ++i) data.push_back(static_cast<char>(i * 7));
    const std::string whole = sha256Hex(data);
    for (std::size_t piece : {1u, 3u, 63u, 64u, 65u, 200u}) {
        Sha256 hash;
        for (std::size_t at = 0; at < data.size(); at += piece)
            hash.update(std::string_view(data).substr(at, piece));
        EXPECT_EQ(hash.finishHex(), whole) << "pieces of " << piece;
    }
}

TEST(Sha256, FileDigestMatchesTheContentAndAMissingFileGivesNothing) {
    testing::TempDir dir;
    const std::string path = dir.file("million.bin");
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(1000000, 'a');
    }
    EXPECT_EQ(sha256HexOfFile(path), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_FALSE(sha256HexOfFile(dir.file("missing.bin")).has_value());
}

}  // namespace
}  // namespace thermivo
