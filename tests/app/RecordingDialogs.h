#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/IOperatorDialogs.h"

// Boxes and file dialogs recorded instead of shown; file dialogs answer from a queue.
class RecordingDialogs : public IOperatorDialogs {
public:
    struct Box {
        std::string text;
        std::string caption;
    };

    void Show(const std::string& text, const std::string& caption, Icon) override {
        boxes.push_back({text, caption});
    }
    std::optional<std::string> ChooseOpenFile(const std::string&) override { return Next(); }
    std::optional<std::string> ChooseSaveFile(const std::string& filter,
                                              const std::string& suggested) override {
        filters.push_back(filter);
        suggestions.push_back(suggested);
        return Next();
    }
    void OwnedBy(QWidget* window) override { owner = window; }
    bool Ask(const std::string& text, const std::string& caption) override {
        questions.push_back({text, caption});
        return answerYes;
    }

    std::optional<std::string> AskNote(const std::string&, const std::string&) override {
        if (notes.empty()) {
            return std::string();
        }
        auto note = notes.front();
        notes.erase(notes.begin());
        return note;
    }

    [[nodiscard]] std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Box& box : boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }

    std::vector<Box> boxes;
    std::vector<Box> questions;
    // What each save dialog offered: its filter and the suggested file name.
    std::vector<std::string> filters;
    std::vector<std::string> suggestions;
    bool answerYes = false;
    QWidget* owner = nullptr;
    std::vector<std::optional<std::string>> answers;
    // The notes asked for, in turn; an empty note when none is left.
    std::vector<std::optional<std::string>> notes;

private:
    std::optional<std::string> Next() {
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
};
