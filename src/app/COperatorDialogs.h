#pragma once

#include "app/IOperatorDialogs.h"

class QWidget;

// The real boxes and file dialogs of the running program, owned by the given window.
class COperatorDialogs : public IOperatorDialogs {
public:
    explicit COperatorDialogs(QWidget* owner = nullptr) : owner_(owner) {}

    void SetOwner(QWidget* owner) { owner_ = owner; }
    void OwnedBy(QWidget* window) override { owner_ = window; }

    void Show(const std::string& text, const std::string& caption, Icon icon) override;
    [[nodiscard]] std::optional<std::string> ChooseOpenFile(const std::string& filter) override;
    [[nodiscard]] std::optional<std::string> ChooseSaveFile(const std::string& filter,
                                                            const std::string& suggested) override;
    bool Ask(const std::string& text, const std::string& caption) override;

private:
    QWidget* owner_;
};
