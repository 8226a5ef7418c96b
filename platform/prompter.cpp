#include "platform/prompter.h"

#include <cstdio>

namespace platform {

namespace {
StderrPrompter defaultPrompter;
Prompter* current = nullptr;
}  // namespace

Prompter& prompter()
{
    return current ? *current : defaultPrompter;
}

Prompter* setPrompter(Prompter* p)
{
    Prompter* previous = current;
    current = p;
    return previous;
}

void showMessage(const std::string& text)
{
    prompter().message(text, kApplicationTitle, MessageIcon::None);
}

void showError(const std::string& text, const std::string& caption)
{
    prompter().message(text, caption, MessageIcon::Error);
}

void StderrPrompter::message(const std::string& text, const std::string& caption, MessageIcon)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

Answer StderrPrompter::question(const std::string& text, const std::string& caption)
{
    std::fprintf(stderr, "%s: %s [%s]\n", caption.c_str(), text.c_str(), answer_ == Answer::Ok ? "OK" : "Cancel");
    return answer_;
}

void RecordingPrompter::message(const std::string& text, const std::string& caption, MessageIcon icon)
{
    entries.push_back({text, caption, icon, false});
}

Answer RecordingPrompter::question(const std::string& text, const std::string& caption)
{
    entries.push_back({text, caption, MessageIcon::Question, true});
    if (answers.empty())
        return Answer::Ok;
    Answer a = answers.front();
    answers.erase(answers.begin());
    return a;
}

std::vector<std::string> RecordingPrompter::texts() const
{
    std::vector<std::string> out;
    for (const auto& e : entries)
        out.push_back(e.text);
    return out;
}

}  // namespace platform
