#include <cstddef>
#include <cstdint>

#include "FuzzPieces.h"
#include "link/CConnectionSettings.h"
#include "link/CLinkEngine.h"
#include "link/CReplyAccumulator.h"
#include "link/LinkPacket.h"

// Cuts arbitrary bytes into replies with both transports' rules and hands every reply to
// the engine's reply processing, checking that only whole replies come out.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CConnectionSettings settings;
    static CLinkEngine engine(nullptr, settings);

    CReplyAccumulator serial;
    CReplyAccumulator datagram;
    const auto rule = [](const ByteString& b) { return engine.ExpectedReplyLength(b); };
    const auto process = [](const ByteString& reply) { (void)engine.ProcessReply(reply); };
    FuzzPieces pieces(data, size);
    ByteString piece;
    while (pieces.Next(piece)) {
        serial.AddSerial(piece.data(), piece.size(), rule, [&](const ByteString& reply) {
            if (rule(reply) != static_cast<int>(reply.size())) {
                __builtin_trap();
            }
            process(reply);
        });
        datagram.AddDatagram(piece.data(), piece.size(), rule, [&](const ByteString& reply) {
            if (!piece.empty() && rule(reply) != static_cast<int>(reply.size())) {
                __builtin_trap();
            }
            process(reply);
        });
        if (serial.Bytes().size() > CReplyAccumulator::kMaxBytes) {
            __builtin_trap();
        }
    }
    return 0;
}
