#pragma once

#include <cstddef>

// Token kinds of GetToken.
enum SkinTokenKind : int {
    kTokenOther = 0,       // any other single character
    kTokenIdentifier = 1,  // a letter or '_', then letters, digits and '_'
    kTokenString = 2,      // "..." (quotes removed with kTokenStripQuotes)
    kTokenOpenString = -2, // a string without closing quote, to the end of the text
    kTokenInteger = 3,     // decimal digits
    kTokenReal = 4,        // digits with a fraction and/or exponent
    kTokenHex = 5,         // 0x and hex digits
    kTokenBadHex = -3,     // 0x without digits
    kTokenOperator = 6,    // a two-character operator or one of the operator set
};

// Flags of GetToken.
enum SkinTokenFlags : int {
    kTokenStripQuotes = 1,    // string tokens without their quotes; numbers never take a fraction
    kTokenStripHexPrefix = 2, // hexadecimal tokens without "0x"; numbers never take a fraction
    kTokenKeepComments = 8,   // do not skip "//" and "/* */" comments
};

// One token of text, as the parser needs it: where it starts and ends in the text, and
// where reading goes on.
struct SkinToken {
    const char* start = nullptr; // the token's text (inside the quotes for stripped strings)
    std::size_t length = 0;
    int kind = kTokenOther;
    const char* next = nullptr; // just behind the token (behind a closing quote)
    bool found = false;         // false when only white space and comments were left
};

// Reads the next token of [text, end).
SkinToken ScanToken(const char* text, const char* end, int flags);

// The classic interface: length -1 means NUL-terminated. Returns the position behind the
// token, or null when the token reaches the end of the text or there is none. Keywords turn
// an identifier or operator of the same text into the keyword's kind.
const char* GetToken(const char* text, int length, const char** tokenStart, int* tokenLength,
                     int* kind, int flags, int keywordCount, const char* const* keywords,
                     const int* keywordKinds);
