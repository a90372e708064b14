#pragma once

#include <cstdint>

#include <QPointer>
#include <QTimer>

#include "description/IBoundControl.h"
#include "description/ParamItem.h"
#include "pages/PageContext.h"
#include "pages/SpinFieldScale.h"
#include "widgets/CSkinEdit.h"

class ParamSpin;

// One value field of a spin (skin section "SpinEdit"), bound to one item. A user change of
// its field writes the value (without updating the model). Clock parameters (first address
// byte kClockAddress) are read again every kClockReadMs while the page is visible.
class ParamSpinEdit : public CSkinEdit, public IBoundControl {
    Q_OBJECT
public:
    static constexpr std::uint8_t kClockAddress = 5;
    static constexpr int kClockReadMs = 1000;

    // fieldNumber counts from the right: fields - 1 - position.
    ParamSpinEdit(const PageContext& context, const ParamItem& item, ParamSpin* spin,
                  int fieldNumber);
    ~ParamSpinEdit() override;

    void ShowDeviceValue(std::uint8_t value) override;
    void SetControlEnabled(bool enabled) override;

    // The spin reported a user change of this field.
    void OnUserChange();
    // One tick of the clock read: reads the parameter while the page is visible.
    void OnClockTick();

    [[nodiscard]] ParamItem& Item() { return item_; }
    [[nodiscard]] int FieldNumber() const { return fieldNumber_; }
    [[nodiscard]] const SpinFieldScale& Scale() const { return scale_; }
    [[nodiscard]] const QTimer& ClockTimer() const { return clockTimer_; }

private:
    PageContext context_;
    ParamItem item_;
    SpinFieldScale scale_;
    QPointer<ParamSpin> spin_;
    int fieldNumber_;
    QTimer clockTimer_;
};
