#include <map>

#include <gtest/gtest.h>

#include "snapshot/CSnapshotTaker.h"
#include "SnapshotFixture.h"

namespace {

// A processor behind the snapshot's requests: the fixture's description and presets, values by
// address, and a record of every request.
class FakeLink : public ISnapshotLink {
public:
    std::string version = "123";
    ByteString description = SnapshotDescriptionBytes();
    std::map<std::uint32_t, std::uint8_t> values;
    std::vector<std::string> asked;

    Result ReadVersion(std::string& v) override {
        asked.push_back("version");
        v = version;
        return Result::Ok;
    }
    Result GetConfig(ByteString& d) override {
        asked.push_back("config");
        d = description;
        return Result::Ok;
    }
    Result GetFactoryPresetNumber(int& count) override {
        asked.push_back("count");
        count = 10;
        return Result::Ok;
    }
    Result GetPreset(std::uint8_t preset, ByteString& data) override {
        asked.push_back("preset");
        data = PresetData(preset < 8 ? "USER " + std::to_string(preset + 1)
                                     : "FACTORY " + std::to_string(preset),
                          preset);
        return Result::Ok;
    }
    Result ReadParameter(ParamAddress a, std::uint8_t& value) override {
        asked.push_back("parameter");
        value = values[(a.a << 16) | (a.b << 8) | a.c];
        return Result::Ok;
    }
    Result ReadLeds(ByteString& reply) override {
        asked.push_back("leds");
        reply = ByteString(29, 0);
        reply[5] = 8;
        reply[4] = 8;
        return Result::Ok;
    }
    Result WriteParameter(ParamAddress, std::uint8_t, std::uint8_t&) override {
        asked.push_back("write");
        return Result::Refused;
    }
    Result SendPreset(std::uint8_t, const ByteString&) override {
        asked.push_back("send");
        return Result::Refused;
    }

    [[nodiscard]] int Count(const std::string& what) const {
        return static_cast<int>(std::count(asked.begin(), asked.end(), what));
    }
};

} // namespace

// Reading the parameters alone keeps the description and presets of the snapshot before, and
// gives what a whole snapshot gives; a processor with another version is read whole.
TEST(SnapshotParameters, ReadsParametersAndLedsOnlyWhileTheVersionStays) {
    FakeLink link;
    CSnapshotTaker taker(link);
    Snapshot whole;
    ASSERT_EQ(taker.Take({}, whole).result, ISnapshotLink::Result::Ok);
    const int parameters = link.Count("parameter");
    ASSERT_GT(parameters, 0);

    link.values[0] = 40; // AGC Drive
    link.asked.clear();
    Snapshot part;
    ASSERT_EQ(taker.TakeParameters({}, whole, part).result, ISnapshotLink::Result::Ok);
    EXPECT_EQ(link.Count("config"), 0);
    EXPECT_EQ(link.Count("preset"), 0);
    EXPECT_EQ(link.Count("count"), 0);
    EXPECT_EQ(link.Count("parameter"), parameters);
    EXPECT_EQ(link.Count("leds"), 1);
    EXPECT_EQ(link.Count("write") + link.Count("send"), 0);
    Snapshot fresh;
    ASSERT_EQ(taker.Take({}, fresh).result, ISnapshotLink::Result::Ok);
    EXPECT_EQ(part, fresh);
    EXPECT_NE(part, whole);

    link.version = "124";
    link.asked.clear();
    ASSERT_EQ(taker.TakeParameters({}, whole, part).result, ISnapshotLink::Result::Ok);
    EXPECT_EQ(link.Count("config"), 1);
    EXPECT_EQ(link.Count("preset"), 10);
    EXPECT_EQ(part.version, "124");
}
