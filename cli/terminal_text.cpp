#include "cli/terminal_text.h"

#include <sstream>

namespace orvane::cli {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kEscape = 0x1B;
constexpr char32_t kBell = 0x07;
constexpr char32_t kStringTerminator = 0x9C;
constexpr char32_t kControlSequenceIntroducer = 0x9B;

// C1 controls that open a string: DCS, SOS, OSC, PM, APC.
bool OpensString(char32_t cp) { return cp == 0x90 || cp == 0x98 || cp == 0x9D || cp == 0x9E || cp == 0x9F; }

bool IsControl(char32_t cp) { return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F); }

}  // namespace

TerminalSafeBuf::~TerminalSafeBuf() {
  if (missing_ > 0) Emit(kReplacement);
  target_->pubsync();
}

void TerminalSafeBuf::WriteControl(std::string_view control) {
  target_->sputn(control.data(), static_cast<std::streamsize>(control.size()));
}

TerminalSafeBuf::int_type TerminalSafeBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  Byte(static_cast<unsigned char>(traits_type::to_char_type(c)));
  return c;
}

std::streamsize TerminalSafeBuf::xsputn(const char* s, std::streamsize n) {
  // Printable ASCII in plain text passes as it is, a run at a time: a repair
  // prints a line per record, and one target call per byte was most of its
  // printing cost.
  std::streamsize i = 0;
  while (i < n) {
    if (state_ == State::kText && missing_ == 0) {
      std::streamsize run = i;
      while (run < n && ((s[run] >= 0x20 && s[run] < 0x7F) || s[run] == '\n')) ++run;
      if (run > i) {
        target_->sputn(s + i, run - i);
        i = run;
        continue;
      }
    }
    Byte(static_cast<unsigned char>(s[i++]));
  }
  return n;
}

int TerminalSafeBuf::sync() { return target_->pubsync(); }

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
// A byte that breaks a sequence ends it as U+FFFD and is read afresh.
void TerminalSafeBuf::Byte(unsigned char byte) {
  if (missing_ > 0) {
    if ((byte & 0xC0) == 0x80) {
      pending_ = (pending_ << 6) | (byte & 0x3F);
      if (--missing_ > 0) return;
      static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
      bool valid = pending_ >= kLeast[length_] && pending_ <= 0x10FFFF && !(pending_ >= 0xD800 && pending_ <= 0xDFFF);
      CodePoint(valid ? pending_ : kReplacement);
      return;
    }
    missing_ = 0;
    CodePoint(kReplacement);
  }
  if (byte < 0x80) {
    CodePoint(byte);
  } else if (byte >= 0xC2 && byte <= 0xDF) {
    pending_ = byte & 0x1F;
    missing_ = 1;
  } else if (byte >= 0xE0 && byte <= 0xEF) {
    pending_ = byte & 0x0F;
    missing_ = 2;
  } else if (byte >= 0xF0 && byte <= 0xF4) {
    pending_ = byte & 0x07;
    missing_ = 3;
  } else {
    CodePoint(kReplacement);
    return;
  }
  length_ = missing_ + 1;
}

void TerminalSafeBuf::CodePoint(char32_t cp) {
  for (;;) {
    switch (state_) {
      case State::kText:
        if (cp == kEscape) {
          state_ = State::kEscape;
        } else if (cp == kControlSequenceIntroducer) {
          state_ = State::kControlSequence;
        } else if (OpensString(cp)) {
          state_ = State::kControlString;
        } else if (!IsControl(cp) || cp == '\t' || cp == '\n') {
          Emit(cp);
        }
        return;
      case State::kEscape:
        if (cp == '[') {
          state_ = State::kControlSequence;
        } else if (cp == ']' || cp == 'P' || cp == 'X' || cp == '^' || cp == '_') {
          state_ = State::kControlString;
        } else if (cp >= 0x20 && cp <= 0x2F) {
          state_ = State::kEscapeIntermediate;
        } else if (cp >= 0x30 && cp <= 0x7E) {
          state_ = State::kText;
        } else {
          state_ = State::kText;
          continue;  // not a sequence after all: read it as text
        }
        return;
      case State::kEscapeIntermediate:
        if (cp >= 0x20 && cp <= 0x2F) return;
        state_ = State::kText;
        if (cp >= 0x30 && cp <= 0x7E) return;
        continue;
      case State::kControlSequence:
        if (cp >= 0x20 && cp <= 0x3F) return;  // parameters and intermediates
        state_ = State::kText;
        if (cp >= 0x40 && cp <= 0x7E) return;  // the final byte
        continue;
      case State::kControlString:
        if (cp == kBell || cp == kStringTerminator) {
          state_ = State::kText;
        } else if (cp == kEscape) {
          state_ = State::kStringEscape;
        } else if (cp == '\n') {
          // A string never swallows the lines after it.
          state_ = State::kText;
          continue;
        }
        return;
      case State::kStringEscape:
        if (cp == '\\') {
          state_ = State::kText;
          return;
        }
        state_ = State::kEscape;
        continue;
    }
  }
}

void TerminalSafeBuf::Emit(char32_t cp) {
  char out[4];
  int n = 0;
  if (cp < 0x80) {
    out[n++] = static_cast<char>(cp);
  } else if (cp < 0x800) {
    out[n++] = static_cast<char>(0xC0 | (cp >> 6));
    out[n++] = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out[n++] = static_cast<char>(0xE0 | (cp >> 12));
    out[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[n++] = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out[n++] = static_cast<char>(0xF0 | (cp >> 18));
    out[n++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[n++] = static_cast<char>(0x80 | (cp & 0x3F));
  }
  target_->sputn(out, n);
}

TerminalSafeStream::TerminalSafeStream(std::ostream& stream)
    : stream_(stream), original_(stream.rdbuf()), filter_(original_) {
  stream_.flush();
  stream_.rdbuf(&filter_);
}

TerminalSafeStream::~TerminalSafeStream() {
  stream_.flush();
  stream_.rdbuf(original_);
}

void WriteTerminalControl(std::ostream& out, std::string_view control) {
  if (auto* filter = dynamic_cast<TerminalSafeBuf*>(out.rdbuf())) {
    out.flush();
    filter->WriteControl(control);
    return;
  }
  out << control;
}

std::string TerminalSafe(std::string_view utf8) {
  std::ostringstream out;
  {
    TerminalSafeBuf filter(out.rdbuf());
    filter.sputn(utf8.data(), static_cast<std::streamsize>(utf8.size()));
  }
  return out.str();
}

}  // namespace orvane::cli
