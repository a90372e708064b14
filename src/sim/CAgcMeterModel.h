#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "sim/CSimProgramme.h"

// A simple four-band AGC with a limiter, run on a station's programme (CSimProgramme: music,
// speech, pauses), that yields the eight meter rows of the LED state. It advances with the
// steady clock in fixed steps, so the meters move at the same speed however often they are
// read. Each band's AGC rides on a smoothed level of its band at its own speed, so gain
// reduction sits at a few dB and the bands move apart as they do on air; the limiter catches
// the transients that the slow AGC lets through; the gate holds the gains in pauses.
class CAgcMeterModel {
public:
    using Clock = std::chrono::steady_clock;

    struct Settings {
        double driveDb = 0;
        double releaseDbPerSecond = 3;
        double gateDb = -45;
        bool multiband = true;
        std::array<double, 4> bandTrimDb{};
        bool limiter = true;
        double ceilingDb = -1;
        bool bypass = false;
    };

    struct Row {
        std::uint8_t lit = 0;    // 0..32 segments
        std::uint8_t colour = 0; // 1 yellow, 2 green, 3 red
        std::uint8_t peak = 0;   // 0 = no peak mark
    };
    using Rows = std::array<Row, 8>;

    static constexpr auto kStep = std::chrono::milliseconds(10);
    static constexpr int kSegments = 32;

    explicit CAgcMeterModel(std::uint32_t seed = 1);

    void Advance(Clock::time_point now, const Settings& settings);
    // AGC view: gain reduction of the four bands, their mean, the limiter, the gate, output.
    // Input/output view: input L and R, output L and R, the four band outputs.
    [[nodiscard]] Rows GetRows(bool ioView) const { return ioView ? m_ioRows : m_agcRows; }
    // The programme as it plays at the last step.
    [[nodiscard]] const CSimProgramme::Frame& Programme() const { return m_programme.Current(); }

private:
    void StepOnce(const Settings& settings);
    static std::uint8_t LevelSegments(double db);
    static std::uint8_t LevelColour(double db);
    static std::uint8_t ReductionSegments(double db);
    static std::uint8_t ReductionColour(double db, double caution, double over);

    struct Peak {
        double position = 0;
        double holdSeconds = 0;
    };
    void UpdatePeak(Row& row, Peak& peak) const;

    CSimProgramme m_programme;
    std::optional<Clock::time_point> m_last;
    std::array<double, 4> m_gainDb{};      // multiband gains, one per band
    double m_wideGainDb = 0;               // the one gain of wideband mode
    std::array<double, 4> m_detectPower{}; // each band's smoothed power, what its AGC hears
    double m_wideDetectPower = 0;          // the whole programme's, for wideband mode
    double m_gatePower = 0;                // the input's power over a few tens of ms
    double m_limiterDb = 0;
    std::array<Peak, 8> m_agcPeaks{};
    std::array<Peak, 8> m_ioPeaks{};
    Rows m_agcRows{};
    Rows m_ioRows{};
};
