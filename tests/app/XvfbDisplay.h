#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QTest>

#include "ctl/TestProcess.h"

// A private X display for the real programs, with the operator's eyes and hands: ImageMagick's
// import looks at the screen, xdotool finds windows, moves the pointer and clicks.
class XvfbDisplay {
public:
    XvfbDisplay() = default;
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // The first of Xvfb, xdotool and import that is not installed; nothing when all are.
    [[nodiscard]] static std::optional<std::string> MissingTool();

    // Starts a display of its own with one screen of the given size ("1280x800x24"); false
    // when no server could be started.
    bool Start(const std::string& screen);
    // ":N", empty before Start succeeded.
    [[nodiscard]] const std::string& Name() const { return name_; }

    // Runs a program against this display.
    TestProcess::Result X(const std::vector<std::string>& argv) const;
    // The whole screen, saved to file and read back as RGB32; a null image when it failed.
    [[nodiscard]] QImage Shot(const std::string& file) const;

    // The main window: the one named "Solvei Remote" or "Solvei V..." that has a real size.
    [[nodiscard]] std::optional<std::string> MainWindowId() const;
    // A window's place and size on the screen, in device pixels.
    [[nodiscard]] std::optional<QRect> Geometry(const std::string& id) const;
    [[nodiscard]] std::string WindowName(const std::string& id) const;
    // Moves the pointer there and clicks the left button; false when xdotool failed.
    bool Click(QPoint at) const;

    // Polls until done() or the deadline, letting this process's own events run between.
    template <typename Done> static bool WaitFor(Done done, std::chrono::milliseconds deadline) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < end) {
            if (done()) {
                return true;
            }
            QTest::qWait(50);
        }
        return done();
    }

private:
    std::unique_ptr<TestProcess> server_;
    std::string name_;
};

// The real solvei-remote on a display, started in the working folder with the settings folder
// and temporary folder given, plus any further environment (a scale factor).
std::unique_ptr<TestProcess> StartRemote(const XvfbDisplay& display, const std::string& workDir,
                                         const std::string& settingsDir,
                                         const std::string& tmpDir,
                                         const std::map<std::string, std::string>& extraEnv = {});

// A solvei-sim serving UDP on a free port of 127.0.0.1; its port, or nothing when it did not
// say where it listens.
std::optional<unsigned short> StartSimulator(std::unique_ptr<TestProcess>& sim);
