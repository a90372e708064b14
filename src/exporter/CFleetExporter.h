#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include "exporter/CBasicAuth.h"
#include "exporter/CExporterOptions.h"
#include "exporter/CHistoryKeeper.h"
#include "exporter/CHttpServer.h"
#include "exporter/CProcessorSession.h"
#include "link/CIoThread.h"

// The whole exporter: a session per processor on the caller's io_context (the polling
// thread), their links on a few shared threads, and the HTTP server on a thread of its own.
// A scrape takes one copy of the fleet's state on the polling thread and renders it on the
// server's thread; every client that asks meanwhile gets that same answer (one wave).
class CFleetExporter {
public:
    // The links of all processors share this many threads (each a few descriptors of its own).
    static constexpr std::size_t kLinkThreads = 4;

    CFleetExporter(asio::io_context& io, const CExporterOptions& options);
    // Call it where io no longer runs (or on its thread).
    ~CFleetExporter();

    // With --history: takes the history folder's lock. Empty when there is nothing in the way,
    // else why the exporter must not start (another exporter keeps its history there).
    [[nodiscard]] std::string LockHistory();
    // Opens the HTTP port; an error leaves nothing running.
    [[nodiscard]] std::error_code Listen();
    [[nodiscard]] std::string ListenUrl() const;
    void Start();
    // Disconnects every processor, waiting at most grace for their links to close, then
    // calls done. On the io_context's thread.
    void Stop(std::chrono::milliseconds grace, std::function<void()> done);

    // On the io_context's thread.
    [[nodiscard]] std::vector<ProcessorStatus> Fleet() const;

private:
    enum class Page { Metrics, Status };
    // The clients waiting for one page's next rendering; on the server's thread.
    struct Wave {
        std::vector<std::pair<bool, CHttpServer::Reply>> waiting; // accepts gzip, reply
        bool running = false;
        // The last rendering, answered again to whoever asks within kReuseFor of it.
        CHttpServer::Response last;
        std::shared_ptr<const std::string> lastGzip;
        std::chrono::steady_clock::time_point lastAt;
    };
    // A flood of requests costs at most one rendering in this time.
    static constexpr std::chrono::milliseconds kReuseFor{200};

    void Answer(Wave& wave, bool gzip, const CHttpServer::Reply& reply);

    // Checks the user first when the web configuration names users.
    void Handle(const CHttpServer::Request& request, CHttpServer::Reply reply);
    void Serve(const CHttpServer::Request& request, CHttpServer::Reply reply);
    void Join(Page page, bool gzip, CHttpServer::Reply reply);
    void Render(Page page, const std::vector<ProcessorStatus>& fleet,
                std::chrono::steady_clock::time_point start);

    asio::io_context& m_io;
    CExporterOptions m_options;
    std::shared_ptr<char> m_alive = std::make_shared<char>();
    // Before everything that lives on them: they go last.
    CIoThread m_httpThread;
    std::vector<std::unique_ptr<CIoThread>> m_linkThreads;
    std::vector<std::unique_ptr<CProcessorSession>> m_sessions;
    std::unique_ptr<CHistoryKeeper> m_history; // after the sessions: it goes before them
    std::unique_ptr<CHttpServer> m_http;       // lives and dies on m_httpThread
    std::unique_ptr<CBasicAuth> m_auth;        // likewise; null when every client may read
    Wave m_waves[2];
    asio::steady_timer m_graceTimer;
};
