#include "grayscope/ui/error_box.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/message_box.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace grayscope {

std::string ErrorBoxText(const std::string& text, int code)
{
    if (code == 0)
        return platform::Format("ERR: %s", text.c_str());
    const std::string head = code > 15 ? platform::Format("ERR: %s (code %d:%Xh)", text.c_str(), code, code)
                                       : platform::Format("ERR: %s (code %d)", text.c_str(), code);
    return head + "\n" + platform::SystemErrorText(code);
}

namespace {

platform::BoxAnswer Show(QWidget* parent, const std::string& text, platform::BoxIcon icon,
                         platform::BoxButtons buttons, platform::BoxAnswer defaultAnswer)
{
    platform::MessageBoxRequest r;
    r.title = kBoxTitle;
    r.text = text;
    r.icon = icon;
    r.buttons = buttons;
    r.defaultAnswer = defaultAnswer;
    r.parent = parent;
    return platform::ShowMessageBox(r);
}

}  // namespace

void ShowError(QWidget* parent, const std::string& text, int code)
{
    Show(parent, ErrorBoxText(text, code), platform::BoxIcon::Error, platform::BoxButtons::Ok, platform::BoxAnswer::Ok);
}

void ShowInformation(QWidget* parent, const std::string& text)
{
    Show(parent, text, platform::BoxIcon::Information, platform::BoxButtons::Ok, platform::BoxAnswer::Ok);
}

bool AskYesNo(QWidget* parent, const std::string& text)
{
    return Show(parent, text, platform::BoxIcon::Question, platform::BoxButtons::YesNo, platform::BoxAnswer::No) ==
           platform::BoxAnswer::Yes;
}

void InstallQtMessageBoxes()
{
    static bool installed = false;
    if (installed || platform::IsHeadless() || QApplication::instance() == nullptr)
        return;
    installed = true;
    platform::SetMessageBoxHandler([](const platform::MessageBoxRequest& r) {
        QMessageBox box(static_cast<QWidget*>(r.parent));
        box.setWindowTitle(QString::fromStdString(r.title));
        box.setText(QString::fromStdString(r.text));
        switch (r.icon) {
        case platform::BoxIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case platform::BoxIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case platform::BoxIcon::Information: box.setIcon(QMessageBox::Information); break;
        case platform::BoxIcon::Question: box.setIcon(QMessageBox::Question); break;
        }
        if (r.buttons == platform::BoxButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(r.defaultAnswer == platform::BoxAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? platform::BoxAnswer::Yes : platform::BoxAnswer::No;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return platform::BoxAnswer::Ok;
    });
}

}  // namespace grayscope
