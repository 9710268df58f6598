// The lines of a hive file as its readers see them: physical lines with a
// trailing CR cut, and a value line that ends in a backslash joined with the
// lines that continue it (their leading blanks dropped), as long hex data is
// wrapped. The index, the parse of one key's lines and the copy of untouched
// keys all read through this, so that they agree on where every line is.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

namespace orvane::wine {

class HiveLines {
 public:
  explicit HiveLines(std::string_view text, size_t pos = 0) : text_(text), pos_(pos) {}

  // The next logical line; false at the end. *line is valid until the next
  // call (a joined line lives in this object, any other in the text).
  bool Next(std::string_view* line) {
    if (pos_ >= text_.size()) return false;
    start_ = pos_;
    number_ = ++lines_;
    std::string_view raw = Physical();
    if (raw.empty() || raw.back() != '\\' || (raw[0] != '"' && raw[0] != '@')) {
      *line = raw;
      return true;
    }
    joined_.assign(raw.substr(0, raw.size() - 1));
    while (pos_ < text_.size()) {
      ++lines_;
      std::string_view more = Physical();
      size_t skip = more.find_first_not_of(" \t");
      more = skip == std::string_view::npos ? std::string_view() : more.substr(skip);
      if (!more.empty() && more.back() == '\\') {
        joined_.append(more.substr(0, more.size() - 1));
      } else {
        joined_.append(more);
        break;
      }
    }
    *line = joined_;
    return true;
  }

  // Where the last line starts, and where the next one does (just past the
  // last newline read, or the end of the text).
  size_t start() const { return start_; }
  size_t end() const { return pos_; }
  // The 1-based number of the last line's first physical line, counted from
  // where reading began, and the number of physical lines read.
  size_t number() const { return number_; }
  size_t lines() const { return lines_; }
  // False when the text ends in the middle of a line.
  bool ended_with_newline() const { return last_char_ == '\n' || last_char_ == 0; }

 private:
  std::string_view Physical() {
    const char* begin = text_.data() + pos_;
    const size_t left = text_.size() - pos_;
    const char* newline = static_cast<const char*>(std::memchr(begin, '\n', left));
    const size_t size = newline ? static_cast<size_t>(newline - begin) : left;
    std::string_view l(begin, size);
    last_char_ = newline ? '\n' : (size == 0 ? last_char_ : l.back());
    pos_ = newline ? pos_ + size + 1 : text_.size();
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    return l;
  }

  std::string_view text_;
  size_t pos_;
  size_t start_ = 0;
  size_t number_ = 0;
  size_t lines_ = 0;
  char last_char_ = 0;
  std::string joined_;
};

}  // namespace orvane::wine
