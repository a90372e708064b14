#pragma once

#include <string>
#include <vector>

#include "link/CXModem.h"

// Keeps what a transfer hands out, as the link engine would send it.
class XModemFuzzTarget : public CXModem {
public:
    std::vector<ByteString> sent;
    int completions = 0;

protected:
    void SendRaw(const ByteString& bytes) override { sent.push_back(bytes); }
    void OnTransferComplete() override { ++completions; }
    void LogError(const std::string&) override {}
    void Log(const std::string&) override {}
};
