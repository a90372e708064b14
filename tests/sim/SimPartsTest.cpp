#include <array>
#include <chrono>
#include <functional>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "description/ControlDescription.h"
#include "link/LinkPacket.h"
#include "sim/CAgcMeterModel.h"
#include "sim/CFaultInjector.h"
#include "sim/CPresetStore.h"
#include "sim/CRequestFramer.h"
#include "sim/CSimDescription.h"
#include "sim/CSimOptions.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

TEST(PresetStoreTest, WireLayoutRoundTripsAndIgnoresPadding) {
    CPresetStore::Preset preset;
    preset.name = CPresetStore::MakeName("A NAME LONGER THAN FIFTEEN");
    preset.values = {{{0, 0, 0}, 7}, {{0, 1, 3}, 200}};
    Bytes bytes = CPresetStore::Encode(preset);
    ASSERT_EQ(bytes.size(), 17u + 8u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 15), "A NAME LONGER T");
    EXPECT_EQ(bytes[15], 0);
    EXPECT_EQ(bytes[16], 2);
    bytes.resize(128, 0);
    std::string error;
    const auto decoded = CPresetStore::Decode(bytes, error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(decoded->values, preset.values);
    EXPECT_EQ(decoded->name, preset.name);
}

TEST(PresetStoreTest, RejectsDataThatCannotBeAPreset) {
    const Bytes cases[] = {Bytes(16, 0x41), [] {
                               Bytes b(17 + 4, 0);
                               b[16] = 2; // two values announced, one present
                               return b;
                           }()};
    for (const auto& bytes : cases) {
        std::string error;
        EXPECT_FALSE(CPresetStore::Decode(bytes, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(RequestFramerTest, CutsTheStreamAtRequestBoundaries) {
    // Every request of this rule is two bytes long and starts with 0x80; anything else is
    // noise.
    CRequestFramer framer([](std::span<const std::uint8_t> b) {
        if (b[0] != 0x80) {
            return 0;
        }
        return b.size() >= 2 ? 2 : -1;
    });
    const auto t = CRequestFramer::Clock::now();
    framer.Append(Bytes{0x13, 0x80}, t);
    EXPECT_FALSE(framer.Next());
    framer.Append(Bytes{0x80, 0x80}, t + 1ms);
    EXPECT_EQ(framer.Next(), (Bytes{0x80, 0x80}));
    EXPECT_FALSE(framer.Next());
    EXPECT_EQ(framer.Pending(), 1u);
    // A fragment left lying for long is noise: the next bytes start afresh.
    framer.Append(Bytes{0x80, 0x81}, t + 1s);
    EXPECT_EQ(framer.Next(), (Bytes{0x80, 0x81}));
}

TEST(FaultInjectorTest, SameSeedSameFaults) {
    CFaultInjector::Options options;
    options.nak = 0.3;
    options.drop = 0.2;
    options.garble = 0.3;
    options.stray = 0.3;
    options.seed = 42;
    CFaultInjector first(options);
    CFaultInjector second(options);
    const Bytes reply{0x06, 0x80, '1', '2', '3', 0x1C};
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(first.Decide(false), second.Decide(false));
        const auto a = first.Shape(reply);
        const auto b = second.Shape(reply);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t p = 0; p < a.size(); ++p) {
            ASSERT_EQ(a[p].bytes, b[p].bytes);
        }
    }
}

TEST(FaultInjectorTest, EachKindDoesWhatItSays) {
    const Bytes reply{0x06, 0x81, 0, 0, 0, 9, 0x90};
    struct Case {
        const char* name;
        CFaultInjector::Options options;
    };
    CFaultInjector::Options garble, split, stray, delay;
    garble.garble = 1;
    split.split = true;
    stray.stray = 1;
    delay.delayMs = 40;
    for (int i = 0; i < 50; ++i) {
        CFaultInjector g(garble);
        const auto pieces = g.Shape(reply);
        ASSERT_EQ(pieces.size(), 1u);
        EXPECT_NE(pieces[0].bytes, reply);
        EXPECT_FALSE(ChecksumOk(pieces[0].bytes) && pieces[0].bytes[1] == reply[1] &&
                     pieces[0].bytes == reply);

        CFaultInjector s(split);
        const auto parts = s.Shape(reply);
        EXPECT_GE(parts.size(), 2u);
        Bytes joined;
        for (std::size_t p = 0; p < parts.size(); ++p) {
            joined.insert(joined.end(), parts[p].bytes.begin(), parts[p].bytes.end());
            if (p > 0) {
                EXPECT_GT(parts[p].after, parts[p - 1].after);
            }
        }
        EXPECT_EQ(joined, reply);

        CFaultInjector j(stray);
        const auto withJunk = j.Shape(reply);
        ASSERT_EQ(withJunk.size(), 2u);
        EXPECT_EQ(withJunk[0].bytes, reply);
        EXPECT_FALSE(withJunk[1].bytes.empty());
    }
    CFaultInjector d(delay);
    EXPECT_EQ(d.Shape(reply).at(0).after, 40ms);
    // A lone control byte has no checksum to break.
    CFaultInjector g(garble);
    EXPECT_EQ(g.Shape(Bytes{0x06}).at(0).bytes, Bytes{0x06});
    // Refusals make no sense inside a transfer.
    CFaultInjector::Options nak;
    nak.nak = 1;
    CFaultInjector n(nak);
    EXPECT_EQ(n.Decide(false), CFaultInjector::Verdict::Refuse);
    EXPECT_EQ(n.Decide(true), CFaultInjector::Verdict::Process);
    // Only a running transfer can be cancelled.
    CFaultInjector::Options cancel;
    cancel.cancel = 1;
    CFaultInjector c(cancel);
    EXPECT_EQ(c.Decide(true), CFaultInjector::Verdict::Cancel);
    EXPECT_EQ(c.Decide(false), CFaultInjector::Verdict::Process);
}

TEST(AgcMeterModelTest, MovesWithTimeNotWithReads) {
    const auto t0 = CAgcMeterModel::Clock::now();
    CAgcMeterModel often(7);
    CAgcMeterModel seldom(7);
    const CAgcMeterModel::Settings settings;
    for (int ms = 0; ms <= 3000; ms += 3) {
        often.Advance(t0 + std::chrono::milliseconds(ms), settings);
    }
    seldom.Advance(t0, settings);
    seldom.Advance(t0 + 1500ms, settings);
    seldom.Advance(t0 + 3000ms, settings);
    for (bool io : {false, true}) {
        const auto a = often.GetRows(io);
        const auto b = seldom.GetRows(io);
        for (std::size_t r = 0; r < 8; ++r) {
            EXPECT_EQ(a[r].lit, b[r].lit);
            EXPECT_EQ(a[r].peak, b[r].peak);
        }
    }
}

TEST(AgcMeterModelTest, MetersMoveGainReducesAndBypassReducesNothing) {
    const auto t0 = CAgcMeterModel::Clock::now();
    CAgcMeterModel model(3);
    CAgcMeterModel::Settings hot;
    hot.driveDb = 10;
    std::set<int> inputLevels;
    int reduction = 0;
    bool peakSeen = false;
    for (int ms = 0; ms < 20000; ms += 66) {
        model.Advance(t0 + std::chrono::milliseconds(ms), hot);
        const auto io = model.GetRows(true);
        const auto agc = model.GetRows(false);
        inputLevels.insert(io[0].lit);
        reduction = std::max<int>(reduction, agc[0].lit);
        peakSeen = peakSeen || io[0].peak > io[0].lit;
        for (const auto& row : io) {
            ASSERT_LE(row.lit, 32);
            ASSERT_GE(row.colour, 1);
        }
    }
    EXPECT_GT(inputLevels.size(), 8u);
    EXPECT_GT(reduction, 4);
    EXPECT_TRUE(peakSeen);

    CAgcMeterModel::Settings bypass = hot;
    bypass.bypass = true;
    model.Advance(t0 + 21s, bypass);
    for (std::size_t r = 0; r < 6; ++r) {
        EXPECT_EQ(model.GetRows(false)[r].lit, 0) << r;
    }
}

TEST(AgcMeterModelTest, BandsRideApartAndTheLimiterCatchesPeaks) {
    // Four bands fed alike and ridden at one rate would move in lockstep; on air each band has
    // its own content and speed, and the limiter acts on transients now and then only.
    CAgcMeterModel::Settings preset; // a factory preset: warmer drive, slow release, trims
    preset.driveDb = 5;
    preset.releaseDbPerSecond = 1;
    preset.gateDb = -50;
    preset.bandTrimDb = {-6, -9, 0, -9};
    preset.ceilingDb = -0.7;
    const std::array<CAgcMeterModel::Settings, 2> cases = {CAgcMeterModel::Settings{}, preset};
    const auto t0 = CAgcMeterModel::Clock::now();
    for (std::size_t c = 0; c < cases.size(); ++c) {
        ASSERT_TRUE(cases[c].multiband);
        for (const std::uint32_t seed : {1u, 3u, 7u}) {
            CAgcMeterModel model(seed);
            int frames = 0;
            int apart = 0;
            int limiting = 0;
            std::array<std::set<int>, 4> bandValues;
            // 60 s polled every 50 ms, from rest, as a watching user sees it.
            for (int ms = 0; ms <= 60000; ms += 50) {
                model.Advance(t0 + std::chrono::milliseconds(ms), cases[c]);
                const auto agc = model.GetRows(false);
                std::set<int> bands;
                for (std::size_t b = 0; b < 4; ++b) {
                    bands.insert(agc[b].lit);
                    bandValues[b].insert(agc[b].lit);
                }
                ++frames;
                apart += bands.size() >= 2 ? 1 : 0;
                limiting += agc[5].lit > 0 ? 1 : 0;
            }
            const std::string where = "case " + std::to_string(c) + " seed " +
                                      std::to_string(seed) + ": " + std::to_string(apart) +
                                      " apart, " + std::to_string(limiting) + " limiting of " +
                                      std::to_string(frames);
            EXPECT_GE(apart * 2, frames) << where;
            EXPECT_GT(limiting, 0) << where;
            EXPECT_LT(limiting * 2, frames) << where;
            for (std::size_t b = 0; b < 4; ++b) {
                EXPECT_GT(bandValues[b].size(), 3u) << where << ", band " << b;
            }
        }
    }
}

TEST(SimOptionsTest, ParsesValuesAndRejectsBadOnes) {
    std::string error;
    const auto o = CSimOptions::Parse(
        {"--udp", "127.0.0.1:0", "--pty", "/tmp/x", "--firmware", "456", "--lock", "1234", "--type",
         "0x05", "--presets", "20", "--nak", "0.25", "--split", "--delay", "30", "--cancel", "0.5"},
        error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->udpPort, 0);
    EXPECT_EQ(o->ptyLink, "/tmp/x");
    EXPECT_EQ(o->version, "456");
    EXPECT_EQ(o->lockCode, 1234);
    EXPECT_EQ(o->type, 5);
    EXPECT_EQ(o->presets, 20);
    EXPECT_DOUBLE_EQ(o->faults.nak, 0.25);
    EXPECT_TRUE(o->faults.split);
    EXPECT_EQ(o->faults.delayMs, 30);
    EXPECT_DOUBLE_EQ(o->faults.cancel, 0.5);

    const std::vector<std::vector<std::string>> bad = {
        {"--firmware", "12"},    {"--lock", "10000"}, {"--presets", "7"}, {"--nak", "1.5"},
        {"--udp", "host:99999"}, {"--frobnicate"},    {"--lock"},         {"--no-udp"},
        {"--cancel", "-0.1"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(CSimOptions::Parse(args, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

} // namespace

namespace {

const ControlNode* FindNode(const ControlNode& node, const std::string& name) {
    if (node.name == name) {
        return &node;
    }
    for (const auto& child : node.children) {
        if (const auto* found = FindNode(*child, name)) {
            return found;
        }
    }
    return nullptr;
}

void Walk(const ControlNode& node, const std::function<void(const ParamSet&)>& visit) {
    for (const auto& set : node.sets) {
        visit(*set);
    }
    for (const auto& child : node.children) {
        Walk(*child, visit);
    }
}

TEST(BuiltInDescriptionTest, HoldsEveryFeatureTheApplicationShows) {
    std::string error;
    const auto bytes = CSimDescription::Builtin(error);
    ASSERT_TRUE(bytes) << error;
    EXPECT_EQ((*bytes)[0], 3);
    ControlDescription description;
    description.Parse(*bytes);
    EXPECT_TRUE(description.Errors().empty());
    const ControlNode& root = *description.Root();

    // Pages and subpages; a group's own condition and one inherited from it.
    const auto* bands = FindNode(root, "Bands");
    const auto* crossover = FindNode(root, "Crossover");
    const auto* limiter = FindNode(root, "Limiter");
    ASSERT_TRUE(bands && crossover && limiter && FindNode(root, "Clock"));
    EXPECT_TRUE(bands->hasCondition);
    EXPECT_TRUE(crossover->hasCondition);
    EXPECT_EQ(crossover->condition.address, (ParamAddress{0, 0, 3}));
    EXPECT_FALSE(limiter->hasCondition);
    EXPECT_TRUE(FindNode(root, "STEREO ENHANCE")); // a set at the top becomes its own page

    std::set<int> styles;
    bool conditionalSet = false, starEntry = false, plainEntry = false, negativeDecimal = false;
    bool multiField = false, presetName = false, selfChanging = false, source = false;
    Walk(root, [&](const ParamSet& set) {
        styles.insert(set.items[0].style);
        conditionalSet = conditionalSet || set.hasCondition;
        multiField = multiField || set.items.size() > 1;
        for (const auto& item : set.items) {
            for (const auto& entry : item.entries) {
                (entry.find('*') != std::string::npos ? starEntry : plainEntry) = true;
            }
            negativeDecimal =
                negativeDecimal || (item.kind == 0 && item.minimum < 0 && (item.format >> 4) > 0);
            presetName = presetName || item.kind == 2;
            selfChanging = selfChanging || item.address.a == 5;
            source = source || item.itemFlag == 1;
        }
    });
    EXPECT_EQ(styles, (std::set<int>{0, 1, 2}));
    EXPECT_TRUE(conditionalSet && starEntry && plainEntry && negativeDecimal);
    EXPECT_TRUE(multiField && presetName && selfChanging && source);
}

} // namespace
