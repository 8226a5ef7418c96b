#include "qt/qt_prompter.h"

#include <QApplication>
#include <QMessageBox>

#include "qt/qt_text.h"

namespace app {

namespace {

QMessageBox::Icon toQtIcon(platform::MessageIcon icon)
{
    switch (icon) {
    case platform::MessageIcon::Information:
        return QMessageBox::Information;
    case platform::MessageIcon::Warning:
        return QMessageBox::Warning;
    case platform::MessageIcon::Error:
        return QMessageBox::Critical;
    case platform::MessageIcon::Question:
        return QMessageBox::Question;
    case platform::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtPrompter::message(const std::string& text, const std::string& caption, platform::MessageIcon icon)
{
    QMessageBox box(toQtIcon(icon), fromSystemText(caption), fromSystemText(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

platform::Answer QtPrompter::question(const std::string& text, const std::string& caption)
{
    QMessageBox box(QMessageBox::Question, fromSystemText(caption), fromSystemText(text),
                    QMessageBox::Ok | QMessageBox::Cancel, QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? platform::Answer::Ok : platform::Answer::Cancel;
}

}  // namespace app
