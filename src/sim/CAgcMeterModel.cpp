#include "sim/CAgcMeterModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr double kStepSeconds = 0.010;
constexpr double kFloorDb = -48.0; // the lowest level the meters show
constexpr double kMaxReductionDb = 24.0;
constexpr double kMaxGainDb = 6.0; // the AGC's gain at rest; its meters show reduction from it
constexpr double kTargetDb = -3.0; // where the AGC holds the programme, just under the limiter
// Per band, low to high: bass rides slower than treble, its content wanders more slowly, and
// its transients (kicks) are rarer and longer than the treble's (sibilance, cymbals).
constexpr std::array<double, 4> kBandOffsetDb = {-3, -5, -8, -11}; // they sum to the input
constexpr std::array<double, 4> kAttackDbPerSecond = {10, 16, 24, 36};
constexpr std::array<double, 4> kReleaseFactor = {0.6, 0.85, 1.2, 1.6};
constexpr std::array<double, 4> kDriftSeconds = {1.8, 1.0, 0.6, 0.35};
constexpr std::array<double, 4> kDriftSpreadDb = {4.0, 3.5, 3.5, 4.5};
constexpr std::array<double, 4> kBurstsPerSecond = {1.6, 0.7, 0.9, 1.4};
constexpr std::array<double, 4> kBurstFallDbPerSecond = {25, 35, 50, 70};
constexpr std::array<double, 4> kBandWavePeriod = {3.7, 2.1, 1.3, 0.77};
constexpr double kWideAttackDbPerSecond = 20.0;
constexpr double kCrestDb = 3.5; // programme peaks sit this far above the metered level
constexpr double kLimiterReleaseDbPerSecond = 30.0;
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
    const bool pause = Wave(t, 23) > 0.97;
    if (pause) {
        left = -70;
    }
    const double right = left - 1 + 1.5 * Wave(t, 5.3);
    const double input = std::max(left, right);
    const bool gated = input < s.gateDb;

    // Each band's share of the programme: its own wandering level (smoothed noise that keeps
    // its spread whatever the smoothing), its own rhythm and its own transients. The random
    // draws happen every step whatever the settings, so a seed always gives the same programme.
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::array<double, 4> bandIn{};
    for (std::size_t k = 0; k < 4; ++k) {
        const double a = kStepSeconds / kDriftSeconds[k];
        m_bandDriftDb[k] +=
            -a * m_bandDriftDb[k] + std::sqrt(2 * a) * kDriftSpreadDb[k] * gauss(m_random);
        m_bandBurstDb[k] =
            std::max(0.0, m_bandBurstDb[k] - kBurstFallDbPerSecond[k] * kStepSeconds);
        const bool burst = unit(m_random) < kBurstsPerSecond[k] * kStepSeconds;
        const double height = 3 + 7 * unit(m_random);
        if (burst && !pause) {
            m_bandBurstDb[k] = std::max(m_bandBurstDb[k], height);
        }
        bandIn[k] = pause ? input + kBandOffsetDb[k]
                          : input + kBandOffsetDb[k] + m_bandDriftDb[k] +
                                2 * Wave(t, kBandWavePeriod[k], double(k)) + m_bandBurstDb[k];
    }

    // Multiband: each band rides towards its own target at its own speed. Wideband: one gain,
    // driven by the whole programme, serves all bands. The gate freezes the gains; bypass
    // leaves them where they were.
    const bool ride = !s.bypass && !gated;
    auto rideTowards = [](double& gain, double desired, double attack, double release) {
        desired = std::clamp(desired, kMaxGainDb - kMaxReductionDb, kMaxGainDb);
        const double rate = desired < gain ? attack : release;
        gain += std::clamp(desired - gain, -rate * kStepSeconds, rate * kStepSeconds);
    };
    if (ride && s.multiband) {
        for (std::size_t k = 0; k < 4; ++k) {
            const double target = kTargetDb + kBandOffsetDb[k] + s.bandTrimDb[k];
            rideTowards(m_gainDb[k], target - (bandIn[k] + s.driveDb), kAttackDbPerSecond[k],
                        s.releaseDbPerSecond * kReleaseFactor[k]);
        }
    } else if (ride) {
        // The wideband detector hears the whole programme, band transients included.
        double power = 0;
        for (const double band : bandIn) {
            power += std::pow(10.0, band / 10);
        }
        rideTowards(m_wideGainDb, kTargetDb - (10 * std::log10(power) + s.driveDb),
                    kWideAttackDbPerSecond, s.releaseDbPerSecond);
    }
    std::array<double, 4> gain{};
    for (std::size_t k = 0; k < 4; ++k) {
        gain[k] = s.multiband ? m_gainDb[k] : m_wideGainDb;
    }

    // The output is the sum of the band outputs; the limiter holds its peaks under the ceiling.
    double meanGain = 0;
    double outPower = 0;
    std::array<double, 4> bandOut{};
    for (std::size_t k = 0; k < 4; ++k) {
        meanGain += gain[k] / 4;
        bandOut[k] = s.bypass ? bandIn[k] : bandIn[k] + s.driveDb + gain[k];
        outPower += std::pow(10.0, bandOut[k] / 10);
    }
    const double outMono = 10 * std::log10(outPower);
    double outLeft = s.bypass ? left : outMono + (left - input);
    double outRight = s.bypass ? right : outMono + (right - input);
    if (!s.bypass && s.limiter) {
        const double over = std::max(0.0, std::max(outLeft, outRight) + kCrestDb - s.ceilingDb);
        m_limiterDb = std::max(over, m_limiterDb - kLimiterReleaseDbPerSecond * kStepSeconds);
        outLeft -= m_limiterDb;
        outRight -= m_limiterDb;
    } else {
        m_limiterDb = 0;
    }

    auto level = [](double db) { return Row{LevelSegments(db), LevelColour(db), 0}; };
    auto reduction = [&](double db) {
        const double r = s.bypass ? 0.0 : std::max(0.0, db);
        return Row{ReductionSegments(r), static_cast<std::uint8_t>(r > 18 ? 3 : 1), 0};
    };

    m_ioRows = {level(left),       level(right),      level(outLeft),    level(outRight),
                level(bandOut[0]), level(bandOut[1]), level(bandOut[2]), level(bandOut[3])};
    m_agcRows = {reduction(kMaxGainDb - gain[0]),
                 reduction(kMaxGainDb - gain[1]),
                 reduction(kMaxGainDb - gain[2]),
                 reduction(kMaxGainDb - gain[3]),
                 reduction(kMaxGainDb - meanGain),
                 reduction(m_limiterDb),
                 Row{static_cast<std::uint8_t>(gated && !s.bypass ? kSegments : 0), 3, 0},
                 level(std::max(outLeft, outRight))};
    for (std::size_t r = 0; r < 8; ++r) {
        UpdatePeak(m_ioRows[r], m_ioPeaks[r]);
        UpdatePeak(m_agcRows[r], m_agcPeaks[r]);
    }
}
