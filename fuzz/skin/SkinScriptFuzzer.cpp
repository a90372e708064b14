#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "skin/CSkin.h"
#include "skin/IMessageBox.h"
#include "skin/SkinTokenizer.h"

namespace {

class SilentMessages : public IMessageBox {
public:
    void Show(const std::string&, const std::string&, Icon) override {}
};

// Walks the whole text with the classic tokenizer interface; every token must lie inside it.
void Tokens(const std::string& text, int flags) {
    const char* p = text.c_str();
    const char* end = text.c_str() + text.size();
    while (p != nullptr && p < end) {
        const char* start = nullptr;
        int length = 0;
        int kind = 0;
        const char* next = GetToken(p, static_cast<int>(end - p), &start, &length, &kind, flags, 0,
                                    nullptr, nullptr);
        if (start < text.c_str() || start + length > end || (next != nullptr && next <= p)) {
            std::abort();
        }
        p = next;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = CSkin::ScriptText(std::vector<char>(data, data + size));
    SilentMessages messages;
    CSkin skin(nullptr, messages);
    try {
        skin.Parse(text.c_str());
    } catch (const CSkin::SKIN_EXEPTION& error) {
        const int line = CSkin::ErrorLine(text.c_str(), error.position);
        if (error.position != nullptr &&
            (error.position < text.c_str() || error.position > text.c_str() + text.size())) {
            std::abort();
        }
        if (line < 0) {
            std::abort();
        }
    }
    for (const auto& [key, value] : skin.Texts()) {
        (void)skin.GetLong(key, value);
    }
    Tokens(text, 0);
    Tokens(text, kTokenStripQuotes | kTokenKeepComments);
    return 0;
}
