#include "pages/ParamSpin.h"

#include <algorithm>

#include "pages/ParamSpinEdit.h"

ParamSpin::ParamSpin(const PageContext& context, const ParamItem& firstItem)
    : CSkinSpin("Spin", context.skin), item_(firstItem) {
    connect(this, &CSkinSpin::valueChanged, this, &ParamSpin::OnValueChanged);
}

ParamSpin::~ParamSpin() = default;

void ParamSpin::AttachField(ParamSpinEdit* edit) {
    const auto number = static_cast<std::size_t>(std::max(edit->FieldNumber(), 0));
    if (fields_.size() <= number) {
        fields_.resize(number + 1);
    }
    fields_[number] = edit;
}

void ParamSpin::UpdateEnabled() {
    const bool any = std::any_of(fields_.begin(), fields_.end(), [this](const auto& field) {
        return field != nullptr && field->isEnabledTo(this);
    });
    setEnabled(any);
}

void ParamSpin::OnValueChanged(int field) {
    if (field >= 0 && static_cast<std::size_t>(field) < fields_.size() &&
        fields_[static_cast<std::size_t>(field)] != nullptr) {
        fields_[static_cast<std::size_t>(field)]->OnUserChange();
    }
}
