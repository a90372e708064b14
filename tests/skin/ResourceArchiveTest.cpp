#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "skin/ArchiveIndex.h"
#include "skin/ResourceArchive.h"
#include "skin/ResourceArchiveWriter.h"
#include "skin/SkinFileSource.h"
#include "skin/SkinTestSupport.h"

namespace {

std::string Archive(const std::string& label,
                    const std::vector<std::pair<std::string, std::string>>& entries) {
    ResourceArchiveWriter writer(label);
    for (const auto& [name, data] : entries) {
        EXPECT_TRUE(writer.Add(name, std::span(data.data(), data.size())));
    }
    return std::string(writer.Bytes().begin(), writer.Bytes().end());
}

std::string U32(std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}

// One entry written by hand, so that its fields can lie.
std::string RawEntry(const std::string& name, const std::string& stream, std::uint32_t size,
                     std::uint32_t nameLength, std::uint32_t compressedSize) {
    return U32(nameLength) + name + U32(compressedSize) + U32(size) + stream;
}

std::string Compressed(const std::string& data) {
    const std::string archive = Archive("", {{"n", data}});
    return archive.substr(32 + 4 + 4 + 1 + 8);
}

const std::string kProgram = "\x7f"
                             "ELF program bytes " +
                             std::string(300, '\0') + "TarwPack alone, @@@TarwPack, @@@@Tarw" +
                             std::string(40, 'x');
const std::string kHello = "hello, skin";
const std::string kStream = Compressed(kHello);

struct ExtractCase {
    const char* name;
    std::string file;
    std::string wanted;
    std::optional<std::string> data;
};

// Test names carry the case's name, not a dump of its bytes.
void PrintTo(const ExtractCase& c, std::ostream* os) {
    *os << c.name;
}

const ExtractCase kExtractCases[] = {
    {"FoundBehindProgram", kProgram + Archive("none", {{"skin.ini", "a"}, {"b.bmp", "bb"}}),
     "b.bmp", "bb"},
    {"CaseOfLettersIgnored", kProgram + Archive("none", {{"Buttons\\BtnExit_Up.bmp", "up"}}),
     "buttons\\btnexit_UP.BMP", "up"},
    {"PrefixDoesNotMatch", Archive("none", {{"skin.ini.bak", "bak"}}), "skin.ini", std::nullopt},
    {"LongerNameDoesNotMatch", Archive("none", {{"skin", "s"}}), "skin.ini", std::nullopt},
    {"SeparatorIsPartOfName", Archive("none", {{"Buttons\\a.bmp", "a"}}), "Buttons/a.bmp",
     std::nullopt},
    {"FirstMatchWins", Archive("none", {{"A.bmp", "first"}, {"a.BMP", "second"}}), "a.bmp",
     "first"},
    {"FirstArchiveWins",
     kProgram + Archive("none", {{"x", "one"}}) + Archive("none", {{"x", "two"}, {"y", "y"}}), "x",
     "one"},
    {"EmptyLabel", Archive("", {{"x", "data"}}), "x", "data"},
    {"LongLabel", Archive(std::string(1000, 'L'), {{"x", "data"}}), "x", "data"},
    {"EmptyEntry", Archive("none", {{"x", ""}}), "x", ""},
    {"EmptyArchive", kProgram + Archive("none", {}), "x", std::nullopt},
    {"NoArchive", kProgram, "x", std::nullopt},
    {"EmptyFile", "", "x", std::nullopt},
    {"LabelPastEnd", Archive("none", {}).substr(0, 32) + U32(1000) + "abc", "x", std::nullopt},
    {"NameTooLongStopsTheArchive",
     Archive("none", {}) + RawEntry(std::string(248, 'n'), kStream, 11, 248, kStream.size()) +
         RawEntry("x", kStream, 11, 1, kStream.size()),
     "x", std::nullopt},
    {"NameOf247Bytes",
     Archive("none", {}) + RawEntry(std::string(247, 'n'), kStream, 11, 247, kStream.size()),
     std::string(247, 'N'), kHello},
    {"NamePastEnd", Archive("none", {}) + U32(200) + "short", "short", std::nullopt},
    {"DataPastEnd", Archive("none", {}) + RawEntry("x", kStream, 11, 1, kStream.size() + 1), "x",
     std::nullopt},
    {"SizesCutOff", Archive("none", {}) + U32(1) + "x" + U32(3), "x", std::nullopt},
    {"DamagedStream",
     Archive("none", {}) +
         RawEntry("x", std::string(kStream.size(), '\x55'), 11, 1, kStream.size()),
     "x", std::nullopt},
    {"StreamLongerThanDeclared", Archive("none", {}) + RawEntry("x", kStream, 5, 1, kStream.size()),
     "x", std::nullopt},
    {"StreamShorterThanDeclared",
     Archive("none", {}) + RawEntry("x", kStream, 100, 1, kStream.size()), "x", kHello},
    {"ImpossibleSize", Archive("none", {}) + RawEntry("x", kStream, 0xFFFFFFFF, 1, kStream.size()),
     "x", std::nullopt},
    {"BrokenEntryAfterGoodOne", Archive("none", {{"a", "A"}}) + RawEntry("x", kStream, 11, 1, 5000),
     "a", "A"},
};

class ArchiveExtract : public testing::TestWithParam<ExtractCase> {};

// The reader that reads the file per request and the index kept for a whole skin load must
// agree on every archive.
TEST_P(ArchiveExtract, ReaderAndIndexAgree) {
    const ExtractCase& c = GetParam();
    ScratchDir dir;
    const std::string path = dir.Write("program", c.file);

    const auto extracted = ResourceArchive::Extract(path, c.wanted);
    const auto indexed = ArchiveIndex::FromFile(path).Extract(c.wanted);

    const auto text = [](const std::optional<std::vector<char>>& bytes) {
        return bytes ? std::optional<std::string>(std::string(bytes->begin(), bytes->end()))
                     : std::nullopt;
    };
    EXPECT_EQ(text(extracted), c.data);
    EXPECT_EQ(text(indexed), c.data);
}

INSTANTIATE_TEST_SUITE_P(Cases, ArchiveExtract, testing::ValuesIn(kExtractCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ResourceArchive, HeaderLayout) {
    ResourceArchive::Header header{};
    header.fill(0x11);
    ResourceArchive::BuildHeader(header);
    EXPECT_EQ(std::string(header.begin(), header.begin() + 4), "@@@@");
    EXPECT_EQ(std::string(header.begin() + 4, header.begin() + 12), "TarwPack");
    EXPECT_EQ(std::string(header.begin() + 12, header.end()), std::string(20, '\0'));
    EXPECT_TRUE(ResourceArchive::CheckHeader(header));
    header[3] = '#';
    EXPECT_FALSE(ResourceArchive::CheckHeader(header));

    const std::string bytes = Archive("none", {{"ab", "zz"}});
    EXPECT_EQ(bytes.substr(32, 8), U32(4) + "none");
    EXPECT_EQ(bytes.substr(40, 6), U32(2) + "ab");
    EXPECT_EQ(bytes.substr(50, 4), U32(2)); // uncompressed size behind the compressed one
    EXPECT_EQ(bytes.size(), 54 + static_cast<std::uint8_t>(bytes[46]));
}

TEST(ResourceArchive, LocateGivesTheFirstEntryOrFrees) {
    ScratchDir dir;
    std::vector<std::uint8_t> image;
    ResourceArchive::Header header{};
    const std::string archive = Archive("label", {{"x", "1"}});
    EXPECT_EQ(ResourceArchive::Locate(dir.Write("a", kProgram + archive), image, header),
              static_cast<std::int64_t>(kProgram.size() + 32 + 4 + 5));
    EXPECT_EQ(image.size(), kProgram.size() + archive.size());
    EXPECT_TRUE(ResourceArchive::CheckHeader(header));

    EXPECT_EQ(ResourceArchive::Locate(dir.Write("b", kProgram), image, header), -1);
    EXPECT_TRUE(image.empty());
    EXPECT_FALSE(ResourceArchive::CheckHeader(header));
    EXPECT_EQ(ResourceArchive::Locate(dir.File("missing"), image, header), -1);
}

TEST(ResourceArchiveWriter, RefusesNamesReadersCannotTake) {
    ResourceArchiveWriter writer("none");
    const std::string data = "d";
    EXPECT_FALSE(writer.Add(std::string(248, 'n'), std::span(data.data(), data.size())));
    EXPECT_TRUE(writer.Add(std::string(247, 'n'), std::span(data.data(), data.size())));
    EXPECT_EQ(writer.Count(), 1u);
}

TEST(SkinFileSource, ArchiveFirstThenFolder) {
    ScratchDir dir;
    const std::string program =
        dir.Write("program", kProgram + Archive("none", {{"Buttons\\A.bmp", "archived"}}));
    dir.Write("Skin/Buttons/A.bmp", "on disk");
    dir.Write("Skin/Buttons/B.bmp", "only on disk");

    SkinFileSource withArchive(program);
    const std::string folder = dir.File("Skin");
    const auto text = [](const std::optional<std::vector<char>>& bytes) {
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<none>");
    };
    EXPECT_EQ(text(withArchive.Read("buttons\\a.bmp", folder)), "archived");
    EXPECT_EQ(text(withArchive.Read("Buttons\\B.bmp", folder)), "only on disk");
    EXPECT_EQ(text(withArchive.Read("Buttons\\C.bmp", folder)), "<none>");
    EXPECT_EQ(text(withArchive.Read("Buttons", folder)), "<none>");

    SkinFileSource withoutArchive("");
    EXPECT_EQ(text(withoutArchive.Read("Buttons\\A.bmp", folder + "/")), "on disk");
    EXPECT_EQ(SkinFileSource::DiskPath("", "a\\b.bmp"), "a/b.bmp");
    EXPECT_EQ(SkinFileSource::DiskPath("Skins\\Solvei", "a.bmp"), "Skins/Solvei/a.bmp");
}

} // namespace
