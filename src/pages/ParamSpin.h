#pragma once

#include <vector>

#include <QPointer>

#include "description/ParamItem.h"
#include "pages/PageContext.h"
#include "widgets/CSkinSpin.h"

class ParamSpinEdit;

// The spin of a spin set (skin section "Spin"): one value field per item, each shown in a
// ParamSpinEdit. It is not registered itself; its fields are.
class ParamSpin : public CSkinSpin {
    Q_OBJECT
public:
    ParamSpin(const PageContext& context, const ParamItem& firstItem);
    ~ParamSpin() override;

    // The field with that number now shows in edit; field numbers count from the right.
    void AttachField(ParamSpinEdit* edit);
    // The spin is enabled while any of its fields is: its arrows step only enabled fields'
    // values.
    void UpdateEnabled();

    [[nodiscard]] ParamItem& Item() { return item_; }
    [[nodiscard]] const std::vector<QPointer<ParamSpinEdit>>& Fields() const { return fields_; }

private:
    void OnValueChanged(int field);

    ParamItem item_;
    std::vector<QPointer<ParamSpinEdit>> fields_;
};
