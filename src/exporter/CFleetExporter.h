#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include "exporter/CExporterOptions.h"
#include "exporter/CHttpServer.h"
#include "exporter/CProcessorSession.h"
#include "link/CIoThread.h"

// The whole exporter on one io_context: a session per processor, and the HTTP server that
// serves /metrics and the status page from the sessions' state.
class CFleetExporter {
public:
    // The links of all processors share this many threads (each a few descriptors of its own).
    static constexpr std::size_t kLinkThreads = 4;

    CFleetExporter(asio::io_context& io, const CExporterOptions& options);
    ~CFleetExporter();

    // Opens the HTTP port; an error leaves nothing running.
    [[nodiscard]] std::error_code Listen();
    [[nodiscard]] std::string ListenUrl() const;
    void Start();
    // Disconnects every processor, waiting at most grace for their links to close, then
    // calls done.
    void Stop(std::chrono::milliseconds grace, std::function<void()> done);

    [[nodiscard]] std::vector<ProcessorStatus> Fleet() const;
    [[nodiscard]] CHttpServer::Response Serve(const std::string& path) const;

private:
    asio::io_context& m_io;
    CExporterOptions m_options;
    // Before the sessions: their links run on these threads and go first.
    std::vector<std::unique_ptr<CIoThread>> m_linkThreads;
    std::vector<std::unique_ptr<CProcessorSession>> m_sessions;
    CHttpServer m_http;
    asio::steady_timer m_graceTimer;
};
