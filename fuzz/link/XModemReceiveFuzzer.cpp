#include <cstddef>
#include <cstdint>

#include "FuzzPieces.h"
#include "XModemFuzzTarget.h"
#include "link/CReplyAccumulator.h"

// Feeds arbitrary bytes to the receiving side, cut by its own completion rule.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    XModemFuzzTarget x;
    x.StartReceive();
    CReplyAccumulator acc;
    const auto rule = [&](const ByteString& b) { return x.ExpectedLength(b); };
    FuzzPieces pieces(data, size);
    ByteString piece;
    while (pieces.Next(piece) && x.IsActive()) {
        acc.AddSerial(piece.data(), piece.size(), rule,
                      [&](const ByteString& reply) { (void)x.OnData(reply); });
        if (x.IsFinishing()) {
            x.End();
        }
        // Only whole 128-byte blocks are ever kept; every answer is one control byte.
        if (x.Data().size() % CXModem::kDataSize != 0 || x.sent.back().size() != 1) {
            __builtin_trap();
        }
    }
    return 0;
}
