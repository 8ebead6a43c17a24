// Message boxes.
//
// Every library shows its boxes through ShowMessageBox. A user interface
// installs a handler that shows a real box (the Qt windows of the detector
// library do); tests install one that records the text and answers as
// scripted. Without a handler -- no display, or KORDEX_HEADLESS=1 -- the box
// writes its text to the log sink and to standard error and answers with its
// default button, so no box ever blocks a program without a person at it.
//
// Between the two stands the user-interface provider: a library with windows
// registers one that shows real boxes. It is asked only when no handler is
// installed and a person can see the screen (not IsHeadless()); it may
// decline (for example when called outside its interface thread), and the box
// is then answered headless.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace platform {

enum class BoxIcon { Error, Warning, Information, Question };
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxAnswer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

struct MessageBoxRequest {
    std::string title;
    std::string text;
    BoxIcon icon = BoxIcon::Error;
    BoxButtons buttons = BoxButtons::Ok;
    BoxAnswer defaultAnswer = BoxAnswer::Ok;
    void* parent = nullptr;  // a QWidget* or null
    bool textLogged = false;  // the caller has written the text to the log itself
};

using MessageBoxHandler = std::function<BoxAnswer(const MessageBoxRequest&)>;
using MessageBoxLogSink = std::function<void(const std::string& line)>;
using MessageBoxProvider = std::function<std::optional<BoxAnswer>(const MessageBoxRequest&)>;

// Installs the handler that shows boxes (null restores the headless
// behaviour). Returns the previous handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Registers the user-interface provider (null removes it).
void SetMessageBoxProvider(MessageBoxProvider provider);

// Where a headless box writes its text (besides standard error).
void SetMessageBoxLogSink(MessageBoxLogSink sink);

// True when boxes cannot be shown to a person: KORDEX_HEADLESS=1, or neither
// DISPLAY nor WAYLAND_DISPLAY is set.
bool IsHeadless();

// Shows the box through the handler, or answers headless. Callable from any
// thread; the handler decides how to reach its user-interface thread.
BoxAnswer ShowMessageBox(const MessageBoxRequest& request);

// Shorthand for an error box with an OK button. textLogged: the caller has
// logged the text already, so a headless answer does not log it again.
void ShowErrorBox(const std::string& title, const std::string& text, void* parent = nullptr, bool textLogged = false);

}  // namespace platform
