#pragma once
// How nisttool says things: every diagnostic is one line on stderr,
// "nisttool: SUBJECT: text", the subject being the file it is about.
#include <string>

#include "nist/problems.h"
#include "platform/prompter.h"

namespace cli {

// The prompter of a nisttool run. Messages become diagnostic lines about the
// current subject (captions are dropped: they name windows); questions are
// answered with the fixed answer and said as one line too.
class ToolPrompter : public platform::Prompter {
public:
    ToolPrompter();
    ~ToolPrompter() override;
    ToolPrompter(const ToolPrompter&) = delete;
    ToolPrompter& operator=(const ToolPrompter&) = delete;

    void message(const std::string& text, const std::string& caption, platform::MessageIcon icon) override;
    platform::Answer question(const std::string& text, const std::string& caption) override;

    void setAnswer(platform::Answer answer) { answer_ = answer; }
    // The file the following messages are about; empty for none.
    void setSubject(const std::string& subject) { subject_ = subject; }
    // Off: messages are dropped (the command reports the results itself).
    void setEchoing(bool on) { echoing_ = on; }

    static ToolPrompter* current();  // the one installed by main, or null

private:
    platform::Answer answer_ = platform::Answer::Cancel;
    std::string subject_;
    bool echoing_ = true;
};

// "nisttool: SUBJECT: text" (or "nisttool: text" without a subject), control
// characters of the text shown as spaces so the line stays one line.
void printDiagnostic(const std::string& subject, const std::string& text);
// A reader problem as a diagnostic line: warnings and notes say so, errors
// need no word; a leading "Error: " of the message is dropped and the
// system's reason follows after ": ".
void printProblem(const std::string& subject, const nist::Problem& problem);

// While it lives, the codec's own stderr lines (its tables, "ERROR : ..."
// lines) reach stderr only when the run is verbose (--verbose).
class CodecDiagnostics {
public:
    CodecDiagnostics();
    ~CodecDiagnostics();
    CodecDiagnostics(const CodecDiagnostics&) = delete;
    CodecDiagnostics& operator=(const CodecDiagnostics&) = delete;
};

}  // namespace cli
