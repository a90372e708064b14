#pragma once

#include <memory>
#include <string>

#include "link/CConnectionSettings.h"

class CSkinManager;
class IOperatorDialogs;

// The application object: the connection settings and the skin for the life of the
// process, and the start-up that runs the main window. Qt's own application object is made
// by main() beside it.
class CRemoteApp {
public:
    static constexpr const char* kAlreadyRunning = "A Norvo remote application is already running";
    static constexpr const char* kSkinName = "Solvei";
    static constexpr const char* kSkinFolder = "Skins";

    struct Places {
        // Where the single-instance lock lives (the temporary folder).
        std::string lockFolder;
        // The program whose appended archive holds the skin, and the folder holding the
        // skin folders when the archive lacks a file.
        std::string archivePath;
        std::string skinBase;
    };

    explicit CRemoteApp(Places places);
    ~CRemoteApp();

    // Start-up: settings read, one copy only, skin loaded, the main window run until it ends.
    // Returns the process exit code: 0, also for a second copy that only said so.
    int Run(IOperatorDialogs& dialogs);

    // The usual places for the running program.
    [[nodiscard]] static Places DefaultPlaces();

    [[nodiscard]] CConnectionSettings& Settings() { return settings_; }

private:
    Places places_;
    CConnectionSettings settings_;
    std::unique_ptr<CSkinManager> skinManager_;
};
