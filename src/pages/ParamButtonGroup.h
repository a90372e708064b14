#pragma once

#include <cstdint>

#include <QStringList>

#include "description/IBoundControl.h"
#include "description/ParamItem.h"
#include "pages/PageContext.h"
#include "widgets/CSkinButtonGroup.h"

// The option group of a button-group set (skin section "ButtonGroup"): one button per
// entry (or per step of a numeric item); a click writes the button's index at once.
class ParamButtonGroup : public CSkinButtonGroup, public IBoundControl {
    Q_OBJECT
public:
    ParamButtonGroup(const PageContext& context, const ParamItem& item);
    ~ParamButtonGroup() override;

    // The labels of item's buttons: enumeration entries without their first "*", or with a
    // space and the unit; other kinds the numbers from the lowest index up.
    [[nodiscard]] static QStringList Labels(const ParamItem& item);

    void ShowDeviceValue(std::uint8_t value) override;
    void SetControlEnabled(bool enabled) override { setEnabled(enabled); }

    [[nodiscard]] ParamItem& Item() { return item_; }

protected:
    void OnSelect(int index) override;

private:
    PageContext context_;
    ParamItem item_;
};
