#include "upgrade/image_check.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/upgrade/upgrade_test_util.h"
#include "upgrade/md5.h"

namespace {

namespace fs = std::filesystem;

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::string Md5Hex(const std::string& text) {
    Md5Context context;
    Md5Init(&context);
    Md5Update(&context, text.data(), text.size());
    std::uint8_t digest[16];
    Md5Final(digest, &context);
    return Hex(digest, 16);
}

TEST(Md5, MatchesTheSevenTestStringsOfTheRfc) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : cases)
        EXPECT_EQ(Md5Hex(text), digest) << text;
}

TEST(Md5, PiecesOfEverySizeGiveTheSameDigest) {
    const auto data = quillon::test::ImageBytes(1000, 7);
    const std::string whole(data.begin(), data.end());
    const std::string expected = Md5Hex(whole);
    for (std::size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 127u, 999u}) {
        Md5Context context;
        Md5Init(&context);
        for (std::size_t at = 0; at < whole.size(); at += piece)
            Md5Update(&context, whole.data() + at, std::min(piece, whole.size() - at));
        std::uint8_t digest[16];
        Md5Final(digest, &context);
        EXPECT_EQ(Hex(digest, 16), expected) << piece;
    }
}

class ScratchFiles : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillon-check-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string Read(const std::string& path) {
        const auto bytes = quillon::test::ReadFileBytes(path);
        return bytes ? std::string(bytes->begin(), bytes->end()) : "<missing>";
    }
    std::string dir_;
};

using Md5LargeFile = ScratchFiles;

TEST_F(Md5LargeFile, AgreesWithMd5sum) {
    const auto data = quillon::test::ImageBytes(16 * 1024 * 1024 + 17, 11);
    const std::string path = Write("large.bin", std::string(data.begin(), data.end()));
    Md5Context context;
    Md5Init(&context);
    Md5Update(&context, data.data(), data.size());
    std::uint8_t digest[16];
    Md5Final(digest, &context);

    FILE* pipe = popen(("md5sum " + path).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[128] = {};
    ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
    pclose(pipe);
    EXPECT_EQ(std::string(line, 32), Hex(digest, 16));
}

using ImageCheck = ScratchFiles;

TEST_F(ImageCheck, Md5TrailerIsCheckedAndCutOff) {
    const std::string magic = "md5_check-v1.0.0";
    const std::string abcDigest = "900150983cd24fb0d6963f7d28e17f72";
    std::string upper = abcDigest;
    for (auto& c : upper)
        c = static_cast<char>(std::toupper(c));
    std::string wrong = abcDigest;
    wrong[5] = '1';
    struct Case {
        const char* what;
        std::string content;
        int result;
        std::string after;
    };
    const std::string noMagic = std::string(48, 'x') + "tail";
    const Case cases[] = {
        {"lower-case digest", "abc" + magic + abcDigest, 0, "abc"},
        {"upper-case digest", "abc" + magic + upper, 0, "abc"},
        {"one digit changed", "abc" + magic + wrong, -1, "abc"},
        {"digest not hexadecimal", "abc" + magic + "0g" + abcDigest.substr(2), -1, "abc"},
        {"no magic", noMagic, 1, noMagic},
        {"20 bytes", std::string(20, 'y'), 1, std::string(20, 'y')},
        {"trailer alone", magic + "d41d8cd98f00b204e9800998ecf8427e", 0, ""},
        {"empty file", "", 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Write("image.rom", c.content);
        EXPECT_EQ(CheckMd5Trailer(path), c.result);
        EXPECT_EQ(Read(path), c.after);
    }
    EXPECT_EQ(CheckMd5Trailer(dir_ + "/missing.rom"), -1);
    EXPECT_EQ(CheckMd5Trailer(dir_), -1); // a folder is not an image
}

TEST_F(ImageCheck, FileSizeMustEqualTheAnnouncedSize) {
    const std::string path = Write("image.fls", std::string(100, 'z'));
    EXPECT_EQ(CheckFileSize(path, 100), 0);
    EXPECT_EQ(CheckFileSize(path, 99), -1);
    EXPECT_EQ(CheckFileSize(path, 148), -1);
    EXPECT_EQ(CheckFileSize(dir_ + "/missing", 100), -1);
    EXPECT_EQ(CheckFileSize(dir_ + "/missing", 0), -1); // missing is never the right size
}

TEST(HexToBytes, DecodesEitherCaseAndFlagsOtherCharacters) {
    std::uint8_t out[4];
    EXPECT_TRUE(HexToBytes(out, "00fFa9Z", 3));
    EXPECT_EQ(Hex(out, 3), "00ffa9");
    EXPECT_FALSE(HexToBytes(out, "0G", 1));
    EXPECT_FALSE(HexToBytes(out, "x1", 1));
}

} // namespace
