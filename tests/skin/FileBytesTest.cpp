#include <gtest/gtest.h>

#include "skin/FileBytes.h"
#include "skin/SkinTestSupport.h"

namespace {

// Every byte value, over more than one read chunk and not a whole number of them.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return bytes;
}

struct FileCase {
    const char* name;
    std::size_t size; // bytes written; ignored when the path is not a file
    bool folder;
    bool missing;
};
void PrintTo(const FileCase& c, std::ostream* os) {
    *os << c.name;
}

class FileBytesTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(FileBytesTest, ReadsAWholeFileAndNothingElse) {
    const FileCase& c = GetParam();
    ScratchDir dir;
    const std::string content = Pattern(c.size);
    std::string path = dir.File("missing.bin");
    if (c.folder) {
        path = dir.Write("sub/inner.bin", "x");
        path = path.substr(0, path.rfind('/'));
    } else if (!c.missing) {
        path = dir.Write("file.bin", content);
    }
    const auto bytes = ReadFileBytes<std::uint8_t>(path);
    const auto chars = ReadFileBytes<char>(path);
    if (c.folder || c.missing) {
        EXPECT_FALSE(bytes.has_value());
        EXPECT_FALSE(chars.has_value());
        return;
    }
    ASSERT_TRUE(bytes.has_value());
    ASSERT_TRUE(chars.has_value());
    EXPECT_EQ(std::string(chars->begin(), chars->end()), content);
    ASSERT_EQ(bytes->size(), content.size());
    EXPECT_TRUE(
        std::equal(bytes->begin(), bytes->end(), content.begin(),
                   [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
}

INSTANTIATE_TEST_SUITE_P(Paths, FileBytesTest,
                         ::testing::Values(FileCase{"empty", 0, false, false},
                                           FileCase{"small", 300, false, false},
                                           FileCase{"severalChunks", 200000, false, false},
                                           FileCase{"folder", 0, true, false},
                                           FileCase{"missing", 0, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
