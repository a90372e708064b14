#include "sim/CSimService.h"

std::vector<CFaultInjector::Piece> CSimService::Serve(std::span<const std::uint8_t> request) {
    switch (m_faults.Decide(m_processor.InTransfer())) {
    case CFaultInjector::Verdict::Drop:
        return {};
    case CFaultInjector::Verdict::Refuse:
        return m_faults.Shape({0x15});
    case CFaultInjector::Verdict::Cancel:
        return m_faults.Shape(m_processor.CancelTransfer());
    case CFaultInjector::Verdict::Process:
        break;
    }
    auto reply = m_processor.Handle(request, CProcessor::Clock::now());
    if (m_onChange && m_processor.TakeDirty()) {
        m_onChange();
    }
    return m_faults.Shape(std::move(reply));
}
