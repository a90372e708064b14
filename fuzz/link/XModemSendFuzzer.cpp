#include <cstddef>
#include <cstdint>

#include "FuzzPieces.h"
#include "XModemFuzzTarget.h"
#include "link/CReplyAccumulator.h"

// Sends data of a length the input chooses and answers it with arbitrary bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t length = (static_cast<std::size_t>(data[0]) << 4) | (data[1] & 0x0F);
    ByteString upload(length);
    for (std::size_t i = 0; i < length; ++i) {
        upload[i] = static_cast<std::uint8_t>(i ^ data[1]);
    }
    XModemFuzzTarget x;
    x.StartSend(upload);
    CReplyAccumulator acc;
    const auto rule = [&](const ByteString& b) { return x.ExpectedLength(b); };
    FuzzPieces pieces(data + 2, size - 2);
    ByteString piece;
    while (pieces.Next(piece) && x.IsActive()) {
        acc.AddDatagram(piece.data(), piece.size(), rule,
                        [&](const ByteString& reply) { (void)x.OnData(reply); });
    }
    // Every packet is a whole block or the lone EOT, and never more blocks than the data needs.
    std::size_t blocks = 0;
    for (const ByteString& p : x.sent) {
        if (p.size() == CXModem::kBlockSize) {
            ++blocks;
        } else if (p != ByteString{CXModem::kEot}) {
            __builtin_trap();
        }
    }
    if (blocks > (length + CXModem::kDataSize - 1) / CXModem::kDataSize || x.Data() != upload) {
        __builtin_trap();
    }
    return 0;
}
