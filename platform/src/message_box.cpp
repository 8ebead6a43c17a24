// Message boxes: one entry point that a user interface serves with real boxes.
//
// Without an installed handler nobody can answer, so the box is written to the
// log sink and to standard error and takes its default answer. A handler, once
// installed, is used even when IsHeadless() is true: tests install one on
// machines without a display, and a UI that installed one knows how to show it.
#include "platform/message_box.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace platform {

namespace {

std::mutex& BoxMutex()
{
    static std::mutex mutex;
    return mutex;
}

MessageBoxHandler& Handler()
{
    static MessageBoxHandler handler;
    return handler;
}

MessageBoxProvider& Provider()
{
    static MessageBoxProvider provider;
    return provider;
}

MessageBoxLogSink& LogSink()
{
    static MessageBoxLogSink sink;
    return sink;
}

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    std::lock_guard<std::mutex> lock(BoxMutex());
    MessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

void SetMessageBoxProvider(MessageBoxProvider provider)
{
    std::lock_guard<std::mutex> lock(BoxMutex());
    Provider() = std::move(provider);
}

void SetMessageBoxLogSink(MessageBoxLogSink sink)
{
    std::lock_guard<std::mutex> lock(BoxMutex());
    LogSink() = std::move(sink);
}

bool IsHeadless()
{
    const char* headless = std::getenv("KORDEX_HEADLESS");
    if (headless != nullptr && std::strcmp(headless, "1") == 0)
        return true;
    return !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY");
}

BoxAnswer ShowMessageBox(const MessageBoxRequest& request)
{
    // Copies, so the handler and the sink run without the lock held: a
    // handler may show a further box or install another handler.
    MessageBoxHandler handler;
    MessageBoxProvider provider;
    MessageBoxLogSink sink;
    {
        std::lock_guard<std::mutex> lock(BoxMutex());
        handler = Handler();
        provider = Provider();
        sink = LogSink();
    }
    if (handler)
        return handler(request);
    if (provider && !IsHeadless()) {
        if (const std::optional<BoxAnswer> answer = provider(request))
            return *answer;
    }

    const std::string line = request.title + ": " + request.text;
    if (sink && !request.textLogged)
        sink(line);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    return request.defaultAnswer;
}

void ShowErrorBox(const std::string& title, const std::string& text, void* parent, bool textLogged)
{
    MessageBoxRequest request;
    request.title = title;
    request.text = text;
    request.icon = BoxIcon::Error;
    request.buttons = BoxButtons::Ok;
    request.defaultAnswer = BoxAnswer::Ok;
    request.parent = parent;
    request.textLogged = textLogged;
    ShowMessageBox(request);
}

}  // namespace platform
