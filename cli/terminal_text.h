// Text from outside (network answers, registry names and data, file names)
// must not steer the terminal: an escape sequence in a value name could
// clear the screen, set the window's title or write the clipboard. Every
// text orvane-cli prints, other than JSON (whose encoder escapes control
// characters), passes through one filter, installed on its standard output
// and error streams in main(); the program's own cursor controls for its
// live line go past it (WriteTerminalControl).
//
// Removed: C0 control characters except tab and newline, DEL, C1 controls
// (U+0080-U+009F) and whole escape sequences (ESC or C1 CSI with their
// parameters; OSC, DCS, SOS, PM and APC strings up to their terminator or
// the line's end). Bytes that are not UTF-8 become U+FFFD, so no terminal
// can read them as 8-bit controls. Everything else passes unchanged.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace orvane::cli {

// A stream buffer that filters what is written to it as above and hands
// the rest to target (which it does not own). One thread at a time.
class TerminalSafeBuf : public std::streambuf {
 public:
  explicit TerminalSafeBuf(std::streambuf* target) : target_(target) {}
  // Ends a character cut short as U+FFFD and flushes the target.
  ~TerminalSafeBuf() override;
  TerminalSafeBuf(const TerminalSafeBuf&) = delete;
  TerminalSafeBuf& operator=(const TerminalSafeBuf&) = delete;

  // Writes the program's own control text to the target unfiltered.
  void WriteControl(std::string_view control);

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  enum class State { kText, kEscape, kEscapeIntermediate, kControlSequence, kControlString, kStringEscape };
  void Byte(unsigned char byte);
  void CodePoint(char32_t cp);
  void Emit(char32_t cp);

  std::streambuf* target_;
  State state_ = State::kText;
  char32_t pending_ = 0;  // the code point being decoded
  int missing_ = 0;       // continuation bytes still expected
  int length_ = 0;        // the length of the sequence being decoded
};

// Puts a TerminalSafeBuf in front of stream's buffer while it lives.
class TerminalSafeStream {
 public:
  explicit TerminalSafeStream(std::ostream& stream);
  ~TerminalSafeStream();
  TerminalSafeStream(const TerminalSafeStream&) = delete;
  TerminalSafeStream& operator=(const TerminalSafeStream&) = delete;

 private:
  std::ostream& stream_;
  std::streambuf* original_;
  TerminalSafeBuf filter_;
};

// The program's own terminal controls ("\r", "\033[K"): past the filter
// when out has one, else written to out as they are.
void WriteTerminalControl(std::ostream& out, std::string_view control);

// utf8 as the filter passes it.
std::string TerminalSafe(std::string_view utf8);

}  // namespace orvane::cli
