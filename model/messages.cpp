#include "model/messages.h"

#include "platform/text.h"

namespace orvane {

std::string DescribeMessage(const Message& m) {
  std::string text = "WM_APP+" + std::to_string(m.code - WM_APP) + "(" + std::to_string(m.wparam) + ", " +
                     std::to_string(m.lparam) + ")";
  if (!m.text.empty()) text += " \"" + WideToUtf8(m.text) + "\"";
  return text;
}

void MessageQueue::Post(Message message) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(message));
  }
  ready_.notify_one();
}

std::optional<Message> MessageQueue::Take(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) return std::nullopt;
  Message message = std::move(queue_.front());
  queue_.pop_front();
  return message;
}

std::vector<Message> MessageQueue::Drain() {
  std::lock_guard lock(mutex_);
  std::vector<Message> all(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
  queue_.clear();
  return all;
}

}  // namespace orvane
