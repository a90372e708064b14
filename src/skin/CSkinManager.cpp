#include "skin/CSkinManager.h"

#include <vector>

#include <QWidget>

#include "skin/CSkin.h"
#include "skin/CSkinClient.h"
#include "skin/SkinFileSource.h"

CSkinManager::CSkinManager(std::string baseFolder, std::string archivePath, IMessageBox& messages)
    : baseFolder_(std::move(baseFolder)), archivePath_(std::move(archivePath)),
      messages_(messages) {}

CSkinManager::~CSkinManager() = default;

bool CSkinManager::ChangeSkin(const std::string& name) {
    // One file source per load: the program's archive is read once for all of this skin's
    // files.
    auto files = std::make_shared<SkinFileSource>(archivePath_);
    auto skin = std::make_unique<CSkin>(files, messages_);
    if (!skin->Load(SkinFileSource::DiskPath(baseFolder_, name))) {
        return false;
    }
    std::unique_ptr<CSkin> old = std::move(current_);
    current_ = std::move(skin);
    // A window may create or destroy others while it re-skins, so walk a copy and skip
    // windows that went away meanwhile.
    const std::vector<QWidget*> windows(windows_.begin(), windows_.end());
    for (QWidget* window : windows) {
        const auto client = clients_.find(window);
        if (client == clients_.end()) {
            continue;
        }
        client->second->ApplySkin();
        window->update();
    }
    old.reset();
    return true;
}

void CSkinManager::Register(QWidget* window, CSkinClient* client) {
    windows_.insert(window);
    clients_[window] = client;
}

void CSkinManager::Unregister(QWidget* window) {
    if (current_) {
        current_->ReleaseUser(reinterpret_cast<std::uintptr_t>(window));
    }
    windows_.erase(window);
    clients_.erase(window);
}
