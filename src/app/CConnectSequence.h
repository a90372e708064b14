#pragma once

#include <cstdint>
#include <string>

#include "link/ByteString.h"

class CConnectionSettings;
class IConnectLink;
class IConnectView;
class IMessageBox;

// The way from the Connect key to a working processor and back: settings checked, link
// opened, version asked, lock code presented, processor type checked, description stored,
// parsed and turned into pages; and every way it can fail, each with its box. Driven by the
// link's notifications; answers through the link, the view and the boxes.
class CConnectSequence {
public:
    static constexpr const char* kDescriptionFile = "pccontrol.bin";
    static constexpr std::uint8_t kServedProcessorType = 3;

    static constexpr const char* kCheckPassword = "Check Password. It must be four digits long";
    static constexpr const char* kCheckPort = "Check Port. It must be six digits long";
    static constexpr const char* kCheckDevice =
        "Check Device. It must be a full path such as /dev/ttyUSB0";
    static constexpr const char* kIncorrectPassword = "Incorrect Password";
    static const std::string kNoResponse;
    static const std::string kIncorrectApplication;
    static const std::string kPermissionsError;
    static const std::string kTransferBrokeOff;
    static const std::string kLinkLostWhileConnecting;
    static const std::string kDescriptionUnreadable;

    CConnectSequence(IConnectLink& link, IConnectView& view, IMessageBox& boxes,
                     CConnectionSettings& settings);

    // The Connect key: starts a connect, or acts as Disconnect while connected.
    void OnConnectPressed();
    // A connect the window starts by itself after the link was lost: the settings stay as
    // they are, no wait window holds the window, and a processor that does not answer is
    // reported to the view instead of in a box (the window tries again). Any other failure
    // has its box as usual.
    void StartAutomaticConnect();
    // The operator cancelled a connect from the wait window: the link is dropped at once and
    // no box follows (the operator knows why it ended).
    void CancelConnect();
    // The Exit key: the next disconnect ends the program; false when the link is already down
    // and the program may end at once.
    bool OnExitPressed();

    void OnConnected();
    void OnVersion(const std::string& text);
    void OnConfig(const ByteString& data);
    void OnDisconnected();
    // A description or preset transfer broke off. While a connect runs nothing good can come
    // of going on (the pages or the preset list would stay incomplete and the wait window up
    // for ever), so the link is dropped and the operator told why.
    void OnTransferFailed(std::uint8_t command);
    // The preset download finished: the connect is complete.
    void OnConnectFinished();

    [[nodiscard]] bool ProcessorAnswered() const { return processorAnswered_; }
    [[nodiscard]] bool PasswordPending() const { return passwordPending_; }
    [[nodiscard]] bool ExitRequested() const { return exitRequested_; }
    [[nodiscard]] bool Connecting() const { return connecting_; }
    [[nodiscard]] bool Automatic() const { return automatic_; }

    // "Solvei V" followed by the first character, "." and the next two.
    [[nodiscard]] static std::string CaptionForVersion(const std::string& version);

private:
    void Fail(const std::string& text);

    IConnectLink& link_;
    IConnectView& view_;
    IMessageBox& boxes_;
    CConnectionSettings& settings_;
    bool processorAnswered_ = false;
    bool passwordPending_ = false;
    bool exitRequested_ = false;
    bool connecting_ = false;
    // The connect finished and the operator has not asked for the link to go down.
    bool online_ = false;
    bool automatic_ = false;
    bool cancelled_ = false;
    // The processor took the lock code and sent a description of the type served.
    bool descriptionAccepted_ = false;
    // A failure found while connected, shown once the link is down.
    std::string failure_;
};
