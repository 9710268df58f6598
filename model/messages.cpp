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
  // The one reader waits only on an empty queue, so only the first message
  // after it emptied needs a wake-up; waking it for every message of a scan
  // of 200,000 findings cost more than the scan.
  bool was_empty = false;
  {
    std::lock_guard lock(mutex_);
    was_empty = queue_.empty();
    queue_.push_back(std::move(message));
  }
  if (was_empty) ready_.notify_one();
}

std::optional<Message> MessageQueue::Take(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) return std::nullopt;
  Message message = std::move(queue_.front());
  queue_.pop_front();
  return message;
}

std::vector<Message> MessageQueue::TakeAll(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) return {};
  std::vector<Message> all(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
  queue_.clear();
  return all;
}

std::vector<Message> MessageQueue::Drain() {
  std::lock_guard lock(mutex_);
  std::vector<Message> all(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
  queue_.clear();
  return all;
}

}  // namespace orvane
