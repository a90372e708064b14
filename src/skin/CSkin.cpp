#include "skin/CSkin.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "skin/IMessageBox.h"
#include "skin/SkinFileSource.h"
#include "skin/SkinTokenizer.h"

namespace {

constexpr char kSkinErrorCaption[] = "Skin Error";
constexpr char kScriptName[] = "skin.ini";
// Icons are wanted at the platform's default icon size.
constexpr int kIconSize = 32;

enum class Statement { Image, Icon, Long, String };

struct StatementWord {
    std::string_view word;
    Statement statement;
};

constexpr StatementWord kStatementWords[] = {
    {"IMAGE", Statement::Image},
    {"ICON", Statement::Icon},
    {"LONG", Statement::Long},
    {"STRING", Statement::String},
};

bool IsOperator(const SkinToken& token, char c) {
    return token.kind == kTokenOperator && token.length == 1 && *token.start == c;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// One colour pair; a bad digit ends its conversion.
int32_t HexPair(const char* pair) {
    int32_t value = 0;
    for (int i = 0; i < 2 && HexDigit(pair[i]) >= 0; ++i) {
        value = value * 16 + HexDigit(pair[i]);
    }
    return value;
}

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// As the C library's decimal conversion does it; out of range values saturate.
int32_t DecimalValue(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT32_MAX} + 1);
    }
    value = negative ? -value : value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// One argument between its separators: a lone string becomes its content, anything else
// loses its leading spaces (only spaces) and keeps the rest verbatim.
std::string ArgumentValue(std::string_view raw, std::size_t tokens, const SkinToken& first) {
    if (tokens == 1 && first.kind == kTokenString) {
        return std::string(first.start, first.length);
    }
    const std::size_t start = raw.find_first_not_of(' ');
    return start == std::string_view::npos ? std::string() : std::string(raw.substr(start));
}

// size: the square every icon is brought to.
QImage LoadIcon(const std::vector<char>& bytes, int size) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // An icon file holds several sizes: take the one nearest the default size.
    QImage best;
    int bestDistance = INT_MAX;
    const int count = std::max(1, reader.imageCount());
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i)) {
            break;
        }
        QImage image = reader.read();
        if (image.isNull()) {
            continue;
        }
        const int distance =
            std::abs(image.width() - size) + std::abs(image.height() - size);
        if (distance < bestDistance) {
            best = image;
            bestDistance = distance;
        }
    }
    if (!best.isNull() && best.size() != QSize(size, size)) {
        best = best.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return best;
}

} // namespace

CSkin::CSkin(std::shared_ptr<SkinFileSource> files, IMessageBox& messages)
    : files_(std::move(files)), messages_(messages) {}

CSkin::~CSkin() = default;

bool CSkin::Load(const std::string& folder) {
    folder_ = folder;
    const auto bytes = files_ ? files_->Read(kScriptName, folder_) : std::nullopt;
    if (bytes) {
        const std::string text = ScriptText(*bytes);
        try {
            Parse(text.c_str());
        } catch (const SKIN_EXEPTION& error) {
            const std::string message = "Error (" + std::to_string(error.code) + ") in line " +
                                        std::to_string(ErrorLine(text.c_str(), error.position));
            messages_.Show(message, kSkinErrorCaption, IMessageBox::Icon::Error);
            return false;
        }
    }
    // A missing script leaves an empty skin: every value takes its default.
    loaded_ = true;
    return true;
}

void CSkin::Parse(const char* text) {
    const char* const end = text + std::strlen(text);
    const char* p = text;
    for (;;) {
        const SkinToken word = ScanToken(p, end, kTokenStripQuotes);
        if (!word.found) {
            return;
        }
        const std::string_view wordText(word.start, word.length);
        const auto known = std::find_if(std::begin(kStatementWords), std::end(kStatementWords),
                                        [&](const StatementWord& w) { return w.word == wordText; });
        if (known == std::end(kStatementWords)) {
            throw SKIN_EXEPTION{0, word.next};
        }
        const SkinToken open = ScanToken(word.next, end, kTokenStripQuotes);
        if (!open.found) {
            throw SKIN_EXEPTION{0, nullptr};
        }
        if (!IsOperator(open, '(')) {
            throw SKIN_EXEPTION{0, open.next};
        }
        p = open.next;

        std::vector<std::string> arguments;
        const char* argumentStart = p;
        std::size_t tokens = 0;
        SkinToken first;
        int depth = 1;
        for (;;) {
            const SkinToken token = ScanToken(p, end, kTokenStripQuotes);
            if (!token.found) {
                throw SKIN_EXEPTION{0, nullptr};
            }
            p = token.next;
            const bool closes = IsOperator(token, ')') && depth == 1;
            const bool separates = IsOperator(token, ',') && depth == 1;
            if (closes || separates) {
                const std::string_view raw(argumentStart,
                                           static_cast<std::size_t>(token.start - argumentStart));
                if (!raw.empty()) {
                    arguments.push_back(ArgumentValue(raw, tokens, first));
                }
                if (closes) {
                    break;
                }
                argumentStart = token.next;
                tokens = 0;
                continue;
            }
            if (IsOperator(token, '(')) {
                ++depth;
            } else if (IsOperator(token, ')')) {
                --depth;
            }
            if (tokens++ == 0) {
                first = token;
            }
        }
        if (arguments.size() != 2) {
            throw SKIN_EXEPTION{0, p};
        }

        const std::string& key = arguments[0];
        std::string& value = arguments[1];
        switch (known->statement) {
        case Statement::Image:
            images_[key] = ImageEntry{std::move(value), nullptr, {}, nullptr, false};
            break;
        case Statement::Icon:
            icons_[key] = ImageEntry{std::move(value), nullptr, {}, nullptr, false};
            break;
        case Statement::Long:
            numbers_[key] = LongValue(value);
            break;
        case Statement::String:
            texts_[key] = std::move(value);
            break;
        }
    }
}

int32_t CSkin::LongValue(const std::string& text) {
    if (text.size() == 7 && text[0] == '#') {
        return HexPair(&text[1]) + HexPair(&text[3]) * 256 + HexPair(&text[5]) * 65536;
    }
    return DecimalValue(text);
}

int CSkin::ErrorLine(const char* text, const char* position) {
    if (position == nullptr) {
        return 0;
    }
    return 1 + static_cast<int>(std::count(text, position, '\n'));
}

std::string CSkin::ScriptText(const std::vector<char>& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            continue;
        }
        text += bytes[i];
    }
    return text;
}

const QImage* CSkin::GetImage(const std::string& section, const std::string& name, User user,
                              double ratio) {
    const std::string key = section + "::" + name;
    const QImage* image = Lookup(images_, key, user, false);
    if (image == nullptr || ratio < 1.5) {
        return image;
    }
    return Twin(images_.at(key), *image, false);
}

const QImage* CSkin::Twin(ImageEntry& entry, const QImage& image, bool icon) {
    if (!entry.twinTried) {
        entry.twinTried = true;
        // A skin of plain images has no twins: silently the image itself.
        if (const auto bytes =
                files_ ? files_->Read(TwinFile(entry.file), folder_) : std::nullopt) {
            QImage twin;
            if (icon) {
                twin = LoadIcon(*bytes, 2 * kIconSize);
            } else {
                twin.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                                  static_cast<int>(bytes->size()));
            }
            // A twin of another size would move every place laid out in the image's pixels.
            if (!twin.isNull() && twin.size() == image.size() * 2) {
                twin.setDevicePixelRatio(2.0);
                entry.twin = std::make_unique<QImage>(std::move(twin));
            }
        }
    }
    return entry.twin ? entry.twin.get() : &image;
}

std::string CSkin::TwinFile(const std::string& file) {
    const std::size_t dot = file.rfind('.');
    const std::size_t folder = file.find_last_of("\\/");
    if (dot == std::string::npos || (folder != std::string::npos && dot < folder)) {
        return file + "@2x";
    }
    return file.substr(0, dot) + "@2x" + file.substr(dot);
}

const QImage* CSkin::GetIcon(const std::string& section, const std::string& name, User user,
                             double ratio) {
    const std::string key = section + "::" + name;
    const QImage* icon = Lookup(icons_, key, user, true);
    if (icon == nullptr || ratio < 1.5) {
        return icon;
    }
    return Twin(icons_.at(key), *icon, true);
}

int32_t CSkin::GetLong(const std::string& section, const std::string& name) {
    // A missing key is added with 0, so later lookups agree.
    return numbers_[section + "::" + name];
}

std::string CSkin::GetString(const std::string& section, const std::string& name) {
    return texts_[section + "::" + name];
}

void CSkin::ReleaseUser(User user) {
    for (auto* table : {&images_, &icons_}) {
        for (auto& [key, entry] : *table) {
            if (entry.handle && entry.users.erase(user) > 0 && entry.users.empty()) {
                entry.handle.reset();
                entry.twin.reset();
                entry.twinTried = false;
            }
        }
    }
}

const QImage* CSkin::Lookup(std::map<std::string, ImageEntry>& table, const std::string& key,
                            User user, bool icon) {
    const auto found = table.find(key);
    if (found == table.end()) {
        return nullptr;
    }
    ImageEntry& entry = found->second;
    if (!entry.handle) {
        if (const auto bytes = files_ ? files_->Read(entry.file, folder_) : std::nullopt) {
            QImage image;
            if (icon) {
                image = LoadIcon(*bytes, kIconSize);
            } else {
                image.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                                   static_cast<int>(bytes->size()));
            }
            if (!image.isNull()) {
                entry.handle = std::make_unique<QImage>(std::move(image));
            }
        }
    }
    if (!entry.handle) {
        const std::string text =
            std::string(icon ? "Unable to load icon: \"" : "Unable to load image: \"") +
            entry.file + "\"";
        messages_.Show(text, kSkinErrorCaption, IMessageBox::Icon::Error);
        return nullptr;
    }
    entry.users.insert(user);
    return entry.handle.get();
}
