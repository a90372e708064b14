#pragma once

#include <atomic>
#include <chrono>
#include <memory>

#include <asio/io_context.hpp>

#include "exporter/CProcessorSession.h"
#include "snapshot/ISnapshotLink.h"

// A snapshot's requests over a processor session that is already watching the processor: each
// read is handed to the session on the exporter's thread and waited for here (a worker
// thread), so the processor keeps hearing one remote and the session's LED polls go on between
// the reads. It cannot write: the history only reads, and a write or a preset send is refused
// here without a byte going out.
class CSessionReadLink : public ISnapshotLink {
public:
    // alive: expires when the session goes (nothing is asked of it then); stop: set to give up
    // waiting (the exporter is stopping).
    CSessionReadLink(asio::io_context& io, CProcessorSession& session,
                     std::weak_ptr<const char> alive, int lockCode, const std::atomic<bool>& stop);

    Result ReadVersion(std::string& version) override;
    Result GetConfig(ByteString& description) override;
    Result GetFactoryPresetNumber(int& count) override;
    Result GetPreset(std::uint8_t preset, ByteString& data) override;
    Result ReadParameter(ParamAddress address, std::uint8_t& value) override;
    Result ReadLeds(ByteString& reply) override;
    Result WriteParameter(ParamAddress address, std::uint8_t value, std::uint8_t& stored) override;
    Result SendPreset(std::uint8_t preset, const ByteString& data) override;

    // How many reads were asked of the session.
    [[nodiscard]] int Requests() const { return m_requests; }

private:
    using Read = CProcessorSession::Read;
    using ReadResult = CProcessorSession::ReadResult;

    Result Ask(const Read& read, ReadResult& out);
    // A transfer broken off (stray bytes cancel it) is tried again a few times (TransferRetry).
    Result Transfer(const Read& read, ReadResult& out);

    asio::io_context& m_io;
    CProcessorSession& m_session;
    std::weak_ptr<const char> m_alive;
    int m_lockCode;
    const std::atomic<bool>& m_stop;
    int m_requests = 0;
};
