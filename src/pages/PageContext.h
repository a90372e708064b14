#pragma once

#include <cstdint>
#include <functional>

#include <QFont>

class CSkinManager;
class ControlRegistry;
class ParameterModel;

// Milliseconds of a steady clock; tests step their own.
using PageClock = std::function<std::int64_t()>;

// The steady clock of the process, in milliseconds.
std::int64_t SteadyMilliseconds();

// What every page control is built with: the skin, the parameter model its writes and reads
// go through, the registry it enters (and leaves when destroyed), the main window's font and
// the clock of the slider's send throttle.
struct PageContext {
    CSkinManager* skin = nullptr;
    ParameterModel* model = nullptr;
    ControlRegistry* registry = nullptr;
    QFont windowFont;
    PageClock clock = SteadyMilliseconds;
};
