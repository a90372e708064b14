#include "skin/SkinTokenizer.h"

#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view kTwoCharOperators[] = {"++", "--", "==", "!=", "+=", "-=",  "/=", "*=",
                                                  "|=", "&=", "^=", "<>", "=>", "<=",  "->", "##",
                                                  "||", "&&", "<<", ">>", "::", "\\\""};
constexpr std::string_view kOperatorSet = "?:~^@;.,()[]#%+-*/'<>=!?&|{}";

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Skips white space and, unless kept, comments. A block comment left open runs to the end.
const char* SkipSpace(const char* p, const char* end, bool skipComments) {
    while (p < end) {
        if (IsSpace(*p)) {
            ++p;
        } else if (skipComments && end - p >= 2 && p[0] == '/' && p[1] == '/') {
            while (p < end && *p != '\n') {
                ++p;
            }
        } else if (skipComments && end - p >= 2 && p[0] == '/' && p[1] == '*') {
            p += 2;
            while (p < end && !(end - p >= 2 && p[0] == '*' && p[1] == '/')) {
                ++p;
            }
            p = (p < end) ? p + 2 : end;
        } else {
            break;
        }
    }
    return p;
}

SkinToken Number(const char* p, const char* end, int flags) {
    SkinToken token{p, 0, kTokenInteger, p, true};
    if (p[0] == '0' && end - p >= 2 && (p[1] == 'x' || p[1] == 'X')) {
        const char* digits = p + 2;
        const char* q = digits;
        while (q < end && IsHexDigit(*q)) {
            ++q;
        }
        if (q == digits) {
            token.kind = kTokenBadHex;
        } else {
            token.kind = kTokenHex;
            if (flags & kTokenStripHexPrefix) {
                token.start = digits;
            }
        }
        token.length = static_cast<std::size_t>(q - token.start);
        token.next = q;
        return token;
    }
    const char* q = p;
    while (q < end && IsDigit(*q)) {
        ++q;
    }
    if ((flags & (kTokenStripQuotes | kTokenStripHexPrefix)) == 0) {
        if (q < end && *q == '.') {
            token.kind = kTokenReal;
            ++q;
            while (q < end && IsDigit(*q)) {
                ++q;
            }
        }
        if (q < end && (*q == 'e' || *q == 'E')) {
            const char* e = q + 1;
            if (e < end && (*e == '+' || *e == '-')) {
                ++e;
            }
            if (e < end && IsDigit(*e)) {
                token.kind = kTokenReal;
                q = e;
                while (q < end && IsDigit(*q)) {
                    ++q;
                }
            }
        }
    }
    token.length = static_cast<std::size_t>(q - p);
    token.next = q;
    return token;
}

SkinToken String(const char* p, const char* end, int flags) {
    // The string ends at the first quote that does not directly follow a backslash.
    const char* q = p + 1;
    while (q < end && !(*q == '"' && q[-1] != '\\')) {
        ++q;
    }
    const bool closed = q < end;
    SkinToken token{p, 0, closed ? kTokenString : kTokenOpenString, closed ? q + 1 : end, true};
    if (flags & kTokenStripQuotes) {
        token.start = p + 1;
        token.length = static_cast<std::size_t>(q - (p + 1));
    } else {
        token.length = static_cast<std::size_t>(token.next - p);
    }
    return token;
}

} // namespace

SkinToken ScanToken(const char* text, const char* end, int flags) {
    const char* p = SkipSpace(text, end, (flags & kTokenKeepComments) == 0);
    if (p >= end) {
        return SkinToken{end, 0, kTokenOther, end, false};
    }
    if (IsLetter(*p)) {
        const char* q = p + 1;
        while (q < end && (IsLetter(*q) || IsDigit(*q))) {
            ++q;
        }
        return SkinToken{p, static_cast<std::size_t>(q - p), kTokenIdentifier, q, true};
    }
    if (IsDigit(*p)) {
        return Number(p, end, flags);
    }
    if (*p == '"') {
        return String(p, end, flags);
    }
    if (end - p >= 2) {
        for (std::string_view op : kTwoCharOperators) {
            if (p[0] == op[0] && p[1] == op[1]) {
                return SkinToken{p, 2, kTokenOperator, p + 2, true};
            }
        }
    }
    const bool isOperator = kOperatorSet.find(*p) != std::string_view::npos;
    return SkinToken{p, 1, isOperator ? kTokenOperator : kTokenOther, p + 1, true};
}

const char* GetToken(const char* text, int length, const char** tokenStart, int* tokenLength,
                     int* kind, int flags, int keywordCount, const char* const* keywords,
                     const int* keywordKinds) {
    const char* end = text + (length < 0 ? std::strlen(text) : static_cast<std::size_t>(length));
    const SkinToken token = ScanToken(text, end, flags);
    *tokenStart = token.start;
    *tokenLength = static_cast<int>(token.length);
    *kind = token.kind;
    if (token.found && (token.kind == kTokenIdentifier || token.kind == kTokenOperator)) {
        for (int i = 0; i < keywordCount; ++i) {
            const std::string_view keyword(keywords[i]);
            if (keyword == std::string_view(token.start, token.length)) {
                *kind = keywordKinds[i];
                break;
            }
        }
    }
    if (!token.found || token.next >= end) {
        return nullptr;
    }
    return token.next;
}
