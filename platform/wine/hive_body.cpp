// The parse of one key's own lines, the first time they are asked for.
#include <algorithm>

#include "platform/wine/hive_data.h"
#include "platform/wine/hive_escape.h"
#include "platform/wine/hive_lines.h"
#include "platform/wine/hive_state.h"

namespace orvane::wine {
namespace {

// Bytes that decode to themselves, one unit each.
bool Plain(std::string_view s) {
  for (char c : s)
    if (c == '\\' || static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

uint64_t HeaderSeconds(std::string_view header) {
  std::string_view rest = header.substr(SkipEscaped(header, 1, ']'));
  size_t digits = rest.find_first_not_of(" \t");
  uint64_t seconds = 0;
  if (digits != std::string_view::npos)
    for (char c : rest.substr(digits)) seconds = seconds * 10 + static_cast<uint64_t>(c - '0');
  return seconds;
}

uint32_t Hive::State::ParseBody(KeyId id) const {
  const KeyRecord& r = keys[id];
  KeyBody body;
  scratch_values.clear();
  scratch_lines.clear();
  const char* const text_begin = text.data();
  const char* const text_end = text.data() + text.size();

  // A value line the index found well-formed is read as the reference
  // reader reads it; the checks stay so that a damaged file's bad lines
  // are skipped here as they were reported there.
  auto add_value = [&](std::string_view line) {
    size_t pos = 1;
    std::string_view raw_name;
    if (line[0] == '"') {
      pos = SkipEscaped(line, 1, '"');
      if (pos == std::string_view::npos) return;
      raw_name = line.substr(1, pos - 2);
    }
    if (pos >= line.size() || line[pos] != '=') return;
    DWORD type;
    const char* why;
    if (!ParseValueData(line.substr(pos + 1), &type, &scratch_data, &why)) return;
    HiveText name;
    if (Plain(raw_name) && raw_name.data() >= text_begin && raw_name.data() + raw_name.size() <= text_end) {
      name = HiveText(raw_name.data(), raw_name.size());
    } else if (!raw_name.empty()) {
      scratch_units.clear();
      size_t p = 1;
      ReadEscaped(line, &p, '"', &scratch_units);
      name = Keep(std::wstring_view(scratch_units));
    }
    auto& values = scratch_values;
    if (values.empty() || CompareFolded(values.back().name, name) < 0) {
      values.push_back(HiveValue{name, type, static_cast<uint32_t>(scratch_data.size()), arena.Copy(scratch_data)});
      return;
    }
    auto at = std::lower_bound(values.begin(), values.end(), name,
                               [](const HiveValue& v, const HiveText& n) { return CompareFolded(v.name, n) < 0; });
    if (at != values.end() && SameFolded(at->name, name)) {
      // The later line wins; the first spelling of the name stays.
      at->type = type;
      at->size = static_cast<uint32_t>(scratch_data.size());
      at->bytes = arena.Copy(scratch_data);
      return;
    }
    values.insert(at, HiveValue{name, type, static_cast<uint32_t>(scratch_data.size()), arena.Copy(scratch_data)});
  };

  auto parse_section = [&](uint32_t section) {
    HiveLines lines(text, section);
    std::string_view line;
    lines.Next(&line);  // the header, checked by the index
    body.modified = HeaderSeconds(line) * 10000000 + kTicks1601To1970;
    while (lines.Next(&line)) {
      if (line.empty()) continue;
      const char c = line[0];
      if (c == '[') return;
      if (c == '"' || c == '@') {
        add_value(line);
      } else if (c == '#') {
        if (line.substr(0, 6) == "#time=") {
          uint64_t t;
          if (ParseHexNumber(line.substr(6), &t, 16)) body.modified = t;
        } else if (line.substr(0, 7) == "#class=") {
          size_t pos = 8;
          scratch_units.clear();
          if (line.size() >= 8 && line[7] == '"' && ReadEscaped(line, &pos, '"', &scratch_units)) {
            body.has_class = true;
            body.class_name = Keep(std::wstring_view(scratch_units));
          }
        } else if (line != "#link") {
          scratch_lines.push_back(line);
        }
      } else if (c == ';') {
        scratch_lines.push_back(line);
      }
    }
  };

  if (r.section != kNoSection) {
    parse_section(r.section);
    if (r.flags & kMoreSections)
      for (uint32_t section : more_sections.at(id)) parse_section(section);
  }
  body.value_count = body.value_capacity = static_cast<uint32_t>(scratch_values.size());
  if (body.value_count) {
    body.values = arena.Array<HiveValue>(body.value_count);
    std::copy(scratch_values.begin(), scratch_values.end(), body.values);
  }
  body.line_count = static_cast<uint32_t>(scratch_lines.size());
  if (body.line_count) {
    auto* lines = arena.Array<std::string_view>(body.line_count);
    std::copy(scratch_lines.begin(), scratch_lines.end(), lines);
    body.lines = lines;
  }
  const size_t b = bodies.Add();
  bodies[b] = body;
  return static_cast<uint32_t>(b + 1);
}

}  // namespace orvane::wine
