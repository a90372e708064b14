#pragma once

#include <cstdint>
#include <string>

#include "link/CRegDword.h"
#include "link/CRegString.h"

// How to reach the processor: the one record the link reads on every connect. The values
// persist under "Tarrowin/FALX/Settings": ReadRegistry at start, WriteRegistry at a normal
// end. A program that must never change them simply does not call WriteRegistry.
class CConnectionSettings {
public:
    static constexpr const char* kFactoryHost = "127.0.0.1";
    static constexpr std::uint32_t kFactoryPort = 1203;
    static constexpr std::uint32_t kFactoryLockCode = 7;
    static constexpr const char* kEthernetPortName = "TCP";

    CConnectionSettings();

    // Reads every stored value once; a missing or unreadable one keeps its default.
    void ReadRegistry();
    // Writes every value as the last Save left it.
    void WriteRegistry();

    // Copies the stored values into the record (serial is 0 exactly for the name "TCP").
    void Load();
    // Copies the record into the stored values' memory; nothing is written yet.
    void Save();
    // The link timing and the serial line the application always uses: 1500 ms, 15 polls
    // per second, 10 tries, 19200 baud, 8 data bits, no parity, one stop bit, no handshake.
    void SetLinkDefaults();

    std::uint32_t replyTimeoutMs = 0;
    std::uint32_t pollRate = 0;
    std::uint32_t maxTries = 0;
    std::uint32_t port = 0;
    std::uint32_t serial = 0;
    std::string portName;
    std::string host;
    std::uint32_t flow = 0;
    std::uint32_t data = 0;
    std::uint32_t baud = 0;
    std::uint32_t stop = 0;
    std::uint32_t parity = 0;
    std::uint32_t lockCode = 0;

private:
    CRegString regHost_;
    CRegString regPortName_;
    CRegDword regPort_;
    CRegDword regFlow_;
    CRegDword regBaud_;
    CRegDword regStop_;
    CRegDword regParity_;
    CRegDword regData_;
    CRegDword regLockCode_;
};
