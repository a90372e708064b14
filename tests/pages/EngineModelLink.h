#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include <QObject>

#include "description/IParameterLink.h"
#include "description/ParameterModel.h"
#include "link/CConnectionSettings.h"
#include "link/CLinkEngine.h"
#include "link/ILinkListener.h"

// The parameter model wired to a real link engine, as the main window wires them but without
// the window: replies are posted to the GUI thread, where the model takes them, and the
// model's reads and writes go to the engine. Shared by the page tests and the page benchmark.

// The link engine's listener: parameter values go to the model; the connection state is
// kept in `connected`. Everything else is of no interest here.
class ModelPostingListener : public ILinkListener {
public:
    ModelPostingListener(QObject& receiver, ParameterModel& model)
        : receiver_(&receiver), model_(model) {}

    void OnConnected() override {
        Post([this] { connected = true; });
    }
    void OnDisconnected() override {
        Post([this] { connected = false; });
    }
    void OnError(int) override {
        Post([this] { connected = false; });
    }
    void OnVersion(const std::string&) override {}
    void OnParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t v) override {
        Post([this, a, b, c, v] { model_.OnParameterValue({a, b, c}, v); });
    }
    void OnLeds(const ByteString&) override {}
    void OnConfig(const ByteString&) override {}
    void OnFactoryPresetNumber(int) override {}
    void OnPresetLoaded(int) override {}
    void OnBypass(int) override {}
    void OnPreset(int, const ByteString&) override {}
    void OnPresetSent(int, const ByteString&) override {}
    void OnLog(const std::string&) override {}
    void OnTransferFailed(std::uint8_t) override {}

    // Read on the GUI thread only.
    bool connected = false;

private:
    template <typename Work> void Post(Work work) {
        QMetaObject::invokeMethod(receiver_, std::move(work), Qt::QueuedConnection);
    }
    QObject* receiver_;
    ParameterModel& model_;
};

// The engine as the model's link. The engine is made after the model (it needs the listener,
// which needs the model), so the link holds a reference to the pointer set later.
class EngineParameterLink : public IParameterLink {
public:
    explicit EngineParameterLink(CLinkEngine*& engine) : engine_(engine) {}
    bool IsConnected() const override { return engine_ != nullptr && engine_->IsConnected(); }
    void ReadParameter(const ParamAddress& a) override { engine_->ReadParameter(a.a, a.b, a.c); }
    void WriteParameter(const ParamAddress& a, std::uint8_t v) override {
        engine_->WriteParameter(a.a, a.b, a.c, v);
    }
    void SetPolling(bool on) override { engine_->SetPolling(on); }

private:
    CLinkEngine*& engine_;
};

// A link engine with the link defaults, connecting over UDP to a simulator on 127.0.0.1.
inline std::unique_ptr<CLinkEngine> ConnectEngineToSimulator(ILinkListener& listener,
                                                              unsigned short port) {
    CConnectionSettings settings;
    settings.SetLinkDefaults();
    settings.serial = 0;
    settings.portName = CConnectionSettings::kEthernetPortName;
    settings.host = "127.0.0.1";
    settings.port = port;
    auto engine = std::make_unique<CLinkEngine>(&listener, settings);
    engine->Connect();
    return engine;
}
