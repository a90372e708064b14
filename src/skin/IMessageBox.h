#pragma once

#include <string>

// The one way the program tells the operator something in a box. The application shows a
// real message box; tests record the calls instead of blocking on them.
class IMessageBox {
public:
    enum class Icon { None, Information, Warning, Error };

    virtual ~IMessageBox() = default;
    virtual void Show(const std::string& text, const std::string& caption, Icon icon) = 0;
};
