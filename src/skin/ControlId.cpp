#include "skin/ControlId.h"

#include <QVariant>
#include <QWidget>

namespace {
constexpr char kControlIdProperty[] = "solveiControlId";
}

void SetControlId(QWidget* widget, unsigned id) {
    widget->setProperty(kControlIdProperty, QVariant::fromValue(id));
}

unsigned ControlId(const QWidget* widget) {
    const QVariant id = widget->property(kControlIdProperty);
    return id.isValid() ? id.toUInt() : 0;
}
