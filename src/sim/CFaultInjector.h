#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

// Spoils the processor's replies the way a bad line or a busy processor would, reproducibly
// from a seed. Every probability applies per reply.
class CFaultInjector {
public:
    struct Options {
        double nak = 0;     // refuse the request instead of acting on it
        double garble = 0;  // break the checksum or flip a byte of the reply
        double drop = 0;    // the request is lost: no action, no reply
        double stray = 0;   // junk bytes follow the reply
        double cancel = 0;  // a running transfer is cancelled instead of answered
        int delayMs = 0;    // every reply leaves this late
        bool split = false; // every reply goes out in several pieces
        std::uint32_t seed = 1;
    };

    // One piece of a reply and how long after the request it leaves.
    struct Piece {
        std::chrono::milliseconds after{0};
        std::vector<std::uint8_t> bytes;
    };

    // What to do with a request before the processor sees it.
    enum class Verdict { Process, Refuse, Drop, Cancel };

    explicit CFaultInjector(const Options& options);

    // inTransfer: an XModem transfer runs, where a refusal has no meaning and is not injected,
    // and which alone can be cancelled.
    Verdict Decide(bool inTransfer);
    // Cuts, spoils and times the reply.
    std::vector<Piece> Shape(std::vector<std::uint8_t> reply);

    [[nodiscard]] bool Active() const;

private:
    bool Chance(double probability);

    Options m_options;
    std::mt19937 m_random;
};
