// The viewer's error and information boxes.
//
// Error texts take the form "ERR: %s", with " (code %d)" -- or " (code
// %d:%Xh)" for codes above 15 -- when a system error code accompanies them,
// followed by a line with the system's text for the code. Boxes go through
// platform::ShowMessageBox: a Qt message box while a display is available,
// the log and standard error when headless, a test's hook in tests.
#pragma once

#include <string>

class QWidget;

namespace grayscope {

inline constexpr const char* kBoxTitle = "Grayscope";

// The text of an error box (without showing it).
std::string ErrorBoxText(const std::string& text, int code);

void ShowError(QWidget* parent, const std::string& text, int code = 0);
void ShowInformation(QWidget* parent, const std::string& text);
// Yes/No question with No as default; true on Yes.
bool AskYesNo(QWidget* parent, const std::string& text);

// Installs the Qt box handler of this library's platform layer when boxes
// can be shown to a person (a QApplication exists and not headless).
void InstallQtMessageBoxes();

}  // namespace grayscope
