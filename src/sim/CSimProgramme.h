#pragma once

#include <array>
#include <cstdint>
#include <random>

// The programme the simulated processor plays: music and speech sections with pauses between
// them, and between the phrases of speech. Music has a beat (kicks in the bass, snare and hats
// higher up) and songs of different loudness and balance; speech has syllables, speakers of
// different level and sibilance in the treble. It yields, per 10 ms step, the momentary level
// of each of the four bands and of the left and right input. A seed gives the same programme.
class CSimProgramme {
public:
    enum class Section { Music, Speech };

    struct Frame {
        std::array<double, 4> bandDb{}; // momentary level of each band, low to high
        double leftDb = 0;
        double rightDb = 0;
        bool pause = false; // silence: between sections or between the phrases of speech
        Section section = Section::Music;
    };

    static constexpr double kStepSeconds = 0.010;
    static constexpr double kSilenceDb = -70.0;

    explicit CSimProgramme(std::uint32_t seed);

    // Advances by one step and returns the new frame.
    const Frame& Step();
    [[nodiscard]] const Frame& Current() const { return m_frame; }

private:
    void StartSection();
    void StartPhrase();
    double Uniform(double low, double high);
    double Gauss(double spread);

    std::mt19937 m_random;
    Frame m_frame;
    double m_sectionLeft = 0; // seconds left of the current music or speech section
    double m_pauseLeft = 0;   // seconds of silence still to come
    double m_levelDb = 0;     // the song's or speaker's loudness
    std::array<double, 4> m_balanceDb{};
    // Music
    double m_beatSeconds = 0.5;
    double m_beatPhase = 0;
    int m_beat = 0;
    double m_stereoDb = 0;
    // Speech
    double m_phraseLeft = 0;
    double m_syllableLeft = 0;
    double m_syllableLength = 0.2;
    double m_syllableDb = 0;
    // Shared
    std::array<double, 4> m_driftDb{}; // slow wandering of each band
    std::array<double, 4> m_hitDb{};   // decaying transients of each band
};
