#include "exporter/CSessionReadLink.h"

#include <condition_variable>
#include <mutex>

#include <asio/post.hpp>

#include "snapshot/TransferRetry.h"

namespace {

// How often a waiting worker looks at the stop flag. The session always ends a read (its
// watchdog included), so this only matters while the exporter stops.
constexpr std::chrono::milliseconds kStopCheck{100};

ISnapshotLink::Result From(CProcessorSession::ReadResult::Outcome outcome) {
    using Outcome = CProcessorSession::ReadResult::Outcome;
    switch (outcome) {
    case Outcome::Ok:
        return ISnapshotLink::Result::Ok;
    case Outcome::Refused:
        return ISnapshotLink::Result::Refused;
    case Outcome::Cancelled:
        return ISnapshotLink::Result::Cancelled;
    case Outcome::NoResponse:
        break;
    }
    return ISnapshotLink::Result::NoResponse;
}

} // namespace

CSessionReadLink::CSessionReadLink(asio::io_context& io, CProcessorSession& session,
                                   std::weak_ptr<const char> alive, int lockCode,
                                   const std::atomic<bool>& stop)
    : m_io(io), m_session(session), m_alive(std::move(alive)), m_lockCode(lockCode), m_stop(stop) {}

ISnapshotLink::Result CSessionReadLink::Ask(const Read& read, ReadResult& out) {
    struct Waiter {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        ReadResult result;
    };
    auto waiter = std::make_shared<Waiter>();
    ++m_requests;
    asio::post(m_io, [session = &m_session, read, waiter, alive = m_alive] {
        const auto finish = [waiter](const ReadResult& result) {
            std::lock_guard lock(waiter->mutex);
            waiter->result = result;
            waiter->finished = true;
            waiter->done.notify_all();
        };
        if (alive.expired()) {
            finish(ReadResult{});
            return;
        }
        session->Submit(read, finish);
    });
    std::unique_lock lock(waiter->mutex);
    while (!waiter->finished) {
        if (m_stop.load()) {
            return Result::NoResponse;
        }
        waiter->done.wait_for(lock, kStopCheck);
    }
    out = std::move(waiter->result);
    return From(out.outcome);
}

ISnapshotLink::Result CSessionReadLink::Transfer(const Read& read, ReadResult& out) {
    return TransferRetry::Run([&] { return Ask(read, out); });
}

ISnapshotLink::Result CSessionReadLink::ReadVersion(std::string& version) {
    ReadResult out;
    const Result result = Ask({Read::Kind::Version}, out);
    version = out.text;
    return result;
}

ISnapshotLink::Result CSessionReadLink::GetConfig(ByteString& description) {
    Read read{Read::Kind::Config};
    read.lockCode = m_lockCode;
    ReadResult out;
    const Result result = Transfer(read, out);
    description = std::move(out.data);
    return result;
}

ISnapshotLink::Result CSessionReadLink::GetFactoryPresetNumber(int& count) {
    ReadResult out;
    const Result result = Ask({Read::Kind::PresetCount}, out);
    count = out.number;
    return result;
}

ISnapshotLink::Result CSessionReadLink::GetPreset(std::uint8_t preset, ByteString& data) {
    Read read{Read::Kind::Preset};
    read.a = preset;
    ReadResult out;
    const Result result = Transfer(read, out);
    data = std::move(out.data);
    return result;
}

ISnapshotLink::Result CSessionReadLink::ReadParameter(ParamAddress address, std::uint8_t& value) {
    Read read{Read::Kind::Parameter};
    read.a = address.a;
    read.b = address.b;
    read.c = address.c;
    ReadResult out;
    const Result result = Ask(read, out);
    value = out.value;
    return result;
}

ISnapshotLink::Result CSessionReadLink::ReadLeds(ByteString& reply) {
    ReadResult out;
    const Result result = Ask({Read::Kind::Leds}, out);
    reply = std::move(out.data);
    return result;
}

ISnapshotLink::Result CSessionReadLink::WriteParameter(ParamAddress, std::uint8_t, std::uint8_t&) {
    return Result::Refused;
}

ISnapshotLink::Result CSessionReadLink::SendPreset(std::uint8_t, const ByteString&) {
    return Result::Refused;
}
