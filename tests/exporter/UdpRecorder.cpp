#include "exporter/UdpRecorder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int BoundSocket(int port, int& boundPort) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    boundPort = ntohs(address.sin_port);
    return fd;
}

} // namespace

UdpRecorder::UdpRecorder(int serverPort) : m_serverPort(serverPort) {
    int ignored = 0;
    m_front = BoundSocket(0, m_port);
    m_back = BoundSocket(0, ignored);
    if (m_front < 0 || m_back < 0) {
        m_port = 0;
        return;
    }
    m_thread = std::thread([this] { Loop(); });
}

UdpRecorder::~UdpRecorder() {
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    for (const int fd : {m_front, m_back}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

std::vector<UdpRecorder::Datagram> UdpRecorder::Sent() const {
    std::lock_guard lock(m_mutex);
    return m_sent;
}

void UdpRecorder::Loop() {
    sockaddr_in client{};
    bool haveClient = false;
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server.sin_port = htons(static_cast<std::uint16_t>(m_serverPort));
    std::uint8_t buffer[65536];
    while (!m_stop) {
        pollfd fds[2] = {{m_front, POLLIN, 0}, {m_back, POLLIN, 0}};
        if (poll(fds, 2, 50) <= 0) {
            continue;
        }
        if (fds[0].revents & POLLIN) {
            socklen_t size = sizeof client;
            const ssize_t n = recvfrom(m_front, buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr*>(&client), &size);
            if (n > 0) {
                haveClient = true;
                {
                    std::lock_guard lock(m_mutex);
                    m_sent.push_back({std::chrono::steady_clock::now(),
                                      std::vector<std::uint8_t>(buffer, buffer + n)});
                }
                sendto(m_back, buffer, static_cast<std::size_t>(n), 0,
                       reinterpret_cast<sockaddr*>(&server), sizeof server);
            }
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = recv(m_back, buffer, sizeof buffer, 0);
            if (n > 0 && haveClient) {
                sendto(m_front, buffer, static_cast<std::size_t>(n), 0,
                       reinterpret_cast<sockaddr*>(&client), sizeof client);
            }
        }
    }
}
