#include "pages/ParamSpinEdit.h"

#include <cmath>

#include "description/ControlRegistry.h"
#include "description/ParameterModel.h"
#include "pages/ParamSpin.h"

ParamSpinEdit::ParamSpinEdit(const PageContext& context, const ParamItem& item, ParamSpin* spin,
                             int fieldNumber)
    : CSkinEdit("SpinEdit", context.skin), context_(context), item_(item), scale_(item_),
      spin_(spin), fieldNumber_(fieldNumber) {
    if (item_.address.a == kClockAddress) {
        clockTimer_.setInterval(kClockReadMs);
        connect(&clockTimer_, &QTimer::timeout, this, &ParamSpinEdit::OnClockTick);
        clockTimer_.start();
    }
}

ParamSpinEdit::~ParamSpinEdit() {
    if (context_.registry != nullptr) {
        context_.registry->Remove(*this);
    }
}

void ParamSpinEdit::ShowDeviceValue(std::uint8_t value) {
    if (spin_ != nullptr) {
        spin_->SetValue(scale_.FromDevice(value), fieldNumber_, false);
    }
}

void ParamSpinEdit::SetControlEnabled(bool enabled) {
    setEnabled(enabled);
    if (spin_ != nullptr) {
        spin_->UpdateEnabled();
    }
}

void ParamSpinEdit::OnUserChange() {
    if (spin_ == nullptr || context_.model == nullptr) {
        return;
    }
    const std::uint8_t value = scale_.ToDevice(spin_->GetValue(fieldNumber_));
    context_.model->WriteParameter(item_.address, value, false);
}

void ParamSpinEdit::OnClockTick() {
    if (isVisible() && context_.model != nullptr) {
        context_.model->ReadParameter(item_.address);
    }
}
