#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "description/ConditionValues.h"
#include "description/ControlNode.h"
#include "description/ControlRegistry.h"
#include "description/ParamAddress.h"
#include "description/VisibilityEvaluator.h"

class IParameterLink;
class IParameterLog;
class IParameterModelHost;

// The main window's parameter work: reads and writes through the link, the model values of
// the description tree, the page refresh one read at a time, and visibility. The window owns
// one and forwards the link's notifications to it.
class ParameterModel {
public:
    ParameterModel(IParameterLink& link, IParameterLog& log, IParameterModelHost& host);

    // A connect starts: initial read, visibility recompute and both change marks pending.
    void OnConnectStarted();
    // A new description: clears the registry and condition values and reads every set's
    // first item (the initial read).
    void OnDescriptionLoaded(std::shared_ptr<ControlNode> root);

    // True while the link is up: pages are built and filled only then.
    [[nodiscard]] bool IsLinkUp() const;
    void ReadParameter(const ParamAddress& address);
    void WriteParameter(const ParamAddress& address, std::uint8_t value, bool updateModel);
    // Stores value in the first item of every set with that address in every named node.
    void SetModelValue(const ParamAddress& address, std::uint8_t value);
    void RequestNodeValues(const ControlNode& node);
    void RequestConditionValues();
    void StartPageRefresh();

    // A parameter value from the device; the word carries a in bits 0-7, b in 8-15,
    // c in 16-23 and the value in 24-31.
    void OnParameterWord(std::uint32_t word);
    void OnParameterValue(const ParamAddress& address, std::uint8_t value);
    // A preset was loaded on the device: its values must be read again.
    void OnPresetLoaded();
    // An LED-state reply: the moment for pending visibility work.
    void OnLedState();

    [[nodiscard]] ControlRegistry& Registry() { return registry_; }
    [[nodiscard]] const ConditionValues& Conditions() const { return conditionValues_; }
    [[nodiscard]] const std::shared_ptr<ControlNode>& Root() const { return root_; }
    [[nodiscard]] bool InInitialRead() const { return initialRead_; }
    [[nodiscard]] bool InPageRefresh() const { return pageRefresh_; }
    [[nodiscard]] bool RecomputePending() const { return recomputePending_; }
    [[nodiscard]] const VisibilityMarks& Marks() const { return marks_; }

private:
    void RequestNodeValuesFrom(const ControlNode& node);
    void SetModelValueIn(ControlNode& node, const ParamAddress& address, std::uint8_t value);
    void EndPageRefresh();

    IParameterLink& link_;
    IParameterLog& log_;
    IParameterModelHost& host_;
    ControlRegistry registry_;
    std::shared_ptr<ControlNode> root_;
    ConditionValues conditionValues_;
    VisibilityMarks marks_;
    bool initialRead_ = false;
    bool recomputePending_ = false;
    std::optional<ParamAddress> lastRequested_;
    bool pageRefresh_ = false;
    std::size_t refreshIndex_ = 0;
};
