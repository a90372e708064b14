// Any text as a snapshot file: no crash and no exception, one line naming the file for every
// refusal, and whatever is accepted writes back to a file that reads as the same snapshot.
// The text is tried as it is and, when it is a JSON object, once more with its digest made to
// match, so that mutations reach the checks behind the digest.
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "snapshot/SnapshotEncoding.h"
#include "snapshot/SnapshotFile.h"

namespace {

using Json = nlohmann::ordered_json;

void Check(const std::string& text) {
    std::string error;
    const auto snapshot = SnapshotFile::Read(text, "f", error);
    if (!snapshot) {
        if (error.rfind("f: ", 0) != 0 || error.find('\n') != std::string::npos) {
            __builtin_trap();
        }
        return;
    }
    std::string again;
    const auto back = SnapshotFile::Read(SnapshotFile::Write(*snapshot), "f", again);
    if (!back || !(*back == *snapshot)) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Check(text);
    Json doc = Json::parse(text, nullptr, false);
    if (doc.is_object()) {
        doc.erase("sha256");
        const std::string content = doc.dump(-1, ' ', false, Json::error_handler_t::replace);
        doc["sha256"] = SnapshotEncoding::Sha256(content);
        Check(doc.dump(-1, ' ', false, Json::error_handler_t::replace));
    }
    return 0;
}
