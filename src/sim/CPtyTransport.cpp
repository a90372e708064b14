#include "sim/CPtyTransport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <asio/buffer.hpp>
#include <asio/write.hpp>

CPtyTransport::CPtyTransport(asio::io_context& io, CSimService& service, int baud)
    : m_master(io), m_service(service), m_outbox(io),
      m_framer([this](std::span<const std::uint8_t> bytes) {
          return m_service.ExpectedRequestLength(bytes);
      }) {
    if (baud > 0) {
        m_inbound = std::make_unique<CLinePacer>(io, baud, [this](std::vector<std::uint8_t> bytes) {
            Serve(bytes);
            if (m_readPaused && m_inbound->Pending() < kMaxInboundBacklog) {
                m_readPaused = false;
                Read();
            }
        });
        m_outbound = std::make_unique<CLinePacer>(
            io, baud, [this](std::vector<std::uint8_t> bytes) { Emit(std::move(bytes)); });
    }
}

CPtyTransport::~CPtyTransport() {
    std::error_code ec;
    if (!m_link.empty() && std::filesystem::is_symlink(m_link, ec)) {
        std::filesystem::remove(m_link, ec);
    }
    if (m_terminal >= 0) {
        ::close(m_terminal);
    }
}

bool CPtyTransport::Open(const std::string& linkPath, std::string& error) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
        if (master >= 0) {
            ::close(master);
        }
        return false;
    }
    const char* name = ::ptsname(master);
    m_device = name ? name : "";
    m_terminal = ::open(m_device.c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    if (m_terminal < 0 || ::tcgetattr(m_terminal, &raw) != 0) {
        error = "cannot open " + m_device + ": " + std::strerror(errno);
        ::close(master);
        return false;
    }
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B19200);
    ::cfsetospeed(&raw, B19200);
    ::tcsetattr(m_terminal, TCSANOW, &raw);
    m_master.assign(master);
    m_master.non_blocking(true);

    std::error_code ec;
    if (std::filesystem::is_symlink(linkPath, ec)) {
        std::filesystem::remove(linkPath, ec);
    }
    std::filesystem::create_symlink(m_device, linkPath, ec);
    if (ec) {
        error = "cannot link " + linkPath + " to " + m_device + ": " + ec.message();
        return false;
    }
    m_link = linkPath;
    Read();
    return true;
}

void CPtyTransport::Read() {
    m_master.async_read_some(
        asio::buffer(m_buffer), [this](const std::error_code& ec, std::size_t size) {
            if (ec) {
                if (ec != asio::error::operation_aborted) {
                    std::cerr << "solvei-sim: serial read stopped: " << ec.message() << "\n";
                }
                return;
            }
            m_received += size;
            const std::span<const std::uint8_t> bytes(m_buffer.data(), size);
            if (m_inbound) {
                m_inbound->Push(bytes); // served once the line has carried them
                if (m_inbound->Pending() >= kMaxInboundBacklog) {
                    // A line carries no more than its rate: the writer waits, as it would
                    // behind a real port, instead of the backlog growing without end.
                    m_readPaused = true;
                    return;
                }
            } else {
                Serve(bytes);
            }
            Read();
        });
}

void CPtyTransport::Serve(std::span<const std::uint8_t> bytes) {
    m_framer.Append(bytes, CRequestFramer::Clock::now());
    while (auto request = m_framer.Next()) {
        for (auto& piece : m_service.Serve(*request)) {
            m_outbox.Post(piece.after, [this, bytes = std::move(piece.bytes)] { Write(bytes); });
        }
    }
}

void CPtyTransport::Write(std::vector<std::uint8_t> bytes) {
    if (m_outbound) {
        m_outbound->Push(bytes); // written as the line carries them
    } else {
        Emit(std::move(bytes));
    }
}

void CPtyTransport::Emit(std::vector<std::uint8_t> bytes) {
    m_sent += bytes.size();
    m_writes.push_back(std::move(bytes));
    if (m_writes.size() == 1) {
        WriteNext();
    }
}

void CPtyTransport::WriteNext() {
    asio::async_write(m_master, asio::buffer(m_writes.front()),
                      [this](const std::error_code& ec, std::size_t) {
                          if (ec == asio::error::operation_aborted) {
                              return;
                          }
                          m_writes.pop_front();
                          if (!m_writes.empty()) {
                              WriteNext();
                          }
                      });
}
