#pragma once

#include "app/IOperatorDialogs.h"

class CSkinManager;
class QWidget;

// The real boxes and file dialogs of the running program, owned by the given window. Boxes are
// drawn from the skin when the owner is a skinned window whose skin has them (the platform's
// box otherwise, and for a box asked for while a skinned one is being built, e.g. a skin
// error); file dialogs stay the platform's.
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
    [[nodiscard]] std::optional<std::string> AskNote(const std::string& text,
                                                     const std::string& caption) override;

private:
    // The skin manager of a skinned owner whose skin draws boxes, else nothing.
    [[nodiscard]] CSkinManager* SkinnedOwner() const;

    QWidget* owner_;
    bool building_ = false;
};
