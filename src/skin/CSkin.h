#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QImage>

class IMessageBox;
class SkinFileSource;

// One loaded skin: four tables filled from the skin script. Images and icons load on first
// request, are shared between windows and are released with their last user.
class CSkin {
public:
    // Thrown by Parse, caught inside Load. position points into the script text, or is null
    // when the text ended inside a statement.
    struct SKIN_EXEPTION {
        int32_t code = 0;
        const char* position = nullptr;
    };

    // A user is a window's identity (its address); see CSkinClient.
    using User = std::uintptr_t;

    struct ImageEntry {
        std::string file;
        std::unique_ptr<QImage> handle; // null until first use
        std::set<User> users;
        // The twin of twice the size ("Name@2x.bmp"), with a device pixel ratio of 2; null
        // until asked for at a high density, or when the skin has none.
        std::unique_ptr<QImage> twin;
        bool twinTried = false;
    };

    // files: where skin files come from (the archive appended to the executable, then the
    // skin folder). messages: where load errors are reported.
    CSkin(std::shared_ptr<SkinFileSource> files, IMessageBox& messages);
    ~CSkin();
    CSkin(const CSkin&) = delete;
    CSkin& operator=(const CSkin&) = delete;

    // Reads "skin.ini" of the folder; false only after a syntax error has been reported.
    bool Load(const std::string& folder);
    // Parses a NUL-terminated script into the tables; throws SKIN_EXEPTION.
    void Parse(const char* text);

    // ratio: the device pixel ratio the image is shown at. From 1.5 on, the image's twin of
    // twice the size is given when the skin has one of exactly twice the size (its device
    // pixel ratio set to 2, so its logical size is the image's); otherwise, and below 1.5,
    // the image itself.
    const QImage* GetImage(const std::string& section, const std::string& name, User user,
                           double ratio = 1.0);
    // The file name of an image's twin: "@2x" before the extension.
    static std::string TwinFile(const std::string& file);
    // An icon and its twin likewise; every icon is brought to one square size, a twin to twice it.
    const QImage* GetIcon(const std::string& section, const std::string& name, User user,
                          double ratio = 1.0);
    int32_t GetLong(const std::string& section, const std::string& name);
    std::string GetString(const std::string& section, const std::string& name);
    void ReleaseUser(User user);

    // The line an error was found on: 0 for a null position, else 1 + the line feeds before it.
    static int ErrorLine(const char* text, const char* position);
    // A script file's bytes as the parser reads them: CR LF turned into LF, cut at a NUL.
    static std::string ScriptText(const std::vector<char>& bytes);
    // The value a LONG statement stores for its value text: a #RRGGBB colour as
    // red + green * 256 + blue * 65536, else the leading decimal number (0 without digits).
    static int32_t LongValue(const std::string& text);

    [[nodiscard]] bool IsLoaded() const { return loaded_; }
    [[nodiscard]] const std::string& Folder() const { return folder_; }
    [[nodiscard]] const std::map<std::string, ImageEntry>& Images() const { return images_; }
    [[nodiscard]] const std::map<std::string, ImageEntry>& Icons() const { return icons_; }
    [[nodiscard]] const std::map<std::string, std::string>& Texts() const { return texts_; }
    [[nodiscard]] const std::map<std::string, int32_t>& Numbers() const { return numbers_; }

private:
    const QImage* Lookup(std::map<std::string, ImageEntry>& table, const std::string& key,
                         User user, bool icon);
    // The entry's twin, loaded on first request; image itself when there is none.
    const QImage* Twin(ImageEntry& entry, const QImage& image, bool icon);

    std::map<std::string, ImageEntry> images_;
    std::map<std::string, ImageEntry> icons_;
    std::map<std::string, std::string> texts_;
    std::map<std::string, int32_t> numbers_;
    std::string folder_;
    bool loaded_ = false;
    std::shared_ptr<SkinFileSource> files_;
    IMessageBox& messages_;
};
