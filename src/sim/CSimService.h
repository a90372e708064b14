#pragma once

#include <functional>
#include <span>
#include <vector>

#include "sim/CFaultInjector.h"
#include "sim/CProcessor.h"

// The processor as the transports see it: a request in, the pieces of its reply out, with
// the configured faults applied. Both transports share one, as both ports of a processor
// reach the same unit.
class CSimService {
public:
    CSimService(CProcessor& processor, CFaultInjector& faults, std::function<void()> onChange)
        : m_processor(processor), m_faults(faults), m_onChange(std::move(onChange)) {}

    std::vector<CFaultInjector::Piece> Serve(std::span<const std::uint8_t> request);
    [[nodiscard]] int ExpectedRequestLength(std::span<const std::uint8_t> bytes) const {
        return m_processor.ExpectedRequestLength(bytes);
    }

private:
    CProcessor& m_processor;
    CFaultInjector& m_faults;
    std::function<void()> m_onChange;
};
