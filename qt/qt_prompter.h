#pragma once
// Message boxes of the desktop program: the engine's Prompter shown as
// QMessageBox dialogs over the active window.
#include "platform/prompter.h"

namespace app {

class QtPrompter : public platform::Prompter {
public:
    void message(const std::string& text, const std::string& caption, platform::MessageIcon icon) override;
    platform::Answer question(const std::string& text, const std::string& caption) override;
};

}  // namespace app
