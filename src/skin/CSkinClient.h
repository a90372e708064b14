#pragma once

#include <cstdint>
#include <string>

class CSkinManager;
class QImage;
class QWidget;

// The base every skinned window carries: binds the window to a section of the skin script
// and forwards lookups to the current skin.
class CSkinClient {
public:
    CSkinClient(std::string section, CSkinManager* manager);
    virtual ~CSkinClient();
    CSkinClient(const CSkinClient&) = delete;
    CSkinClient& operator=(const CSkinClient&) = delete;

    // Reads every value this window needs from its section and rebuilds what depends on them.
    virtual void ApplySkin() = 0;

    void SetSection(const std::string& section);
    [[nodiscard]] const std::string& Section() const { return section_; }
    void Attach(QWidget* window);
    void Detach();
    [[nodiscard]] QWidget* Window() const { return window_; }
    [[nodiscard]] CSkinManager* Manager() const { return manager_; }

    // Lookups never fail: a missing image is null, a missing number 0, a missing text "".
    const QImage* GetImage(const std::string& name);
    // The image's twin of twice the size, or null when the skin has none.
    const QImage* GetTwin(const std::string& name);
    const QImage* GetIcon(const std::string& name);
    const QImage* GetIconTwin(const std::string& name);
    int32_t GetLong(const std::string& name);
    std::string GetString(const std::string& name);

    // The first control id, counting up from 101, that no child of this window carries.
    [[nodiscard]] unsigned FindFreeControlId() const;

private:
    std::string section_;
    CSkinManager* manager_;
    QWidget* window_ = nullptr;
};
