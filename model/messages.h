// The messages workers post to the window (or terminal) that shows their
// work, and the target they post them to. Workers never wait for the
// receiver: Post only queues.
#pragma once

#include <condition_variable>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace orvane {

inline constexpr uint32_t WM_APP = 0x8000;

// Message codes (WM_APP + n).
inline constexpr uint32_t kMsgErrorAdded = WM_APP + 268;        // section, ordinal
inline constexpr uint32_t kMsgProgressText = WM_APP + 269;      // text
inline constexpr uint32_t kMsgScanCompleted = WM_APP + 271;     // 0, 0
inline constexpr uint32_t kMsgSectionBegins = WM_APP + 272;     // section, ordinal
inline constexpr uint32_t kMsgSectionEnds = WM_APP + 273;       // section, ordinal
inline constexpr uint32_t kMsgScanEnded = WM_APP + 274;         // the scan worker's last, also when stopped
inline constexpr uint32_t kMsgRepairStarted = WM_APP + 275;     // count
inline constexpr uint32_t kMsgRecordProcessed = WM_APP + 276;   // count so far
inline constexpr uint32_t kMsgRecordBegins = WM_APP + 277;      // text
inline constexpr uint32_t kMsgRepairEnded = WM_APP + 278;
inline constexpr uint32_t kMsgBackupFound = WM_APP + 280;       // text (path)
inline constexpr uint32_t kMsgNewVersion = WM_APP + 283;
inline constexpr uint32_t kMsgNoNewVersion = WM_APP + 284;
inline constexpr uint32_t kMsgVersionInPlace = WM_APP + 285;
inline constexpr uint32_t kMsgDownloadFailed = WM_APP + 286;     // text: why, may be ""
inline constexpr uint32_t kMsgDownloadStarts = WM_APP + 287;    // announced size in bytes
inline constexpr uint32_t kMsgDownloadComplete = WM_APP + 288;
inline constexpr uint32_t kMsgDownloadReceived = WM_APP + 289;  // bytes received so far

// One posted message. Where the Windows form carries a newly allocated string
// in wParam, the text travels here, owned by the message and moved with it.
struct Message {
  uint32_t code = 0;
  int64_t wparam = 0;
  int64_t lparam = 0;
  std::wstring text;

  bool operator==(const Message&) const = default;
};

// For test output: "WM_APP+268(4, 0)" and the text, if any.
std::string DescribeMessage(const Message& message);
// GoogleTest prints messages with this.
inline void PrintTo(const Message& message, std::ostream* os) { *os << DescribeMessage(message); }

// Where workers post. Implementations must return promptly from any thread
// and never wait for the receiving thread.
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual void Post(Message message) = 0;
};

// A thread-safe queue of messages: workers post, one reader takes.
class MessageQueue : public MessageTarget {
 public:
  void Post(Message message) override;
  // The oldest message, waiting up to timeout for one; nullopt when none came.
  std::optional<Message> Take(std::chrono::milliseconds timeout);
  // Every queued message, oldest first, waiting up to timeout for the first;
  // empty when none came.
  std::vector<Message> TakeAll(std::chrono::milliseconds timeout);
  // Every queued message, oldest first, without waiting.
  std::vector<Message> Drain();

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Message> queue_;
};

// A target that drops everything (for callers with nobody to tell).
class NullTarget : public MessageTarget {
 public:
  void Post(Message) override {}
};

}  // namespace orvane
