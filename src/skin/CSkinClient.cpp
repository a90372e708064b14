#include "skin/CSkinClient.h"

#include <set>

#include <QWidget>

#include "skin/CSkin.h"
#include "skin/CSkinManager.h"
#include "skin/ControlId.h"

namespace {
constexpr unsigned kFirstControlId = 101;
}

CSkinClient::CSkinClient(std::string section, CSkinManager* manager)
    : section_(std::move(section)), manager_(manager) {}

// The skinned windows derive from their Qt class first and from this one second, so this
// runs before their window part is destroyed: the one place a window leaves the manager.
CSkinClient::~CSkinClient() {
    Detach();
}

void CSkinClient::SetSection(const std::string& section) {
    section_ = section;
    ApplySkin();
}

void CSkinClient::Attach(QWidget* window) {
    if (window_ != nullptr && window_ != window) {
        Detach();
    }
    window_ = window;
    if (manager_ != nullptr && window_ != nullptr) {
        manager_->Register(window_, this);
    }
}

void CSkinClient::Detach() {
    // Safe to call twice: the destructor detaches a window that did not do it itself.
    if (manager_ != nullptr && window_ != nullptr) {
        manager_->Unregister(window_);
    }
    window_ = nullptr;
}

const QImage* CSkinClient::GetImage(const std::string& name) {
    CSkin* skin = manager_ != nullptr ? manager_->Current() : nullptr;
    return skin != nullptr ? skin->GetImage(section_, name, reinterpret_cast<CSkin::User>(window_))
                           : nullptr;
}

const QImage* CSkinClient::GetTwin(const std::string& name) {
    CSkin* skin = manager_ != nullptr ? manager_->Current() : nullptr;
    if (skin == nullptr) {
        return nullptr;
    }
    const auto user = reinterpret_cast<CSkin::User>(window_);
    const QImage* image = skin->GetImage(section_, name, user);
    const QImage* twin = skin->GetImage(section_, name, user, 2.0);
    return twin != image ? twin : nullptr;
}

const QImage* CSkinClient::GetIconTwin(const std::string& name) {
    CSkin* skin = manager_ != nullptr ? manager_->Current() : nullptr;
    if (skin == nullptr) {
        return nullptr;
    }
    const auto user = reinterpret_cast<CSkin::User>(window_);
    const QImage* icon = skin->GetIcon(section_, name, user);
    const QImage* twin = skin->GetIcon(section_, name, user, 2.0);
    return twin != icon ? twin : nullptr;
}

const QImage* CSkinClient::GetIcon(const std::string& name) {
    CSkin* skin = manager_ != nullptr ? manager_->Current() : nullptr;
    return skin != nullptr ? skin->GetIcon(section_, name, reinterpret_cast<CSkin::User>(window_))
                           : nullptr;
}

int32_t CSkinClient::GetLong(const std::string& name) {
    CSkin* skin = manager_ != nullptr ? manager_->Current() : nullptr;
    return skin != nullptr ? skin->GetLong(section_, name) : 0;
}

std::string CSkinClient::GetString(const std::string& name) {
    CSkin* skin = manager_ != nullptr ? manager_->Current() : nullptr;
    return skin != nullptr ? skin->GetString(section_, name) : std::string();
}

unsigned CSkinClient::FindFreeControlId() const {
    std::set<unsigned> used;
    if (window_ != nullptr) {
        for (const QWidget* child : window_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            used.insert(ControlId(child));
        }
    }
    unsigned id = kFirstControlId;
    while (used.count(id) != 0) {
        ++id;
    }
    return id;
}
