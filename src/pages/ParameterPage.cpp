#include "pages/ParameterPage.h"

ParameterPage::ParameterPage(CSkinManager* manager) : CSkinDialog("PPage", manager) {}

ParameterPage::~ParameterPage() {
    // Newest first: a spin's fields go before the spin that holds them.
    while (!controls_.empty()) {
        controls_.pop_back();
    }
}

void ParameterPage::AddControl(std::unique_ptr<QWidget> control) {
    if (control) {
        controls_.push_back(std::move(control));
    }
}
