#pragma once

#include <memory>
#include <vector>

#include "widgets/CSkinDialog.h"

// One parameter page: a child panel of the main window (skin section "PPage") that owns the
// controls built on it and destroys them, newest first, with itself.
class ParameterPage : public CSkinDialog {
    Q_OBJECT
public:
    explicit ParameterPage(CSkinManager* manager);
    ~ParameterPage() override;

    // Takes ownership of a control already created as a child of this page (or of one of
    // its controls).
    void AddControl(std::unique_ptr<QWidget> control);
    [[nodiscard]] const std::vector<std::unique_ptr<QWidget>>& Controls() const {
        return controls_;
    }

private:
    std::vector<std::unique_ptr<QWidget>> controls_;
};
