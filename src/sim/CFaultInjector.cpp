#include "sim/CFaultInjector.h"

#include <algorithm>

CFaultInjector::CFaultInjector(const Options& options)
    : m_options(options), m_random(options.seed) {}

bool CFaultInjector::Active() const {
    return m_options.nak > 0 || m_options.garble > 0 || m_options.drop > 0 || m_options.stray > 0 ||
           m_options.cancel > 0 || m_options.delayMs > 0 || m_options.split;
}

bool CFaultInjector::Chance(double probability) {
    if (probability <= 0) {
        return false;
    }
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < probability;
}

CFaultInjector::Verdict CFaultInjector::Decide(bool inTransfer) {
    if (Chance(m_options.drop)) {
        return Verdict::Drop;
    }
    if (!inTransfer && Chance(m_options.nak)) {
        return Verdict::Refuse;
    }
    if (inTransfer && Chance(m_options.cancel)) {
        return Verdict::Cancel;
    }
    return Verdict::Process;
}

std::vector<CFaultInjector::Piece> CFaultInjector::Shape(std::vector<std::uint8_t> reply) {
    const std::chrono::milliseconds delay{m_options.delayMs};
    std::vector<Piece> pieces;
    if (reply.empty()) {
        return pieces;
    }
    // Only replies that carry a checksum can be garbled detectably; a lone control byte
    // (ACK, NAK, EOT) is left alone.
    if (reply.size() > 1 && Chance(m_options.garble)) {
        if (std::uniform_int_distribution<int>(0, 1)(m_random) == 0) {
            reply.back() = static_cast<std::uint8_t>(reply.back() + 1);
        } else {
            const auto at =
                std::uniform_int_distribution<std::size_t>(2, reply.size() - 1)(m_random);
            reply[at] ^=
                static_cast<std::uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(m_random));
        }
    }
    if (m_options.split && reply.size() > 1) {
        // Two or three pieces a few milliseconds apart, so a reader sees them separately.
        const std::size_t parts = std::min<std::size_t>(reply.size(), reply.size() > 2 ? 3 : 2);
        std::vector<std::size_t> cuts;
        for (std::size_t i = 1; i < parts; ++i) {
            cuts.push_back(
                std::uniform_int_distribution<std::size_t>(1, reply.size() - 1)(m_random));
        }
        cuts.push_back(0);
        cuts.push_back(reply.size());
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
            pieces.push_back(
                {delay + std::chrono::milliseconds(5 * i),
                 std::vector<std::uint8_t>(reply.begin() + cuts[i], reply.begin() + cuts[i + 1])});
        }
    } else {
        pieces.push_back({delay, std::move(reply)});
    }
    if (Chance(m_options.stray)) {
        std::vector<std::uint8_t> junk(std::uniform_int_distribution<std::size_t>(1, 4)(m_random));
        for (auto& b : junk) {
            b = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(m_random));
        }
        pieces.push_back({pieces.back().after + std::chrono::milliseconds(2), std::move(junk)});
    }
    return pieces;
}
