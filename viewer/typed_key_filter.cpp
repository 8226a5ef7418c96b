#include "viewer/typed_key_filter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <string>

namespace viewer {

bool acceptTypedKey(const QKeyEvent& key, std::string_view currentText, const KeyRule& rule)
{
    if (key.key() == Qt::Key_Backspace)
        return rule(currentText, '\b', true);
    const QString typed = key.text();
    if (typed.isEmpty() || typed.at(0).unicode() < 0x20 || typed.at(0).unicode() == 0x7F ||
        (key.modifiers() & Qt::ControlModifier))
        return true;
    if (typed.at(0).unicode() > 0x7E)
        return false;
    return rule(currentText, static_cast<char>(typed.at(0).unicode()), false);
}

TypedKeyFilter::TypedKeyFilter(QObject* edit, KeyRule rule) : QObject(edit), rule_(std::move(rule)) {}

void TypedKeyFilter::install(QObject* edit, KeyRule rule)
{
    edit->installEventFilter(new TypedKeyFilter(edit, std::move(rule)));
}

bool TypedKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit)
        return false;
    const std::string text = edit->text().toStdString();
    return !acceptTypedKey(static_cast<const QKeyEvent&>(*event), text, rule_);
}

}  // namespace viewer
