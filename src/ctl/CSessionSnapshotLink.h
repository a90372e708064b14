#pragma once

#include <functional>
#include <string>

#include "ctl/CLinkSession.h"
#include "snapshot/ISnapshotLink.h"

// The snapshot's requests over solvei-ctl's link session. Transfers broken off (stray bytes
// cancel them) are tried again a few times (TransferRetry), as the other commands do.
class CSessionSnapshotLink : public ISnapshotLink {
public:
    using Notice = std::function<void(const std::string&)>;

    // notice, when set, hears of a transfer tried again.
    CSessionSnapshotLink(CLinkSession& session, int lockCode, Notice notice = nullptr);

    Result ReadVersion(std::string& version) override;
    Result GetConfig(ByteString& description) override;
    Result GetFactoryPresetNumber(int& count) override;
    Result GetPreset(std::uint8_t preset, ByteString& data) override;
    Result ReadParameter(ParamAddress address, std::uint8_t& value) override;
    Result ReadLeds(ByteString& reply) override;
    Result WriteParameter(ParamAddress address, std::uint8_t value, std::uint8_t& stored) override;
    Result SendPreset(std::uint8_t preset, const ByteString& data) override;

    static Result From(CLinkSession::Status status);
    static CLinkSession::Status ToStatus(Result result);

private:
    Result Transfer(const std::string& what, const std::function<CLinkSession::Status()>& attempt);

    CLinkSession& m_session;
    int m_lockCode;
    Notice m_notice;
};
