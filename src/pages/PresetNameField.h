#pragma once

#include <vector>

#include <QPointer>

class ParamSpin;

// A spin field that offers "Off" and the preset names; its texts are filled in after the
// page is built, and again whenever the preset names change.
struct PresetNameField {
    QPointer<ParamSpin> spin;
    int field = 0;
};

using PresetNameFields = std::vector<PresetNameField>;
