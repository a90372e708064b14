#pragma once

#include <cstdint>
#include <string>

// What the connect sequence asks of the main window.
class IConnectView {
public:
    virtual ~IConnectView() = default;

    // Destroys the page shown, empties the control registry and forgets the current page.
    virtual void DropPage() = 0;
    // Lets the settings panel write its fields into the connection settings and returns the
    // lock code field's text as the operator left it.
    virtual std::string ApplySettings() = 0;
    // The window takes no input while a connect runs.
    virtual void SetInputEnabled(bool enabled) = 0;
    virtual void ShowWait() = 0;
    virtual void CloseWait() = 0;
    // A connect starts: visibility, page, meter-view and bypass bookkeeping start afresh.
    virtual void ResetForConnect() = 0;
    // The link is up: Disconnect key, online view, Online and Bypass enabled.
    virtual void ShowLinkUp() = 0;
    // The link is down: LED panel cleared, offline view, Connect key, state keys released
    // and disabled, wait window closed.
    virtual void ShowLinkDown() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetProcessorType(std::uint8_t type) = 0;
    // Loads the description file, builds the page tree and requests the values of the root;
    // false when the file could not be read back (nothing is built then).
    virtual bool LoadDescription(const std::string& path) = 0;
    // Exit was pressed and the link is now down: the program ends.
    virtual void EndProgram() = 0;
    // The link went down by itself after the connect had finished (the processor stopped
    // answering): the window says so and starts connecting again on its own.
    virtual void OnLinkLost() {}
    // A connect the window started on its own did not reach the processor.
    virtual void OnAutomaticConnectFailed() {}
};
