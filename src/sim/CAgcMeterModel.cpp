#include "sim/CAgcMeterModel.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double kStepSeconds = CSimProgramme::kStepSeconds;
constexpr double kFloorDb = -48.0; // the lowest level the meters show
constexpr double kMaxReductionDb = 24.0;
constexpr double kMaxGainDb = 6.0; // the AGC's gain at rest; its meters show reduction from it
// Where each band's AGC holds its band's smoothed level (before the drive), low to high: the
// balance of typical music, so a typical song gets a few dB of gain reduction in every band.
constexpr double kTargetDb = -18.5;
// Above its target the AGC takes two of every three dB (a 3:1 ratio), so more drive means more
// gain reduction, but a hot preset still reads a few dB, not an alarm.
constexpr double kRatioSlope = 2.0 / 3.0;
constexpr double kOutputGainDb = 1.0; // lifts the summed bands to a healthy output level
constexpr std::array<double, 4> kBandTargetDb = {-4, -6, -9, -12};
// Bass rides slower than treble: longer detector, slower attack and release.
constexpr std::array<double, 4> kDetectSeconds = {0.5, 0.35, 0.25, 0.2};
constexpr std::array<double, 4> kAttackDbPerSecond = {3, 4, 5, 6};
constexpr std::array<double, 4> kReleaseFactor = {0.6, 0.85, 1.2, 1.6};
constexpr double kWideDetectSeconds = 0.4;
constexpr double kWideAttackDbPerSecond = 4.0;
constexpr double kGateDetectSeconds = 0.02;
// The programme's true peaks sit this far above its momentary level; the output meter is a
// quasi-peak meter and reads less of them.
constexpr double kCrestDb = 6.0;
constexpr double kQuasiPeakDb = 2.0;
constexpr double kLimiterReleaseDbPerSecond = 10.0;
// Gain reduction reads green while normal, yellow when heavy, red only when excessive.
constexpr double kAgcCautionDb = 10.0;
constexpr double kAgcOverDb = 16.0;
constexpr double kLimiterCautionDb = 3.0;
constexpr double kLimiterOverDb = 6.0;
constexpr double kPeakHoldSeconds = 1.5;
constexpr double kPeakFallSegmentsPerSecond = 12.0;
// After a long pause (nobody polled) the model jumps ahead instead of replaying hours.
constexpr auto kMaxCatchUp = std::chrono::seconds(2);

double Power(double db) {
    return std::pow(10.0, db / 10);
}
double Decibels(double power) {
    return 10 * std::log10(std::max(power, 1e-12));
}
void Smooth(double& power, double db, double seconds) {
    power += (Power(db) - power) * (kStepSeconds / seconds);
}

} // namespace

CAgcMeterModel::CAgcMeterModel(std::uint32_t seed) : m_programme(seed) {}

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

std::uint8_t CAgcMeterModel::ReductionColour(double db, double caution, double over) {
    if (db > over) {
        return 3;
    }
    return db > caution ? 1 : 2;
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
    const auto& programme = m_programme.Step();
    const double left = programme.leftDb;
    const double right = programme.rightDb;
    const auto& bandIn = programme.bandDb;
    const double input = std::max(left, right);

    // The gate hears the input over a few tens of milliseconds: it closes in the pauses
    // between sections and phrases, not in the dips between syllables, and holds the gains
    // (and what the detectors heard) while closed, so a pause does not pump the gain up.
    Smooth(m_gatePower, input, kGateDetectSeconds);
    const bool gated = Decibels(m_gatePower) < s.gateDb;

    // Multiband: each band rides its smoothed level towards its own target at its own speed.
    // Wideband: one gain, driven by the whole programme, serves all bands. Bypass leaves the
    // gains where they were.
    const bool ride = !s.bypass && !gated;
    // over: how far the detected level (with the drive) stands above where reduction begins.
    auto rideTowards = [](double& gain, double over, double attack, double release) {
        const double desired =
            std::clamp(kMaxGainDb - kRatioSlope * over, kMaxGainDb - kMaxReductionDb, kMaxGainDb);
        const double rate = desired < gain ? attack : release;
        gain += std::clamp(desired - gain, -rate * kStepSeconds, rate * kStepSeconds);
    };
    if (ride) {
        double inPower = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            Smooth(m_detectPower[k], bandIn[k], kDetectSeconds[k]);
            inPower += Power(bandIn[k]);
        }
        Smooth(m_wideDetectPower, Decibels(inPower), kWideDetectSeconds);
        if (s.multiband) {
            for (std::size_t k = 0; k < 4; ++k) {
                const double target = kTargetDb + kBandTargetDb[k];
                rideTowards(m_gainDb[k], Decibels(m_detectPower[k]) + s.driveDb - target,
                            kAttackDbPerSecond[k], s.releaseDbPerSecond * kReleaseFactor[k]);
            }
        } else {
            rideTowards(m_wideGainDb, Decibels(m_wideDetectPower) + s.driveDb - kTargetDb,
                        kWideAttackDbPerSecond, s.releaseDbPerSecond);
        }
    }
    std::array<double, 4> gain{};
    for (std::size_t k = 0; k < 4; ++k) {
        gain[k] = s.multiband ? m_gainDb[k] : m_wideGainDb;
    }

    // The output is the sum of the band outputs, each after its trim; the limiter holds the
    // programme's peaks under the ceiling. The output meter shows those peaks.
    double meanGain = 0;
    double outPower = 0;
    std::array<double, 4> bandOut{};
    for (std::size_t k = 0; k < 4; ++k) {
        meanGain += gain[k] / 4;
        bandOut[k] = s.bypass ? bandIn[k]
                              : bandIn[k] + s.driveDb + gain[k] + s.bandTrimDb[k] + kOutputGainDb;
        outPower += Power(bandOut[k]);
    }
    const double outMono = Decibels(outPower);
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
    auto reduction = [&](double db, double caution, double over) {
        const double r = s.bypass ? 0.0 : std::max(0.0, db);
        return Row{ReductionSegments(r), ReductionColour(r, caution, over), 0};
    };
    auto agc = [&](double g) { return reduction(kMaxGainDb - g, kAgcCautionDb, kAgcOverDb); };

    m_ioRows = {level(left),       level(right),      level(outLeft),    level(outRight),
                level(bandOut[0]), level(bandOut[1]), level(bandOut[2]), level(bandOut[3])};
    // The gate row lights (yellow: the AGC holds, nothing is wrong) while the gate is closed.
    m_agcRows = {agc(gain[0]),
                 agc(gain[1]),
                 agc(gain[2]),
                 agc(gain[3]),
                 agc(meanGain),
                 reduction(m_limiterDb, kLimiterCautionDb, kLimiterOverDb),
                 Row{static_cast<std::uint8_t>(gated && !s.bypass ? kSegments : 0), 1, 0},
                 level(std::max(outLeft, outRight) + kQuasiPeakDb)};
    for (std::size_t r = 0; r < 8; ++r) {
        UpdatePeak(m_ioRows[r], m_ioPeaks[r]);
        UpdatePeak(m_agcRows[r], m_agcPeaks[r]);
    }
}
