#include "exporter/CFleetExporter.h"

#include <algorithm>
#include <iostream>
#include <memory>

#include <asio/post.hpp>

#include "exporter/CFleetMetrics.h"
#include "exporter/CProcessMetrics.h"
#include "exporter/CHistoryMetrics.h"
#include "exporter/CStatusPage.h"
#include "exporter/Gzip.h"
#include "link/CConnectionSettings.h"
#include "SolveiVersion.h"

CFleetExporter::CFleetExporter(asio::io_context& io, const CExporterOptions& options)
    : m_io(io), m_options(options), m_graceTimer(io) {
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
    if (!m_options.historyDir.empty()) {
        CHistoryKeeper::Options history;
        history.folder = m_options.historyDir;
        history.interval = std::chrono::milliseconds(
            static_cast<long>(m_options.historyIntervalSeconds * 1000 + 0.5));
        history.presetsHour = m_options.historyPresetsHour;
        history.presetsMinute = m_options.historyPresetsMinute;
        history.program = std::string("solvei-exporter ") + SOLVEI_VERSION;
        // A failure is tried again at the next reading, and at the latest after the retry time.
        history.retry = std::min(history.retry, history.interval);
        std::vector<CProcessorSession*> sessions;
        std::vector<int> lockCodes;
        for (const auto& session : m_sessions) {
            sessions.push_back(session.get());
            lockCodes.push_back(static_cast<int>(
                session->Target().lockCode.value_or(CConnectionSettings::kFactoryLockCode)));
        }
        m_history = std::make_unique<CHistoryKeeper>(io, history, std::move(sessions),
                                                     std::move(lockCodes));
    }
    m_httpThread.Run([this] {
        m_http = std::make_unique<CHttpServer>(
            m_httpThread.Context(),
            [this](const CHttpServer::Request& request, CHttpServer::Reply reply) {
                Handle(request, std::move(reply));
            },
            static_cast<std::size_t>(m_options.maxConnections));
        if (m_options.webConfig.tlsContext) {
            m_http->UseTls(m_options.webConfig.tlsContext);
        }
        if (!m_options.webConfig.users.empty()) {
            m_auth =
                std::make_unique<CBasicAuth>(m_httpThread.Context(), m_options.webConfig.users);
        }
    });
}

CFleetExporter::~CFleetExporter() {
    m_alive.reset();
    m_httpThread.Run([this] {
        m_http.reset();
        m_auth.reset();
        for (auto& wave : m_waves) {
            wave.waiting.clear();
        }
    });
    m_httpThread.Stop();
    m_history.reset();
    m_sessions.clear();
}

std::string CFleetExporter::LockHistory() {
    std::string error;
    if (m_history && m_history->Lock(error) == CHistoryLock::Outcome::InUse) {
        return error;
    }
    // Any other problem (a folder not writable yet) is reported and tried again as it runs.
    if (!error.empty()) {
        std::cerr << "solvei-exporter: " << error << " (tried again at every snapshot)"
                  << std::endl;
    }
    return {};
}

std::error_code CFleetExporter::Listen() {
    std::error_code ec;
    m_httpThread.Run([&] { ec = m_http->Listen(m_options.listenHost, m_options.listenPort); });
    return ec;
}

std::string CFleetExporter::ListenUrl() const {
    asio::ip::tcp::endpoint endpoint;
    const_cast<CIoThread&>(m_httpThread).Run([&] { endpoint = m_http->LocalEndpoint(); });
    const auto address = endpoint.address();
    const std::string host =
        address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    return (m_options.webConfig.tlsContext ? "https://" : "http://") + host + ":" +
           std::to_string(endpoint.port()) + "/";
}

void CFleetExporter::Start() {
    for (auto& session : m_sessions) {
        session->Start();
    }
    if (m_history) {
        m_history->Start();
    }
}

void CFleetExporter::Stop(std::chrono::milliseconds grace, std::function<void()> done) {
    m_httpThread.Run([this] {
        if (m_http) {
            m_http->Close();
        }
    });
    auto finish = std::make_shared<std::function<void()>>(std::move(done));
    auto left = std::make_shared<std::size_t>(m_sessions.size());
    const auto once = [this, finish] {
        m_graceTimer.cancel();
        if (*finish) {
            std::exchange(*finish, nullptr)();
        }
    };
    if (m_history) {
        m_history->Stop();
    }
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
        if (m_history) {
            fleet.back().history = m_history->StatusOf(fleet.size() - 1);
        }
    }
    return fleet;
}

void CFleetExporter::Handle(const CHttpServer::Request& request, CHttpServer::Reply reply) {
    if (!m_auth) {
        Serve(request, std::move(reply));
        return;
    }
    m_auth->Check(request.authorization, [this, alive = std::weak_ptr<char>(m_alive), request,
                                          reply = std::move(reply)](CBasicAuth::Verdict verdict) {
        if (alive.expired() || !m_http) {
            return;
        }
        if (verdict == CBasicAuth::Verdict::Allowed) {
            Serve(request, reply);
        } else if (verdict == CBasicAuth::Verdict::Denied) {
            auto response = CHttpServer::Response::Text(401, "unauthorized\n");
            response.extraHeaders = std::string("WWW-Authenticate: Basic realm=\"") +
                                    CBasicAuth::kRealm + "\", charset=\"UTF-8\"\r\n";
            reply(std::move(response));
        } else {
            auto response =
                CHttpServer::Response::Text(503, "too many password checks at once, try again\n");
            response.extraHeaders = "Retry-After: 1\r\n";
            reply(std::move(response));
        }
    });
}

void CFleetExporter::Serve(const CHttpServer::Request& request, CHttpServer::Reply reply) {
    if (request.path == "/metrics") {
        Join(Page::Metrics, request.acceptsGzip, std::move(reply));
    } else if (request.path == "/" || request.path == "/index.html") {
        Join(Page::Status, request.acceptsGzip, std::move(reply));
    } else {
        reply(CHttpServer::Response::Text(404, "not found: try / or /metrics\n"));
    }
}

void CFleetExporter::Join(Page page, bool gzip, CHttpServer::Reply reply) {
    Wave& wave = m_waves[static_cast<int>(page)];
    if (wave.last.body && std::chrono::steady_clock::now() - wave.lastAt < kReuseFor) {
        Answer(wave, gzip, reply);
        return;
    }
    wave.waiting.emplace_back(gzip, std::move(reply));
    if (wave.running) {
        return;
    }
    wave.running = true;
    // The copy is taken where the sessions live; the rendering goes back to this thread.
    asio::post(m_io, [this, page, alive = std::weak_ptr<char>(m_alive)] {
        if (alive.expired()) {
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        auto fleet = std::make_shared<const std::vector<ProcessorStatus>>(Fleet());
        asio::post(m_httpThread.Context(), [this, page, fleet, start] {
            if (m_http) {
                Render(page, *fleet, start);
            }
        });
    });
}

void CFleetExporter::Render(Page page, const std::vector<ProcessorStatus>& fleet,
                            std::chrono::steady_clock::time_point start) {
    Wave& wave = m_waves[static_cast<int>(page)];
    auto waiting = std::move(wave.waiting);
    wave.waiting.clear();
    wave.running = false;

    CHttpServer::Response plain;
    if (page == Page::Metrics) {
        auto families = CFleetMetrics::Collect(fleet);
        auto process = CProcessMetrics::Collect();
        families.insert(families.end(), process.begin(), process.end());
        auto history = CHistoryMetrics::Collect(fleet);
        families.insert(families.end(), history.begin(), history.end());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        plain.contentType = "text/plain; version=0.0.4; charset=utf-8";
        plain.body =
            std::make_shared<const std::string>(CFleetMetrics::Text(std::move(families), seconds));
    } else {
        plain.contentType = "text/html; charset=utf-8";
        plain.body = std::make_shared<const std::string>(CStatusPage::Html(fleet));
    }
    wave.last = std::move(plain);
    wave.lastGzip.reset();
    wave.lastAt = std::chrono::steady_clock::now();
    for (auto& [gzip, reply] : waiting) {
        Answer(wave, gzip, reply);
    }
}

void CFleetExporter::Answer(Wave& wave, bool gzip, const CHttpServer::Reply& reply) {
    if (gzip && !wave.lastGzip) {
        wave.lastGzip = std::make_shared<const std::string>(Gzip::Compress(*wave.last.body));
    }
    if (gzip && !wave.lastGzip->empty()) {
        CHttpServer::Response response = wave.last;
        response.body = wave.lastGzip;
        response.contentEncoding = "gzip";
        reply(std::move(response));
    } else {
        reply(wave.last);
    }
}
