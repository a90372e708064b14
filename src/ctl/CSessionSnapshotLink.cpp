#include "ctl/CSessionSnapshotLink.h"

#include "snapshot/TransferRetry.h"

CSessionSnapshotLink::CSessionSnapshotLink(CLinkSession& session, int lockCode, Notice notice)
    : m_session(session), m_lockCode(lockCode), m_notice(std::move(notice)) {}

ISnapshotLink::Result CSessionSnapshotLink::From(CLinkSession::Status status) {
    switch (status) {
    case CLinkSession::Status::Ok:
        return Result::Ok;
    case CLinkSession::Status::Refused:
        return Result::Refused;
    case CLinkSession::Status::Cancelled:
        return Result::Cancelled;
    case CLinkSession::Status::NoResponse:
        break;
    }
    return Result::NoResponse;
}

CLinkSession::Status CSessionSnapshotLink::ToStatus(Result result) {
    switch (result) {
    case Result::Ok:
        return CLinkSession::Status::Ok;
    case Result::Refused:
        return CLinkSession::Status::Refused;
    case Result::Cancelled:
        return CLinkSession::Status::Cancelled;
    case Result::NoResponse:
        break;
    }
    return CLinkSession::Status::NoResponse;
}

ISnapshotLink::Result
CSessionSnapshotLink::Transfer(const std::string& what,
                               const std::function<CLinkSession::Status()>& attempt) {
    bool retried = false;
    const auto retrying = [&](int tryNumber) {
        retried = true;
        if (m_notice) {
            m_notice("the transfer of " + what + " was broken off, trying again (" +
                     std::to_string(tryNumber) + " of " +
                     std::to_string(TransferRetry::kRetries + 1) + ")");
        }
    };
    const Result result = TransferRetry::Run([&] { return From(attempt()); }, retrying);
    // The request was taken before, so it is no refusal now: the processor went quiet.
    return retried && result == Result::Refused ? Result::NoResponse : result;
}

ISnapshotLink::Result CSessionSnapshotLink::ReadVersion(std::string& version) {
    return From(m_session.ReadVersion(version));
}

ISnapshotLink::Result CSessionSnapshotLink::GetConfig(ByteString& description) {
    return Transfer("Get Config", [&] { return m_session.GetConfig(m_lockCode, description); });
}

ISnapshotLink::Result CSessionSnapshotLink::GetFactoryPresetNumber(int& count) {
    return From(m_session.GetFactoryPresetNumber(count));
}

ISnapshotLink::Result CSessionSnapshotLink::GetPreset(std::uint8_t preset, ByteString& data) {
    return Transfer("Get Preset", [&] { return m_session.GetPreset(preset, data); });
}

ISnapshotLink::Result CSessionSnapshotLink::ReadParameter(ParamAddress address,
                                                          std::uint8_t& value) {
    return From(m_session.ReadParameter(address.a, address.b, address.c, value));
}

ISnapshotLink::Result CSessionSnapshotLink::ReadLeds(ByteString& reply) {
    return From(m_session.ReadLeds(reply));
}

ISnapshotLink::Result CSessionSnapshotLink::WriteParameter(ParamAddress address, std::uint8_t value,
                                                           std::uint8_t& stored) {
    return From(m_session.WriteParameter(address.a, address.b, address.c, value, stored));
}

ISnapshotLink::Result CSessionSnapshotLink::SendPreset(std::uint8_t preset,
                                                       const ByteString& data) {
    return Transfer("Send Preset", [&] { return m_session.SendPreset(preset, data); });
}
