#include "exporter/CFleetExporter.h"

#include <algorithm>
#include <memory>

#include "exporter/CFleetMetrics.h"
#include "exporter/CStatusPage.h"

CFleetExporter::CFleetExporter(asio::io_context& io, const CExporterOptions& options)
    : m_io(io), m_options(options),
      m_http(io, [this](const std::string& path) { return Serve(path); }), m_graceTimer(io) {
    const std::size_t threads = std::min(kLinkThreads, m_options.processors.size());
    for (std::size_t i = 0; i < threads; ++i) {
        m_linkThreads.push_back(std::make_unique<CIoThread>());
    }
    for (const auto& target : m_options.processors) {
        CProcessorSession::Timing timing;
        const double seconds =
            target.intervalSeconds > 0 ? target.intervalSeconds : m_options.intervalSeconds;
        timing.interval = std::chrono::milliseconds(static_cast<long>(seconds * 1000 + 0.5));
        timing.replyTimeoutMs = m_options.replyTimeoutMs;
        CIoThread& thread = *m_linkThreads[m_sessions.size() % m_linkThreads.size()];
        m_sessions.push_back(std::make_unique<CProcessorSession>(io, target, timing, &thread));
    }
}

CFleetExporter::~CFleetExporter() {
    m_http.Close();
    m_sessions.clear();
}

std::error_code CFleetExporter::Listen() {
    return m_http.Listen(m_options.listenHost, m_options.listenPort);
}

std::string CFleetExporter::ListenUrl() const {
    const auto endpoint = m_http.LocalEndpoint();
    const auto address = endpoint.address();
    const std::string host =
        address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    return "http://" + host + ":" + std::to_string(endpoint.port()) + "/";
}

void CFleetExporter::Start() {
    for (auto& session : m_sessions) {
        session->Start();
    }
}

void CFleetExporter::Stop(std::chrono::milliseconds grace, std::function<void()> done) {
    m_http.Close();
    auto finish = std::make_shared<std::function<void()>>(std::move(done));
    auto left = std::make_shared<std::size_t>(m_sessions.size());
    const auto once = [this, finish] {
        m_graceTimer.cancel();
        if (*finish) {
            std::exchange(*finish, nullptr)();
        }
    };
    m_graceTimer.expires_after(grace);
    m_graceTimer.async_wait([once](const std::error_code& ec) {
        if (!ec) {
            once();
        }
    });
    if (m_sessions.empty()) {
        once();
        return;
    }
    for (auto& session : m_sessions) {
        session->Stop([left, once] {
            if (--*left == 0) {
                once();
            }
        });
    }
}

std::vector<ProcessorStatus> CFleetExporter::Fleet() const {
    std::vector<ProcessorStatus> fleet;
    fleet.reserve(m_sessions.size());
    for (const auto& session : m_sessions) {
        fleet.push_back(session->Status());
    }
    return fleet;
}

CHttpServer::Response CFleetExporter::Serve(const std::string& path) const {
    if (path == "/metrics") {
        const auto start = std::chrono::steady_clock::now();
        auto families = CFleetMetrics::Collect(Fleet());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return {200, "text/plain; version=0.0.4; charset=utf-8",
                CFleetMetrics::Text(std::move(families), seconds)};
    }
    if (path == "/" || path == "/index.html") {
        return {200, "text/html; charset=utf-8", CStatusPage::Html(Fleet())};
    }
    return {404, "text/plain; charset=utf-8", "not found: try / or /metrics\n"};
}
