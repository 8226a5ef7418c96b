#pragma once
// A key filter for one-line edits: each typed character (and backspace) is
// offered to a rule with the edit's current text, and dropped when the rule
// refuses it. Editing keys, shortcuts and other non-characters always pass.
#include <QObject>
#include <functional>
#include <string_view>

class QKeyEvent;

namespace viewer {

using KeyRule = std::function<bool(std::string_view currentText, char ch, bool backspace)>;

// True when the key may reach an edit holding currentText.
bool acceptTypedKey(const QKeyEvent& key, std::string_view currentText, const KeyRule& rule);

class TypedKeyFilter : public QObject {
public:
    // Filters the key presses of edit (a QLineEdit) with rule; owned by the edit.
    static void install(QObject* edit, KeyRule rule);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TypedKeyFilter(QObject* edit, KeyRule rule);
    KeyRule rule_;
};

}  // namespace viewer
