#include "platform/wine/launcher_settings.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>

namespace orvane::wine {
namespace {

// Deeper nesting than this is no file a launcher writes.
constexpr size_t kMaxVdfDepth = 32;
constexpr int kMaxJsonDepth = 16;

std::string TrimSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

std::string_view SkipByteOrderMark(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    *out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out += static_cast<char>(0xC0 | (cp >> 6));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out += static_cast<char>(0xE0 | (cp >> 12));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (cp >> 18));
    *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// ---- Steam's KeyValues text ----------------------------------------------

struct VdfToken {
  enum Kind { kString, kOpen, kClose, kEnd, kBad } kind;
  std::string text;
};

class VdfTokenizer {
 public:
  explicit VdfTokenizer(std::string_view text) : text_(text) {}

  VdfToken Next() {
    SkipBlanks();
    if (pos_ >= text_.size()) return {VdfToken::kEnd, {}};
    char c = text_[pos_];
    if (c == '{' || c == '}') {
      ++pos_;
      return {c == '{' ? VdfToken::kOpen : VdfToken::kClose, {}};
    }
    std::string s;
    if (c == '"') {
      for (++pos_; pos_ < text_.size() && text_[pos_] != '"'; ++pos_) {
        char ch = text_[pos_];
        if (ch == '\\' && pos_ + 1 < text_.size()) {
          char esc = text_[++pos_];
          if (esc == 'n')
            s += '\n';
          else if (esc == 't')
            s += '\t';
          else if (esc == '\\' || esc == '"')
            s += esc;
          else
            s += {'\\', esc};
        } else {
          s += ch;
        }
      }
      if (pos_ >= text_.size()) return {VdfToken::kBad, {}};  // unterminated
      ++pos_;
    } else {
      while (pos_ < text_.size() && !IsBlank(text_[pos_]) && text_[pos_] != '{' && text_[pos_] != '}' &&
             text_[pos_] != '"')
        s += text_[pos_++];
    }
    if (s.find('\0') != std::string::npos) return {VdfToken::kBad, {}};
    return {VdfToken::kString, std::move(s)};
  }

 private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
  void SkipBlanks() {
    while (pos_ < text_.size()) {
      if (IsBlank(text_[pos_])) {
        ++pos_;
      } else if (text_.substr(pos_, 2) == "//") {
        size_t eol = text_.find('\n', pos_);
        pos_ = eol == std::string_view::npos ? text_.size() : eol + 1;
      } else {
        break;
      }
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// Walks KeyValues text in order: visit(blocks, key, value) for each pair,
// with value null where key opens a block; blocks are the keys of the blocks
// around it, outermost first. False when the text is not well-formed (the
// pairs before the fault have been visited: callers keep nothing then).
using VdfVisit =
    std::function<void(const std::vector<std::string>& blocks, const std::string& key, const std::string* value)>;
bool WalkVdf(std::string_view text, const VdfVisit& visit) {
  VdfTokenizer tokens(SkipByteOrderMark(text));
  std::vector<std::string> open;  // the keys of the blocks we are in
  for (;;) {
    VdfToken key = tokens.Next();
    if (key.kind == VdfToken::kEnd) break;
    if (key.kind == VdfToken::kClose) {
      if (open.empty()) return false;
      open.pop_back();
      continue;
    }
    if (key.kind != VdfToken::kString) return false;
    VdfToken value = tokens.Next();
    if (value.kind == VdfToken::kOpen) {
      if (open.size() >= kMaxVdfDepth) return false;
      visit(open, key.text, nullptr);
      open.push_back(std::move(key.text));
      continue;
    }
    if (value.kind != VdfToken::kString) return false;
    visit(open, key.text, &value.text);
  }
  return open.empty();  // else cut short
}

// ---- The YAML of Lutris game files ----------------------------------------

struct YamlLine {
  size_t indent = 0;
  std::string_view text;  // after the indentation, no line break
  bool blank = false;     // empty, blanks only, or a comment
};

bool SplitYamlLines(std::string_view yml, std::vector<YamlLine>* lines) {
  while (!yml.empty()) {
    size_t eol = yml.find('\n');
    std::string_view line = yml.substr(0, eol);
    yml = eol == std::string_view::npos ? std::string_view() : yml.substr(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    YamlLine l;
    while (l.indent < line.size() && line[l.indent] == ' ') ++l.indent;
    l.text = line.substr(l.indent);
    size_t content = l.text.find_first_not_of(" \t");
    l.blank = content == std::string_view::npos || l.text[content] == '#';
    // YAML does not indent with tabs; a file that does is not Lutris'.
    if (!l.blank && l.text[0] == '\t') return false;
    if (l.text.find('\0') != std::string_view::npos) return false;
    lines->push_back(l);
  }
  return true;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// True when nothing but blanks and a comment follow.
bool OnlyComment(std::string_view s) {
  size_t i = s.find_first_not_of(" \t");
  return i == std::string_view::npos || s[i] == '#';
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A scalar that may run over several lines: pieces[0] is the rest of the
// key's line, then each further line without its indentation. Line breaks
// fold as YAML folds them: one becomes a space, each blank line a newline.
class YamlScalar {
 public:
  explicit YamlScalar(std::vector<std::string_view> pieces) : pieces_(std::move(pieces)) {}

  std::optional<std::string> Read() {
    std::string_view first = pieces_[0];
    if (first[0] == '"' || first[0] == '\'') return Quoted(first[0]);
    return Plain();
  }

 private:
  std::optional<std::string> Plain() {
    std::string out;
    size_t blank_lines = 0;
    for (size_t i = 0; i < pieces_.size(); ++i) {
      std::string_view line = pieces_[i];
      size_t start = line.find_first_not_of(" \t");
      if (start == std::string_view::npos) {
        ++blank_lines;
        continue;
      }
      if (line[start] == '#') break;  // a comment ends a plain scalar
      // " #" starts a comment too.
      size_t hash = line.find(" #", start);
      size_t tab_hash = line.find("\t#", start);
      bool ends = hash != std::string_view::npos || tab_hash != std::string_view::npos;
      line = TrimRight(line.substr(start, std::min(hash, tab_hash) - start));
      if (!out.empty()) out += blank_lines ? std::string(blank_lines, '\n') : std::string(" ");
      blank_lines = 0;
      out += line;
      if (ends) break;
    }
    return out;
  }

  std::optional<std::string> Quoted(char quote) {
    std::string out;
    size_t line = 0;
    size_t pos = 1;  // after the opening quote
    for (;;) {
      std::string_view text = pieces_[line];
      if (pos >= text.size()) {
        // A line break inside the quotes folds; trailing blanks go.
        while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
        size_t blank_lines = 0;
        for (++line; line < pieces_.size() && pieces_[line].find_first_not_of(" \t") == std::string_view::npos; ++line)
          ++blank_lines;
        if (line >= pieces_.size()) return std::nullopt;  // never closed
        out += blank_lines ? std::string(blank_lines, '\n') : std::string(" ");
        text = pieces_[line];
        pos = text.find_first_not_of(" \t");
        continue;
      }
      char c = text[pos];
      if (c == quote) {
        if (quote == '\'' && pos + 1 < text.size() && text[pos + 1] == '\'') {
          out += '\'';
          pos += 2;
          continue;
        }
        // Only a comment may follow, on this line and after it.
        if (!OnlyComment(text.substr(pos + 1))) return std::nullopt;
        for (++line; line < pieces_.size(); ++line)
          if (!OnlyComment(pieces_[line])) return std::nullopt;
        return out;
      }
      if (c == '\\' && quote == '"') {
        if (pos + 1 >= text.size()) {
          // An escaped line break joins the lines with nothing between.
          if (++line >= pieces_.size()) return std::nullopt;
          text = pieces_[line];
          pos = text.find_first_not_of(" \t");
          if (pos == std::string_view::npos) pos = text.size();
          continue;
        }
        if (!Escape(text, &pos, &out)) return std::nullopt;
        continue;
      }
      out += c;
      ++pos;
    }
  }

  // The escape at text[*pos] ('\\'), appended to out; false when it is not one.
  static bool Escape(std::string_view text, size_t* pos, std::string* out) {
    char e = text[*pos + 1];
    *pos += 2;
    switch (e) {
      case 'a':
        *out += '\a';
        return true;
      case 'b':
        *out += '\b';
        return true;
      case 't':
      case '\t':
        *out += '\t';
        return true;
      case 'n':
        *out += '\n';
        return true;
      case 'v':
        *out += '\v';
        return true;
      case 'f':
        *out += '\f';
        return true;
      case 'r':
        *out += '\r';
        return true;
      case 'e':
        *out += '\x1b';
        return true;
      case ' ':
      case '"':
      case '/':
      case '\\':
        *out += e;
        return true;
      case 'N':
        AppendUtf8(0x85, out);
        return true;
      case '_':
        AppendUtf8(0xA0, out);
        return true;
      case 'L':
        AppendUtf8(0x2028, out);
        return true;
      case 'P':
        AppendUtf8(0x2029, out);
        return true;
      case 'x':
      case 'u':
      case 'U': {
        size_t digits = e == 'x' ? 2 : e == 'u' ? 4 : 8;
        if (*pos + digits > text.size()) return false;
        uint32_t cp = 0;
        for (size_t i = 0; i < digits; ++i) {
          int h = Hex(text[*pos + i]);
          if (h < 0) return false;
          cp = cp * 16 + static_cast<uint32_t>(h);
        }
        *pos += digits;
        // No NUL (it would cut a path), no lone surrogates, nothing past Unicode.
        if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
        AppendUtf8(cp, out);
        return true;
      }
      default:  // "\0" among them: a NUL would cut a path
        return false;
    }
  }

  std::vector<std::string_view> pieces_;
};

}  // namespace

std::optional<std::vector<std::string>> ParseSteamLibraryFolders(std::string_view vdf) {
  std::vector<std::string> libraries;
  bool whole =
      WalkVdf(vdf, [&](const std::vector<std::string>& blocks, const std::string& key, const std::string* value) {
        if (!value || blocks.empty() || !EqualsAsciiNoCase(blocks[0], "libraryfolders")) return;
        bool current = blocks.size() == 2 && EqualsAsciiNoCase(key, "path");
        bool older = blocks.size() == 1 && AllDigits(key);
        if ((current || older) && !value->empty() && (*value)[0] == '/') libraries.push_back(TrimSlashes(*value));
      });
  if (!whole) return std::nullopt;
  return libraries;
}

std::optional<SteamApp> ParseSteamAppManifest(std::string_view acf) {
  SteamApp app;
  bool found_block = false, has_id = false, has_name = false;
  bool whole =
      WalkVdf(acf, [&](const std::vector<std::string>& blocks, const std::string& key, const std::string* value) {
        if (blocks.empty()) {
          if (!value && EqualsAsciiNoCase(key, "AppState")) found_block = true;
          return;
        }
        if (blocks.size() != 1 || !value || !EqualsAsciiNoCase(blocks[0], "AppState")) return;
        // The first of a repeated key counts, as Steam reads it.
        if (EqualsAsciiNoCase(key, "appid") && !has_id) {
          app.id = *value;
          has_id = true;
        } else if (EqualsAsciiNoCase(key, "name") && !has_name) {
          app.name = *value;
          has_name = true;
        }
      });
  if (!whole || !found_block) return std::nullopt;
  return app;
}

// ---- Heroic's JSON settings -------------------------------------------------

std::vector<HeroicPrefix> ParseHeroicSettings(std::string_view text) {
  using Json = nlohmann::ordered_json;
  text = SkipByteOrderMark(text);
  // Heroic's files are a few levels deep. What lies deeper is dropped while
  // parsing, so a hostile nesting costs no memory.
  Json::parser_callback_t shallow = [](int depth, Json::parse_event_t, Json&) { return depth <= kMaxJsonDepth; };
  Json doc = Json::parse(text.begin(), text.end(), shallow, /*allow_exceptions=*/false);
  if (doc.is_discarded() || !doc.is_object()) return {};
  std::vector<HeroicPrefix> prefixes;
  for (const auto& [key, settings] : doc.items()) {
    if (!settings.is_object()) continue;
    auto wine_prefix = settings.find("winePrefix");
    if (wine_prefix == settings.end() || !wine_prefix->is_string()) continue;
    std::string prefix = wine_prefix->get<std::string>();
    if (prefix.empty() || prefix.find('\0') != std::string::npos) continue;
    prefixes.push_back({key == "defaultSettings" ? std::string() : key, std::move(prefix)});
  }
  return prefixes;
}

std::optional<LutrisGame> ParseLutrisGame(std::string_view yml) {
  std::vector<YamlLine> lines;
  if (!SplitYamlLines(SkipByteOrderMark(yml), &lines)) return std::nullopt;
  LutrisGame game;
  bool in_game = false;  // inside the top-level "game:" mapping
  size_t game_indent = std::string_view::npos;
  size_t i = 0;
  // Skips the lines after i that belong to it: blank ones and deeper ones.
  auto skip_below = [&](size_t indent) {
    for (++i; i < lines.size() && (lines[i].blank || lines[i].indent > indent); ++i) {
    }
  };
  while (i < lines.size()) {
    const YamlLine& line = lines[i];
    std::string_view text = line.text;
    if (line.blank ||
        (line.indent == 0 && (text.substr(0, 3) == "---" || text.substr(0, 3) == "..." || text[0] == '%'))) {
      ++i;
      continue;
    }
    if (text[0] == '-' && (text.size() == 1 || text[1] == ' ')) {  // a list item: nothing we read
      skip_below(line.indent);
      continue;
    }
    size_t colon = text.find(": ");
    if (colon == std::string_view::npos && text.back() == ':') colon = text.size() - 1;
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    std::string_view key = TrimRight(text.substr(0, colon));
    std::string_view rest = text.substr(colon + 1);
    rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(" \t")));

    bool wanted = false;
    if (line.indent == 0) {
      in_game = key == "game";
      game_indent = std::string_view::npos;
      wanted = key == "name";
    } else if (in_game) {
      if (game_indent == std::string_view::npos) game_indent = line.indent;
      if (line.indent < game_indent) return std::nullopt;  // indentation that matches no level
      wanted = line.indent == game_indent && key == "prefix";
    }

    if (OnlyComment(rest)) {  // a mapping follows (or the value is empty)
      if (wanted) (key == "name" ? game.name : game.prefix).clear();
      ++i;
      continue;
    }
    size_t first = i;
    skip_below(line.indent);
    if (rest[0] == '|' || rest[0] == '>' || rest[0] == '{' || rest[0] == '[' || rest[0] == '&' || rest[0] == '*' ||
        rest[0] == '!')
      continue;  // block scalars, flow collections, anchors, tags: not what Lutris writes for these
    std::vector<std::string_view> pieces{rest};
    for (size_t j = first + 1; j < i; ++j) pieces.push_back(lines[j].text);
    std::optional<std::string> value = YamlScalar(std::move(pieces)).Read();
    if (!value) return std::nullopt;
    if (wanted) (key == "name" ? game.name : game.prefix) = std::move(*value);
  }
  if (game.prefix.empty()) return std::nullopt;
  return game;
}

}  // namespace orvane::wine
