#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QImage>
#include <QPoint>
#include <QRect>

#include <gtest/gtest.h>

#include "app/XvfbDisplay.h"
#include "skin/IMessageBox.h"

class CSkin;
class CSkinManager;

// The real solvei-remote under a private Xvfb display against a real solvei-sim, with the
// operator's hands (xdotool), eyes (import) and a second remote (solvei-ctl) to ask the
// processor what it holds. Each test gets folders of its own for the program's settings,
// working folder and temporary files; the shipped skin says where the keys are.
class RemoteOnXvfbTest : public ::testing::Test {
protected:
    RemoteOnXvfbTest();
    ~RemoteOnXvfbTest() override;
    void SetUp() override;
    void TearDown() override;

    // Starts the display, a simulator on a free port and loads the shipped skin; false (with
    // a failure recorded) when any of them could not be started.
    bool StartDisplayAndSimulator();
    // A simulator again on that port, as a processor that comes back; false when it did not.
    bool StartSimulatorOn(unsigned short port);
    // Settings as a previous run would leave them: the simulator's address and that lock code
    // (nothing: the stored default).
    void StoreSettings(std::optional<int> lockCode = std::nullopt) const;
    // Starts the program and waits for its main window; its top-left corner on the screen.
    std::optional<QPoint> StartRemoteWindow();

    // A file in the test's own folder.
    [[nodiscard]] std::string Path(const std::string& sub) const;
    // A screenshot kept for a person to look at when SOLVEI_SHOT_DIR names a folder.
    [[nodiscard]] std::string ShotPath(const std::string& name) const;

    // The area of a skin key: its place and the size of its "up" image.
    [[nodiscard]] QRect KeyRect(const char* section) const;
    // The area a skin section gives by offset, width and height.
    [[nodiscard]] QRect SectionRect(const char* section) const;
    [[nodiscard]] CSkin& Skin() const;

    // xdotool key with those keys; a failure is recorded.
    void Key(const std::string& keys) const;
    [[nodiscard]] std::string WindowName() const;
    [[nodiscard]] std::optional<QPoint> WindowPlace() const;

    // One solvei-ctl command against the simulator.
    [[nodiscard]] TestProcess::Result Ctl(std::vector<std::string> command) const;

    XvfbDisplay display_;
    std::unique_ptr<TestProcess> sim_;
    std::unique_ptr<TestProcess> remote_;
    unsigned short simPort_ = 0;

private:
    class NoBoxes : public IMessageBox {
    public:
        void Show(const std::string& text, const std::string&, Icon) override {
            ADD_FAILURE() << "skin error: " << text;
        }
    };

    std::filesystem::path dir_;
    NoBoxes boxes_;
    std::unique_ptr<CSkinManager> skin_;
};
