#pragma once

#include <cstdint>
#include <string>

#include "description/ParamAddress.h"
#include "link/ByteString.h"

// The requests a snapshot and a restore make, each answered before it returns. The program
// that holds the link implements it (the command-line remote over its link session).
class ISnapshotLink {
public:
    enum class Result {
        Ok,
        NoResponse, // the link dropped or the processor went quiet
        Refused,    // the processor refused the request (a wrong lock code included)
        Cancelled,  // a transfer was broken off, also when tried again
    };

    virtual ~ISnapshotLink() = default;

    virtual Result ReadVersion(std::string& version) = 0; // the raw version characters
    virtual Result GetConfig(ByteString& description) = 0;
    virtual Result GetFactoryPresetNumber(int& count) = 0;
    virtual Result GetPreset(std::uint8_t preset, ByteString& data) = 0;
    virtual Result ReadParameter(ParamAddress address, std::uint8_t& value) = 0;
    virtual Result ReadLeds(ByteString& reply) = 0;
    virtual Result WriteParameter(ParamAddress address, std::uint8_t value,
                                  std::uint8_t& stored) = 0;
    virtual Result SendPreset(std::uint8_t preset, const ByteString& data) = 0;
};
