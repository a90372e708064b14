#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

class CSkin;
class CSkinClient;
class IMessageBox;
class QWidget;
class SkinFileSource;

// Owns the current skin, knows every skinned window and re-skins them all on a switch.
class CSkinManager {
public:
    // baseFolder holds the skin folders ("Skins"); archivePath is the file whose appended
    // archive is searched first (the running executable; empty for none).
    CSkinManager(std::string baseFolder, std::string archivePath, IMessageBox& messages);
    virtual ~CSkinManager();

    // Loads the skin folder of that name inside the base folder and makes it current.
    // On a syntax error the old skin stays and false is returned.
    bool ChangeSkin(const std::string& name);
    void Register(QWidget* window, CSkinClient* client);
    void Unregister(QWidget* window);

    [[nodiscard]] CSkin* Current() const { return current_.get(); }
    [[nodiscard]] IMessageBox& Messages() const { return messages_; }

private:
    std::string baseFolder_;
    std::string archivePath_;
    IMessageBox& messages_;
    std::set<QWidget*> windows_;
    std::unique_ptr<CSkin> current_;
    std::map<QWidget*, CSkinClient*> clients_;
};
