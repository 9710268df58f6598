// Hands the pieces of a file being made to a writer on a thread of its own,
// one piece at a time and in order: while one piece is converted, written
// and flushed, the caller makes the next, so the two costs overlap instead of
// adding up. Where no thread is to be had, a piece is written on the
// caller's. Used by one thread; the writer runs on at most one other.
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <utility>

namespace orvane {

// Result is what a write answers (bool, or Status): true when the piece went.
template <typename Piece, typename Result>
class PiecePipe {
 public:
  // ok is the Result of nothing written yet (true, Status::Ok()).
  PiecePipe(std::function<Result(const Piece&)> write, Result ok)
      : write_(std::move(write)), result_(std::move(ok)) {}
  ~PiecePipe() {
    if (writing_.valid()) writing_.wait();
  }
  PiecePipe(const PiecePipe&) = delete;
  PiecePipe& operator=(const PiecePipe&) = delete;

  // Sends piece once the one before it has gone; drops it once a write has
  // failed.
  void Send(Piece&& piece) {
    if (writing_.valid()) result_ = writing_.get();
    if (!result_) return;
    auto held = std::make_shared<const Piece>(std::move(piece));
    try {
      writing_ = std::async(std::launch::async, [this, held] { return write_(*held); });
    } catch (...) {
      result_ = write_(*held);
    }
  }
  // False once a write has failed (the one on its way not yet counted).
  bool ok() const { return static_cast<bool>(result_); }
  // Waits for the piece on its way: the first failure, else success.
  const Result& Finish() {
    if (writing_.valid()) {
      Result last = writing_.get();
      if (result_) result_ = std::move(last);
    }
    return result_;
  }

 private:
  std::function<Result(const Piece&)> write_;
  Result result_;
  std::future<Result> writing_;
};

}  // namespace orvane
