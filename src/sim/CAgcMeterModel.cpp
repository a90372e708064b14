#include "sim/CAgcMeterModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kStepSeconds = 0.010;
constexpr double kFloorDb = -48.0; // the lowest level the meters show
constexpr double kMaxReductionDb = 24.0;
constexpr double kMaxGainDb = 6.0; // the AGC's gain at rest; its meters show reduction from it
constexpr double kTargetDb = -3.0; // where the AGC holds the programme, just under the limiter
constexpr double kAttackDbPerSecond = 30.0;
constexpr double kPeakHoldSeconds = 1.5;
constexpr double kPeakFallSegmentsPerSecond = 12.0;
// After a long pause (nobody polled) the model jumps ahead instead of replaying hours.
constexpr auto kMaxCatchUp = std::chrono::seconds(2);

double Wave(double t, double period, double phase = 0) {
    return std::sin(2 * std::numbers::pi * t / period + phase);
}

} // namespace

CAgcMeterModel::CAgcMeterModel(std::uint32_t seed) : m_random(seed) {}

void CAgcMeterModel::Advance(Clock::time_point now, const Settings& settings) {
    if (!m_last) {
        m_last = now;
        StepOnce(settings);
        return;
    }
    if (now - *m_last > kMaxCatchUp) {
        *m_last = now - kMaxCatchUp;
    }
    while (now - *m_last >= kStep) {
        *m_last += kStep;
        StepOnce(settings);
    }
}

std::uint8_t CAgcMeterModel::LevelSegments(double db) {
    const double segments = std::round((db - kFloorDb) / (-kFloorDb / kSegments));
    return static_cast<std::uint8_t>(std::clamp(segments, 0.0, double{kSegments}));
}

std::uint8_t CAgcMeterModel::LevelColour(double db) {
    if (db > -3) {
        return 3;
    }
    return db > -9 ? 1 : 2;
}

std::uint8_t CAgcMeterModel::ReductionSegments(double db) {
    const double segments = std::round(db * kSegments / kMaxReductionDb);
    return static_cast<std::uint8_t>(std::clamp(segments, 0.0, double{kSegments}));
}

void CAgcMeterModel::UpdatePeak(Row& row, Peak& peak) const {
    if (row.lit >= peak.position) {
        peak.position = row.lit;
        peak.holdSeconds = kPeakHoldSeconds;
    } else if (peak.holdSeconds > 0) {
        peak.holdSeconds -= kStepSeconds;
    } else {
        peak.position = std::max(0.0, peak.position - kPeakFallSegmentsPerSecond * kStepSeconds);
    }
    const auto mark = static_cast<std::uint8_t>(std::lround(peak.position));
    row.peak = mark > row.lit ? mark : 0;
}

void CAgcMeterModel::StepOnce(const Settings& s) {
    m_seconds += kStepSeconds;
    const double t = m_seconds;

    // Programme: slow phrases, syllables, a little noise and the odd pause.
    double left =
        -16 + 7 * Wave(t, 9.1) + 4 * Wave(t, 2.3, 1) + 2.5 * Wave(t, 0.41) + m_noise(m_random);
    if (Wave(t, 23) > 0.97) {
        left = -70;
    }
    const double right = left - 1 + 1.5 * Wave(t, 5.3);
    const double input = std::max(left, right);
    const bool gated = input < s.gateDb;

    static constexpr std::array<double, 4> kBandOffsetDb = {-3, -5, -8, -11};
    std::array<double, 4> bandIn{};
    for (std::size_t k = 0; k < 4; ++k) {
        bandIn[k] = input + kBandOffsetDb[k] + 3 * Wave(t, 1.3 + 0.9 * k, double(k));
    }

    // Each band rides towards its target; wideband mode moves all bands together.
    const double wideDesired = kTargetDb - (input + s.driveDb);
    for (std::size_t k = 0; k < 4; ++k) {
        const double target = kTargetDb + kBandOffsetDb[k] + s.bandTrimDb[k];
        double desired = s.multiband ? target - (bandIn[k] + s.driveDb) : wideDesired;
        desired = std::clamp(desired, kMaxGainDb - kMaxReductionDb, kMaxGainDb);
        if (s.bypass || gated) {
            continue; // the gate freezes the gain; bypass leaves it where it was
        }
        const double rate = desired < m_gainDb[k] ? kAttackDbPerSecond : s.releaseDbPerSecond;
        const double move =
            std::clamp(desired - m_gainDb[k], -rate * kStepSeconds, rate * kStepSeconds);
        m_gainDb[k] += move;
    }

    double meanGain = 0;
    std::array<double, 4> bandOut{};
    for (std::size_t k = 0; k < 4; ++k) {
        meanGain += m_gainDb[k] / 4;
        bandOut[k] = s.bypass ? bandIn[k] : bandIn[k] + s.driveDb + m_gainDb[k];
    }
    double outLeft = s.bypass ? left : left + s.driveDb + meanGain;
    double outRight = s.bypass ? right : right + s.driveDb + meanGain;
    double limiterDb = 0;
    if (!s.bypass && s.limiter) {
        limiterDb = std::max(0.0, std::max(outLeft, outRight) - s.ceilingDb);
        outLeft -= limiterDb;
        outRight -= limiterDb;
    }

    auto level = [](double db) { return Row{LevelSegments(db), LevelColour(db), 0}; };
    auto reduction = [&](double db) {
        const double r = s.bypass ? 0.0 : std::max(0.0, db);
        return Row{ReductionSegments(r), static_cast<std::uint8_t>(r > 18 ? 3 : 1), 0};
    };

    m_ioRows = {level(left),       level(right),      level(outLeft),    level(outRight),
                level(bandOut[0]), level(bandOut[1]), level(bandOut[2]), level(bandOut[3])};
    m_agcRows = {reduction(kMaxGainDb - m_gainDb[0]),
                 reduction(kMaxGainDb - m_gainDb[1]),
                 reduction(kMaxGainDb - m_gainDb[2]),
                 reduction(kMaxGainDb - m_gainDb[3]),
                 reduction(kMaxGainDb - meanGain),
                 reduction(limiterDb),
                 Row{static_cast<std::uint8_t>(gated && !s.bypass ? kSegments : 0), 3, 0},
                 level(std::max(outLeft, outRight))};
    for (std::size_t r = 0; r < 8; ++r) {
        UpdatePeak(m_ioRows[r], m_ioPeaks[r]);
        UpdatePeak(m_agcRows[r], m_agcPeaks[r]);
    }
}
