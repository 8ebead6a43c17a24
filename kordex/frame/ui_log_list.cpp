#include "frame/ui_log_list.h"

namespace kordex {

void UiLogList::PushBounded(std::deque<std::string>& lines, const std::string& line)
{
    lines.push_back(line);
    if (lines.size() > kMaxLines) lines.pop_front();
}

void UiLogList::Add(const std::string& line)
{
    std::function<void()> notify;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!view_) {
            PushBounded(backlog_, line);
            return;
        }
        PushBounded(pending_, line);
        notify = notify_;
    }
    if (notify) notify();
}

void UiLogList::Attach(LogListView* view, std::function<void()> notify)
{
    std::lock_guard<std::mutex> lock(mutex_);
    view_ = view;
    notify_ = std::move(notify);
    pending_.clear();
    if (!view_) return;
    view_->Clear();
    for (const std::string& line : backlog_) view_->Append(line);
    if (!backlog_.empty()) view_->MakeLastVisible();
    backlog_.clear();
}

void UiLogList::Detach()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (view_) {
        for (std::size_t i = 0; i < view_->Count(); ++i) PushBounded(backlog_, view_->Item(i));
        view_->Clear();
    }
    for (const std::string& line : pending_) PushBounded(backlog_, line);
    pending_.clear();
    view_ = nullptr;
    notify_ = nullptr;
}

void UiLogList::Drain()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!view_) return;
    for (const std::string& line : pending_) {
        if (!line.empty() && line.front() == '\r') {
            view_->ReplaceLast(line.substr(1));
        } else {
            if (view_->Count() > kMaxLines) view_->RemoveFirst();
            view_->Append(line);
        }
        view_->MakeLastVisible();
    }
    pending_.clear();
}

std::deque<std::string> UiLogList::Backlog() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return backlog_;
}

}  // namespace kordex
