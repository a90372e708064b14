#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// A UDP relay on 127.0.0.1 that passes datagrams between one client and a server port and
// records every datagram the client sent: when, and its bytes. It shows exactly what a
// program asked of a processor.
class UdpRecorder {
public:
    struct Datagram {
        std::chrono::steady_clock::time_point at;
        std::vector<std::uint8_t> bytes;
    };

    explicit UdpRecorder(int serverPort);
    ~UdpRecorder();
    UdpRecorder(const UdpRecorder&) = delete;
    UdpRecorder& operator=(const UdpRecorder&) = delete;

    // The port the client is to use; 0 when the relay could not open.
    [[nodiscard]] int Port() const { return m_port; }
    [[nodiscard]] std::vector<Datagram> Sent() const;

private:
    void Loop();

    int m_serverPort;
    int m_front = -1; // faces the client
    int m_back = -1;  // faces the server
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Datagram> m_sent;
    std::thread m_thread;
};
