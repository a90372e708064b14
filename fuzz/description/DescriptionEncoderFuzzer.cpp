// Any text as an encoder source: no crash and no exception, a message for every refusal that
// names a place, the same bytes for the same text, and whatever the encoder accepts must parse
// back without errors other than enumeration indexes the source asked for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "description/ControlDescription.h"
#include "description/DescriptionEncoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto bytes = EncodeDescription(text, error);
    if (!bytes) {
        if (error.empty() || error.find(": ") == std::string::npos) {
            __builtin_trap();
        }
        return 0;
    }
    std::string again;
    if (EncodeDescription(text, again) != bytes) {
        __builtin_trap();
    }
    ControlDescription description;
    description.Parse(*bytes);
    for (const std::string& message : description.Errors()) {
        if (message.rfind("Index Error.", 0) != 0 && message.rfind("Config Nesting", 0) != 0) {
            __builtin_trap(); // encoded descriptions are never cut
        }
    }
    return 0;
}
