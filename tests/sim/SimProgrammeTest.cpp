// The simulator's programme and its meters over a simulated minute: they must read like a
// station's (speech and music, a few dB of gain reduction, red only on real peaks, the gate
// closing in pauses), and a seed must give the same minute again.
#include "sim/CAgcMeterModel.h"
#include "sim/CSimProgramme.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int kStepsPerMinute = 6000; // 10 ms steps

struct MinuteStats {
    double medianReductionDb = 0; // over the four bands
    double redShare = 0;          // lit rows drawn red, of all rows
    double gateInPauses = 0;      // share of paused polls with the gate row lit
    double gateInProgramme = 0;   // share of playing polls with the gate row lit
    int pausedPolls = 0;
    int limitingPolls = 0;
    int polls = 0;
};

// One minute polled every 66 ms, as the remote does, from a fresh model.
MinuteStats WatchAMinute(std::uint32_t seed, const CAgcMeterModel::Settings& settings) {
    const auto t0 = CAgcMeterModel::Clock::now();
    CAgcMeterModel model(seed);
    std::vector<int> reductions;
    int red = 0;
    int gatePaused = 0;
    int gatePlaying = 0;
    MinuteStats stats;
    for (int ms = 0; ms <= 60000; ms += 66) {
        model.Advance(t0 + std::chrono::milliseconds(ms), settings);
        const auto agc = model.GetRows(false);
        for (std::size_t b = 0; b < 4; ++b) {
            reductions.push_back(agc[b].lit);
        }
        for (bool io : {false, true}) {
            for (const auto& row : model.GetRows(io)) {
                red += row.lit > 0 && row.colour == 3 ? 1 : 0;
            }
        }
        const bool gateLit = agc[6].lit > 0;
        if (model.Programme().pause) {
            ++stats.pausedPolls;
            gatePaused += gateLit ? 1 : 0;
        } else {
            gatePlaying += gateLit ? 1 : 0;
        }
        stats.limitingPolls += agc[5].lit > 0 ? 1 : 0;
        ++stats.polls;
    }
    std::nth_element(reductions.begin(), reductions.begin() + reductions.size() / 2,
                     reductions.end());
    stats.medianReductionDb = reductions[reductions.size() / 2] * 24.0 / 32;
    stats.redShare = red / (16.0 * stats.polls);
    stats.gateInPauses = stats.pausedPolls ? double(gatePaused) / stats.pausedPolls : 0;
    stats.gateInProgramme = double(gatePlaying) / (stats.polls - stats.pausedPolls);
    return stats;
}

} // namespace

TEST(SimProgrammeTest, AMinuteHoldsMusicSpeechAndPauses) {
    for (const std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
        CSimProgramme programme(seed);
        int music = 0;
        int speech = 0;
        int pauses = 0;
        int pausedSteps = 0;
        bool wasPaused = false;
        for (int i = 0; i < kStepsPerMinute; ++i) {
            const auto& f = programme.Step();
            if (f.pause) {
                ++pausedSteps;
                pauses += wasPaused ? 0 : 1;
            } else {
                (f.section == CSimProgramme::Section::Music ? music : speech) += 1;
                for (const double band : f.bandDb) {
                    ASSERT_LT(band, 0.0) << "a band above full scale, seed " << seed;
                }
            }
            wasPaused = f.pause;
        }
        const std::string where = "seed " + std::to_string(seed) + ": " + std::to_string(music) +
                                  " music, " + std::to_string(speech) + " speech, " +
                                  std::to_string(pauses) + " pauses";
        EXPECT_GT(music, 500) << where;
        EXPECT_GT(speech, 500) << where;
        EXPECT_GE(pauses, 3) << where;
        EXPECT_LT(pausedSteps * 5, kStepsPerMinute) << where; // pauses are short
    }
}

TEST(SimProgrammeTest, MetersOfAMinuteReadLikeAStation) {
    // Default settings; the factory preset the simulator starts with on air (more drive, slow
    // release, band trims); wideband mode.
    CAgcMeterModel::Settings preset;
    preset.driveDb = 5;
    preset.releaseDbPerSecond = 1;
    preset.gateDb = -50;
    preset.bandTrimDb = {-6, -9, 0, -9};
    preset.ceilingDb = -0.7;
    CAgcMeterModel::Settings wideband;
    wideband.multiband = false;
    const std::vector<CAgcMeterModel::Settings> cases = {CAgcMeterModel::Settings{}, preset,
                                                         wideband};
    for (std::size_t c = 0; c < cases.size(); ++c) {
        int limiting = 0;
        int polls = 0;
        for (const std::uint32_t seed : {1u, 2u, 3u}) {
            const auto s = WatchAMinute(seed, cases[c]);
            const std::string where =
                "case " + std::to_string(c) + " seed " + std::to_string(seed) + ": median GR " +
                std::to_string(s.medianReductionDb) + " dB, red " + std::to_string(s.redShare) +
                ", gate in pauses " + std::to_string(s.gateInPauses) + " of " +
                std::to_string(s.pausedPolls) + ", gate in programme " +
                std::to_string(s.gateInProgramme) + ", limiting " +
                std::to_string(s.limitingPolls) + " of " + std::to_string(s.polls);
            EXPECT_GE(s.medianReductionDb, 1.5) << where;
            EXPECT_LE(s.medianReductionDb, 6.5) << where;
            EXPECT_LT(s.redShare, 0.01) << where;
            EXPECT_GT(s.pausedPolls, 10) << where;
            EXPECT_GT(s.gateInPauses, 0.7) << where;
            EXPECT_LT(s.gateInProgramme, 0.03) << where;
            limiting += s.limitingPolls;
            polls += s.polls;
        }
        // The limiter catches the odd transient, and only that.
        EXPECT_GT(limiting, 0) << "case " << c;
        EXPECT_LT(limiting * 5, polls) << "case " << c;
    }
}

TEST(SimProgrammeTest, ASeedGivesTheSameMinuteAgain) {
    const auto t0 = CAgcMeterModel::Clock::now();
    const CAgcMeterModel::Settings settings;
    CAgcMeterModel a(42);
    CAgcMeterModel b(42);
    CAgcMeterModel other(43);
    int differing = 0;
    for (int ms = 0; ms <= 60000; ms += 100) {
        const auto now = t0 + std::chrono::milliseconds(ms);
        a.Advance(now, settings);
        b.Advance(now, settings);
        other.Advance(now, settings);
        for (bool io : {false, true}) {
            for (std::size_t r = 0; r < 8; ++r) {
                ASSERT_EQ(a.GetRows(io)[r].lit, b.GetRows(io)[r].lit) << ms << " ms, row " << r;
                ASSERT_EQ(a.GetRows(io)[r].colour, b.GetRows(io)[r].colour);
                ASSERT_EQ(a.GetRows(io)[r].peak, b.GetRows(io)[r].peak);
                differing += a.GetRows(io)[r].lit != other.GetRows(io)[r].lit ? 1 : 0;
            }
        }
    }
    EXPECT_GT(differing, 1000);
}
