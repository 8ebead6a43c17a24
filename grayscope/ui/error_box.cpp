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

void ShowError(QWidget* parent, const std::string& text, int code)
{
    platform::MessageBoxRequest r;
    r.title = kBoxTitle;
    r.text = ErrorBoxText(text, code);
    r.icon = platform::BoxIcon::Error;
    r.parent = parent;
    platform::ShowMessageBox(r);
}

void ShowInformation(QWidget* parent, const std::string& text)
{
    platform::MessageBoxRequest r;
    r.title = kBoxTitle;
    r.text = text;
    r.icon = platform::BoxIcon::Information;
    r.parent = parent;
    platform::ShowMessageBox(r);
}

bool AskYesNo(QWidget* parent, const std::string& text)
{
    platform::MessageBoxRequest r;
    r.title = kBoxTitle;
    r.text = text;
    r.icon = platform::BoxIcon::Question;
    r.buttons = platform::BoxButtons::YesNo;
    r.defaultAnswer = platform::BoxAnswer::No;
    r.parent = parent;
    return platform::ShowMessageBox(r) == platform::BoxAnswer::Yes;
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
