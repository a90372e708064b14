#include "sim/CSimProgramme.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Loudness and band balance (low to high) of a typical song and a typical voice; each song
// and speaker strays from them a little.
constexpr double kMusicDb = -15.0;
constexpr double kSpeechDb = -18.0;
constexpr std::array<double, 4> kMusicBalanceDb = {-4, -6, -9, -12};
constexpr std::array<double, 4> kSpeechBalanceDb = {-9, -4, -8, -14};
constexpr std::array<double, 4> kHitFallDbPerSecond = {30, 40, 60, 90};
constexpr double kDriftSeconds = 2.5;
constexpr double kDriftSpreadDb = 1.5;

} // namespace

CSimProgramme::CSimProgramme(std::uint32_t seed) : m_random(seed) {
    m_frame.section = Uniform(0, 1) < 0.5 ? Section::Music : Section::Speech;
    // Start in the middle of a section, as a station does when it is tuned in.
    StartSection();
    m_sectionLeft *= Uniform(0.3, 1.0);
}

double CSimProgramme::Uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(m_random);
}

double CSimProgramme::Gauss(double spread) {
    return std::normal_distribution<double>(0.0, spread)(m_random);
}

void CSimProgramme::StartSection() {
    if (m_frame.section == Section::Music) {
        m_sectionLeft = Uniform(15, 30);
        m_levelDb = kMusicDb + Gauss(1.5);
        m_beatSeconds = 60.0 / Uniform(88, 136);
        m_beatPhase = 0;
        m_beat = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            m_balanceDb[k] = kMusicBalanceDb[k] + Gauss(1.5);
        }
    } else {
        m_sectionLeft = Uniform(8, 18);
        m_levelDb = kSpeechDb + Gauss(2.0);
        for (std::size_t k = 0; k < 4; ++k) {
            m_balanceDb[k] = kSpeechBalanceDb[k] + Gauss(1.0);
        }
        StartPhrase();
    }
}

void CSimProgramme::StartPhrase() {
    m_phraseLeft = Uniform(1.2, 4.0);
    m_syllableLeft = 0;
}

const CSimProgramme::Frame& CSimProgramme::Step() {
    constexpr double dt = kStepSeconds;
    for (std::size_t k = 0; k < 4; ++k) {
        const double a = dt / kDriftSeconds;
        m_driftDb[k] += -a * m_driftDb[k] + std::sqrt(2 * a) * kDriftSpreadDb * Gauss(1.0);
        m_hitDb[k] = std::max(0.0, m_hitDb[k] - kHitFallDbPerSecond[k] * dt);
    }

    if (m_pauseLeft > 0) {
        m_pauseLeft -= dt;
        m_frame.pause = true;
        for (auto& band : m_frame.bandDb) {
            band = kSilenceDb + Gauss(1.0);
        }
        m_frame.leftDb = m_frame.rightDb = kSilenceDb;
        return m_frame;
    }
    m_frame.pause = false;

    m_sectionLeft -= dt;
    if (m_sectionLeft <= 0) {
        // A short silence between the song and the talk, then the other kind.
        m_frame.section = m_frame.section == Section::Music ? Section::Speech : Section::Music;
        StartSection();
        m_pauseLeft = Uniform(0.4, 1.0);
        return Step();
    }

    std::array<double, 4> content{};
    double stereoDb = 0;
    if (m_frame.section == Section::Music) {
        // Half beats: a kick on every beat, a snare on the second and fourth, hats throughout.
        m_beatPhase += dt;
        if (m_beatPhase >= m_beatSeconds / 2) {
            m_beatPhase -= m_beatSeconds / 2;
            ++m_beat;
            if (m_beat % 2 == 0) {
                m_hitDb[0] = std::max(m_hitDb[0], Uniform(5, 8));
            }
            if (m_beat % 4 == 2) {
                m_hitDb[1] = std::max(m_hitDb[1], Uniform(1, 3));
                m_hitDb[2] = std::max(m_hitDb[2], Uniform(3, 6));
            }
            m_hitDb[3] = std::max(m_hitDb[3], Uniform(2, 4));
        }
        // Now and then an accent over the whole band: a crash, a chorus coming in.
        if (Uniform(0, 1) < 0.12 * dt) {
            for (auto& hit : m_hitDb) {
                hit = std::max(hit, Uniform(3, 6));
            }
        }
        stereoDb = 1.5 * m_driftDb[1] / kDriftSpreadDb;
    } else {
        m_phraseLeft -= dt;
        if (m_phraseLeft <= 0) {
            StartPhrase();
            m_pauseLeft = Uniform(0.25, 0.8); // a breath between phrases
            return Step();
        }
        if (m_syllableLeft <= 0) {
            m_syllableLength = Uniform(0.12, 0.3);
            m_syllableLeft = m_syllableLength;
            m_syllableDb = Gauss(2.5);
            if (Uniform(0, 1) < 0.15) {
                m_hitDb[3] = std::max(m_hitDb[3], Uniform(6, 10)); // sibilance
            }
            if (Uniform(0, 1) < 0.08) {
                m_hitDb[0] = std::max(m_hitDb[0], Uniform(3, 6)); // a plosive
            }
        }
        m_syllableLeft -= dt;
        const double x = std::clamp(1 - m_syllableLeft / m_syllableLength, 0.0, 1.0);
        const double envelope = 10 * std::log10(0.08 + 0.92 * std::sin(std::numbers::pi * x));
        for (auto& c : content) {
            c = m_syllableDb + envelope;
        }
    }

    double power = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        m_frame.bandDb[k] = m_levelDb + m_balanceDb[k] + m_driftDb[k] + content[k] + m_hitDb[k];
        power += std::pow(10.0, m_frame.bandDb[k] / 10);
    }
    const double total = 10 * std::log10(power);
    m_frame.leftDb = total + stereoDb / 2;
    m_frame.rightDb = total - stereoDb / 2;
    return m_frame;
}
