#pragma once
// Message boxes and questions, independent of any window system. The front end
// installs one current Prompter: the desktop program shows dialogs, nisttool
// writes to stderr, tests record what was said.
#include <string>
#include <vector>

namespace platform {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class Answer { Ok, Cancel };

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void message(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
    virtual Answer question(const std::string& text, const std::string& caption) = 0;
};

// The application title; captions of plain message boxes.
inline constexpr const char* kApplicationTitle = "NIST file viewer";

// The current prompter. Never null: before a front end installs one, messages go to stderr
// and questions are answered with Cancel.
Prompter& prompter();
// Installs p (null restores the default). Returns the previous one.
Prompter* setPrompter(Prompter* p);

// Convenience for the common cases.
void showMessage(const std::string& text);  // plain box, caption = application title
void showError(const std::string& text, const std::string& caption = "Error");

// Writes "caption: text" lines to stderr; answers questions with a fixed answer.
class StderrPrompter : public Prompter {
public:
    explicit StderrPrompter(Answer answer = Answer::Cancel) : answer_(answer) {}
    void message(const std::string& text, const std::string& caption, MessageIcon icon) override;
    Answer question(const std::string& text, const std::string& caption) override;
    void setAnswer(Answer answer) { answer_ = answer; }

private:
    Answer answer_;
};

// Remembers everything; questions are answered from a queue (default Ok).
class RecordingPrompter : public Prompter {
public:
    struct Entry {
        std::string text;
        std::string caption;
        MessageIcon icon = MessageIcon::None;
        bool isQuestion = false;
    };
    void message(const std::string& text, const std::string& caption, MessageIcon icon) override;
    Answer question(const std::string& text, const std::string& caption) override;

    std::vector<Entry> entries;
    std::vector<Answer> answers;  // consumed front to back; Ok when empty

    std::vector<std::string> texts() const;
    void clear() { entries.clear(); }
};

// Installs a prompter for the lifetime of the scope (tests, nisttool commands).
class ScopedPrompter {
public:
    explicit ScopedPrompter(Prompter& p) : previous_(setPrompter(&p)) {}
    ~ScopedPrompter() { setPrompter(previous_); }
    ScopedPrompter(const ScopedPrompter&) = delete;
    ScopedPrompter& operator=(const ScopedPrompter&) = delete;

private:
    Prompter* previous_;
};

}  // namespace platform
