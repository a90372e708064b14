#include "description/ParameterModel.h"

#include "description/IBoundControl.h"
#include "description/IParameterLink.h"
#include "description/IParameterLog.h"
#include "description/IParameterModelHost.h"

ParameterModel::ParameterModel(IParameterLink& link, IParameterLog& log, IParameterModelHost& host)
    : link_(link), log_(log), host_(host) {}

void ParameterModel::OnConnectStarted() {
    initialRead_ = true;
    recomputePending_ = true;
    marks_.pageTreeChanged = true;
    marks_.currentPageChanged = true;
    pageRefresh_ = false;
}

void ParameterModel::OnDescriptionLoaded(std::shared_ptr<ControlNode> root) {
    root_ = std::move(root);
    registry_.Clear();
    pageRefresh_ = false;
    conditionValues_.clear();
    if (root_) {
        RequestNodeValues(*root_);
    }
}

bool ParameterModel::IsLinkUp() const {
    return link_.IsConnected();
}

void ParameterModel::ReadParameter(const ParamAddress& address) {
    if (link_.IsConnected()) {
        link_.ReadParameter(address);
    }
}

void ParameterModel::WriteParameter(const ParamAddress& address, std::uint8_t value,
                                    bool updateModel) {
    if (!link_.IsConnected()) {
        return;
    }
    link_.WriteParameter(address, value);
    if (updateModel) {
        recomputePending_ = true;
        SetModelValue(address, value);
    }
}

void ParameterModel::SetModelValue(const ParamAddress& address, std::uint8_t value) {
    if (root_) {
        SetModelValueIn(*root_, address, value);
    }
}

// Only named nodes are pages of the page tree; an unnamed node's children still are.
void ParameterModel::SetModelValueIn(ControlNode& node, const ParamAddress& address,
                                     std::uint8_t value) {
    if (!node.name.empty()) {
        for (const auto& set : node.sets) {
            if (!set->items.empty() && set->items.front().address == address) {
                set->items.front().value = value;
            }
        }
    }
    for (const auto& child : node.children) {
        SetModelValueIn(*child, address, value);
    }
}

void ParameterModel::RequestNodeValues(const ControlNode& node) {
    lastRequested_.reset();
    RequestNodeValuesFrom(node);
    // Nothing to wait for: the initial read is over at once instead of never.
    if (!lastRequested_) {
        initialRead_ = false;
    }
}

void ParameterModel::RequestNodeValuesFrom(const ControlNode& node) {
    for (const auto& set : node.sets) {
        if (!set->items.empty()) {
            lastRequested_ = set->items.front().address;
            ReadParameter(set->items.front().address);
        }
    }
    for (const auto& child : node.children) {
        RequestNodeValuesFrom(*child);
    }
}

void ParameterModel::RequestConditionValues() {
    if (conditionValues_.empty()) {
        lastRequested_.reset();
        initialRead_ = false;
        return;
    }
    lastRequested_ = conditionValues_.back().address;
    for (const ConditionValue& entry : conditionValues_) {
        ReadParameter(entry.address);
    }
}

void ParameterModel::StartPageRefresh() {
    pageRefresh_ = true;
    refreshIndex_ = 0;
    if (registry_.Size() == 0) {
        EndPageRefresh();
        return;
    }
    ReadParameter(registry_.Entries().front().item->address);
}

void ParameterModel::EndPageRefresh() {
    pageRefresh_ = false;
    log_.Log("All Controls Updated");
    host_.OnPageRefreshed();
}

void ParameterModel::OnParameterWord(std::uint32_t word) {
    const ParamAddress address{static_cast<std::uint8_t>(word & 0xFF),
                               static_cast<std::uint8_t>((word >> 8) & 0xFF),
                               static_cast<std::uint8_t>((word >> 16) & 0xFF)};
    OnParameterValue(address, static_cast<std::uint8_t>(word >> 24));
}

void ParameterModel::OnParameterValue(const ParamAddress& address, std::uint8_t value) {
    if (initialRead_) {
        SetModelValue(address, value);
        if (lastRequested_ && *lastRequested_ == address) {
            initialRead_ = false;
            if (!host_.IsPresetDownloadRunning()) {
                link_.SetPolling(true);
            }
        }
        return;
    }

    // By index: a control may rebuild the page (and the registry) while it takes the value.
    for (std::size_t i = 0; i < registry_.Size(); ++i) {
        const ControlRegistry::Entry entry = registry_.Entries()[i];
        if (entry.item->address == address) {
            entry.item->value = value;
            entry.control->ShowDeviceValue(value);
        }
    }

    const auto& entries = registry_.Entries();
    if (!pageRefresh_ || refreshIndex_ >= entries.size() ||
        !(entries[refreshIndex_].item->address == address)) {
        return;
    }
    if (++refreshIndex_ >= entries.size()) {
        EndPageRefresh();
    } else {
        ReadParameter(entries[refreshIndex_].item->address);
    }
}

void ParameterModel::OnPresetLoaded() {
    recomputePending_ = true;
    marks_.pageTreeChanged = true;
    marks_.currentPageChanged = true;
    if (!conditionValues_.empty()) {
        link_.SetPolling(false);
        initialRead_ = true;
        RequestConditionValues();
    } else {
        link_.SetPolling(true);
        initialRead_ = false;
    }
}

void ParameterModel::OnLedState() {
    if (recomputePending_) {
        recomputePending_ = false;
        if (root_) {
            VisibilityEvaluator::RecomputeVisibility(*root_, conditionValues_, marks_);
        }
        if (marks_.pageTreeChanged) {
            marks_.pageTreeChanged = false;
            host_.RebuildPageTree();
        }
    }
    if (marks_.currentPageChanged) {
        marks_.currentPageChanged = false;
        host_.RebuildCurrentPage();
    }
}
