#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/RecordingDialogs.h"
#include "ctl/TestProcess.h"
#include "app/CDlgMain.h"
#include "link/CConnectionSettings.h"
#include "skin/CSkinManager.h"

// A main window on the offscreen platform with the shipped skin, its settings in a temporary
// folder, its working folder temporary too, and a real simulator process to connect to.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts solvei-sim on a free UDP port (or a pseudo-terminal) with extra arguments and
    // stores its address in the settings the window will read.
    void StartSim(const std::vector<std::string>& args, bool serial = false);
    // Builds the window from the stored settings and shows it.
    CDlgMain& OpenWindow(bool shortTimeouts = false);
    // Processes events until done() or the deadline; false at the deadline.
    static bool WaitFor(const std::function<bool()>& done,
                        std::chrono::milliseconds deadline = std::chrono::seconds(20));
    // Presses Connect and waits until the connect is over, either way.
    bool ConnectAndWait();
    // Files left in the working folder.
    [[nodiscard]] std::vector<std::string> WorkFiles() const;
    [[nodiscard]] std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    CConnectionSettings settings_;
    RecordingDialogs dialogs_;
    std::unique_ptr<CSkinManager> skin_;
    std::unique_ptr<CDlgMain> window_;
    std::unique_ptr<TestProcess> sim_;
    std::filesystem::path dir_;
    std::filesystem::path previousFolder_;
};
