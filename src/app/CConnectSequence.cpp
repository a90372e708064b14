#include "app/CConnectSequence.h"

#include <cstdio>
#include <fstream>

#include "app/IConnectLink.h"
#include "app/IConnectView.h"
#include "link/CConnectionSettings.h"
#include "skin/IMessageBox.h"

const std::string CConnectSequence::kNoResponse =
    std::string("No Response from Processor \n") + "Please check cables and connection settings.";
const std::string CConnectSequence::kIncorrectApplication =
    std::string("Incorrect Remote Application\n \n") +
    "The remote application you are using does not match the type of processor you are "
    "connecting to.  \n" +
    "Please use the correct remote application.";
const std::string CConnectSequence::kPermissionsError =
    std::string("Permissions Error\n \n") +
    "The remote application cannot be run from CD or a directory without write access "
    "permissions. \n" +
    "Please run the apllication from a folder with write access permissions.";
const std::string CConnectSequence::kTransferBrokeOff =
    std::string("Transfer Error\n \n") +
    "The transfer from the processor broke off before its end. \n" + "Please connect again.";

const std::string CConnectSequence::kLinkLostWhileConnecting =
    std::string("Connection Lost\n \n") +
    "The link to the processor dropped while its settings and presets were being read. \n" +
    "Please connect again.";
const std::string CConnectSequence::kDescriptionUnreadable =
    std::string("File Read Error\n \n") +
    "The description the processor sent could not be read back from the working folder. \n" +
    "Please connect again.";

CConnectSequence::CConnectSequence(IConnectLink& link, IConnectView& view, IMessageBox& boxes,
                                   CConnectionSettings& settings)
    : link_(link), view_(view), boxes_(boxes), settings_(settings) {}

std::string CConnectSequence::CaptionForVersion(const std::string& version) {
    std::string caption = "Solvei V";
    if (!version.empty()) {
        caption += version[0];
    }
    caption += '.';
    if (version.size() > 1) {
        caption += version.substr(1, 2);
    }
    return caption;
}

void CConnectSequence::OnConnectPressed() {
    view_.DropPage();
    const std::string lockText = view_.ApplySettings();
    const bool badLock = settings_.lockCode > 9999 || lockText.size() != 4;
    if (badLock) {
        boxes_.Show(kCheckPassword, "", IMessageBox::Icon::None);
    }
    // Port 0 (or none) reaches no processor over Ethernet, as little as one above 65535.
    if (settings_.port > 65535 || (settings_.serial == 0 && settings_.port == 0)) {
        boxes_.Show(kCheckPort, "", IMessageBox::Icon::None);
        return;
    }
    const std::string& way = settings_.portName;
    if (settings_.serial != 0 && (way.size() < 2 || way.front() != '/') &&
        way.rfind("COM", 0) != 0) {
        boxes_.Show(kCheckDevice, "", IMessageBox::Icon::None);
        return;
    }
    if (badLock) {
        return;
    }
    // The operator takes over from any connect the window started by itself.
    automatic_ = false;
    online_ = false;
    if (link_.IsConnected()) {
        link_.Disconnect();
        return;
    }
    view_.SetInputEnabled(false);
    view_.ShowWait();
    view_.ResetForConnect();
    failure_.clear();
    cancelled_ = false;
    descriptionAccepted_ = false;
    connecting_ = true;
    link_.Open();
}

void CConnectSequence::StartAutomaticConnect() {
    if (link_.IsConnected() || connecting_) {
        return;
    }
    automatic_ = true;
    online_ = false;
    processorAnswered_ = false;
    descriptionAccepted_ = false;
    view_.DropPage();
    view_.ResetForConnect();
    failure_.clear();
    connecting_ = true;
    link_.Open();
}

void CConnectSequence::CancelConnect() {
    if (!connecting_) {
        return;
    }
    cancelled_ = true;
    automatic_ = false;
    link_.Abort();
}

void CConnectSequence::OnConnectFinished() {
    connecting_ = false;
    online_ = true;
    if (automatic_) {
        automatic_ = false;
        view_.ShowLinkUp();
    }
}

bool CConnectSequence::OnExitPressed() {
    exitRequested_ = true;
    automatic_ = false;
    online_ = false;
    if (link_.IsConnected()) {
        link_.Disconnect();
        return false;
    }
    return true;
}

void CConnectSequence::OnConnected() {
    descriptionAccepted_ = false;
    // A connect of the window's own stays in the offline view, with its notice, until the
    // processor has answered and everything is read.
    if (!automatic_) {
        view_.ShowLinkUp();
    }
    exitRequested_ = false;
    passwordPending_ = false;
    processorAnswered_ = false;
    link_.ReadVersion();
}

void CConnectSequence::OnVersion(const std::string& text) {
    view_.SetCaption(CaptionForVersion(text));
    processorAnswered_ = true;
    passwordPending_ = true;
    link_.GetConfig(static_cast<int>(settings_.lockCode));
}

void CConnectSequence::Fail(const std::string& text) {
    link_.Disconnect();
    boxes_.Show(text, "", IMessageBox::Icon::None);
}

void CConnectSequence::OnConfig(const ByteString& data) {
    passwordPending_ = false;
    const std::uint8_t type = data.empty() ? 0 : data.front();
    view_.SetProcessorType(type);
    if (type != kServedProcessorType) {
        Fail(kIncorrectApplication);
        return;
    }
    {
        std::ofstream file(kDescriptionFile, std::ios::binary | std::ios::trunc);
        if (!file) {
            Fail(kPermissionsError);
            return;
        }
        file.write(reinterpret_cast<const char*>(data.data()),
                   static_cast<std::streamsize>(data.size()));
        file.close();
        // A full disk is no better than a read-only folder: nothing usable was stored.
        if (!file) {
            std::remove(kDescriptionFile);
            Fail(kPermissionsError);
            return;
        }
    }
    const bool loaded = view_.LoadDescription(kDescriptionFile);
    std::remove(kDescriptionFile);
    if (!loaded) {
        Fail(kDescriptionUnreadable);
        return;
    }
    descriptionAccepted_ = true;
    link_.GetFactoryPresetNumber();
}

void CConnectSequence::OnTransferFailed(std::uint8_t command) {
    if (!connecting_ || !link_.IsConnected()) {
        return;
    }
    // The processor took the lock code: it started the transfer.
    passwordPending_ = false;
    failure_ = kTransferBrokeOff;
    (void)command;
    link_.Disconnect();
}

void CConnectSequence::OnDisconnected() {
    const bool wasConnecting = connecting_;
    connecting_ = false;
    if (exitRequested_) {
        view_.EndProgram();
        return;
    }
    view_.SetInputEnabled(true);
    view_.ShowLinkDown();
    view_.CloseWait();
    if (cancelled_) {
        cancelled_ = false;
        automatic_ = false;
        online_ = false;
        failure_.clear();
        return;
    }
    if (online_ && !wasConnecting) {
        // Nobody asked for this: the processor stopped answering while online.
        online_ = false;
        failure_.clear();
        view_.OnLinkLost();
        return;
    }
    // What a noisy or vanishing link causes passes by itself; a wrong lock code or another
    // processor does not, and is the operator's to see.
    const bool passing = failure_.empty() ? !processorAnswered_ || descriptionAccepted_
                                          : failure_ == kTransferBrokeOff;
    if (automatic_ && passing) {
        // The window tries again by itself; a box would stop it until someone is there.
        automatic_ = false;
        descriptionAccepted_ = false;
        failure_.clear();
        view_.OnAutomaticConnectFailed();
        return;
    }
    if (wasConnecting && descriptionAccepted_ && failure_.empty()) {
        // Everything was accepted, then the link went while values or presets were read:
        // without a word the operator would face a half-built window.
        failure_ = kLinkLostWhileConnecting;
    }
    descriptionAccepted_ = false;
    automatic_ = false;
    online_ = false;
    if (passwordPending_) {
        boxes_.Show(kIncorrectPassword, "", IMessageBox::Icon::None);
    }
    if (!processorAnswered_) {
        boxes_.Show(kNoResponse, "", IMessageBox::Icon::None);
    }
    if (!failure_.empty()) {
        boxes_.Show(failure_, "", IMessageBox::Icon::None);
        failure_.clear();
    }
}
