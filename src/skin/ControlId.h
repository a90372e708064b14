#pragma once

class QWidget;

// Control identifiers of child windows, kept as a property of the widget.
void SetControlId(QWidget* widget, unsigned id);
// 0 when the widget carries none.
unsigned ControlId(const QWidget* widget);
