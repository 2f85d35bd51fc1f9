#pragma once

#include "common/Prompts.h"

#include <deque>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// Prompts answered from a script, for tests: each question takes the next
// answer queued (a path or a cancel for a file dialog, Yes or No for a
// confirmation) and is recorded. A question without a fitting answer is
// cancelled or answered No, and counted in `unanswered`.
class ScriptedPrompts final : public Prompts {
public:
    enum class Kind { OpenFile, SaveFile, Confirm, Error, Inform };
    struct Question {
        Kind kind;
        std::string caption;  // the dialog's title or the box's caption
        std::string text;     // a box's text
        OpenFileQuestion open;
        SaveFileQuestion save;
        std::string informative = {};  // a confirmation's text under its question
    };

    void AnswerFile(std::optional<std::string> path) { answers.emplace_back(std::move(path)); }
    void CancelFile() { answers.emplace_back(std::optional<std::string>()); }
    void AnswerConfirm(bool yes) { answers.emplace_back(yes); }

    std::optional<std::string> OpenFile(const OpenFileQuestion& question) override
    {
        asked.push_back({Kind::OpenFile, question.title, {}, question, {}});
        return NextFile();
    }
    std::optional<std::string> SaveFile(const SaveFileQuestion& question) override
    {
        asked.push_back({Kind::SaveFile, question.title, {}, {}, question});
        return NextFile();
    }
    using Prompts::Confirm;
    bool Confirm(const std::string& caption, const std::string& text, const std::string& informative) override
    {
        asked.push_back({Kind::Confirm, caption, text, {}, {}, informative});
        if (answers.empty() || !std::holds_alternative<bool>(answers.front())) {
            ++unanswered;
            return false;
        }
        const bool yes = std::get<bool>(answers.front());
        answers.pop_front();
        return yes;
    }
    void Error(const std::string& caption, const std::string& text) override
    {
        asked.push_back({Kind::Error, caption, text, {}, {}});
    }
    void Inform(const std::string& caption, const std::string& text) override
    {
        asked.push_back({Kind::Inform, caption, text, {}, {}});
    }

    std::vector<Question> asked;
    int unanswered = 0;

private:
    std::optional<std::string> NextFile()
    {
        if (answers.empty() || !std::holds_alternative<std::optional<std::string>>(answers.front())) {
            ++unanswered;
            return std::nullopt;
        }
        auto path = std::get<std::optional<std::string>>(answers.front());
        answers.pop_front();
        return path;
    }

    std::deque<std::variant<std::optional<std::string>, bool>> answers;
};
