// Writing a hive back: untouched keys as the lines they were read from,
// changed ones as Wine writes them.
#include "platform/wine/hive_data.h"
#include "platform/wine/hive_escape.h"
#include "platform/wine/hive_lines.h"
#include "platform/wine/hive_state.h"

namespace orvane::wine {
namespace {

class Writer {
 public:
  Writer(const Hive& hive, const Hive::State& s, std::string* out) : hive_(hive), s_(s), out_(*out) {}

  void Run() {
    out_.append(kHiveMagic);
    out_.push_back('\n');
    if (s_.from_text)
      out_.append(s_.text, s_.preamble_begin, s_.preamble_end - s_.preamble_begin);
    else
      out_.append(s_.own_preamble);
    if (out_.back() != '\n') out_.push_back('\n');
    // Wine leaves the blank line after the preamble to the first key's "\n[".
    while (out_.size() >= 2 && out_[out_.size() - 1] == '\n' && out_[out_.size() - 2] == '\n') out_.pop_back();
    // Depth first, each key before its subkeys, in their order.
    std::vector<KeyId> pending = {kRootKey};
    while (!pending.empty()) {
      const KeyId key = pending.back();
      pending.pop_back();
      Key(key);
      for (size_t i = hive_.SubkeyCount(key); i-- > 0;) pending.push_back(hive_.Subkey(key, i));
    }
  }

 private:
  void Key(KeyId key) {
    const KeyRecord& r = s_.keys[key];
    if (r.section != kNoSection && !(r.flags & (kTouched | kMoreSections))) return Copy(r.section);
    const KeyBody& body = s_.Body(key);
    // Keys that hold only subkeys are implied by them, as Wine writes it.
    if (!body.value_count && r.child_count && !body.has_class && !body.line_count && !(r.flags & kLink)) return;
    out_.append("\n[");
    Path(key);
    out_.append("] ");
    const uint64_t modified = body.modified;
    uint64_t seconds = modified > kTicks1601To1970 ? (modified - kTicks1601To1970) / 10000000 : 0;
    out_.append(std::to_string(static_cast<uint32_t>(seconds)));
    out_.append("\n#time=");
    AppendHexNumber(&out_, modified >> 32, 1);
    AppendHexNumber(&out_, modified & 0xFFFFFFFFu, 8);
    out_.push_back('\n');
    if (body.has_class) {
      out_.append("#class=\"");
      AppendEscaped(&out_, body.class_name.ToWide(), "\"\"");
      out_.append("\"\n");
    }
    if (r.flags & kLink) out_.append("#link\n");
    for (uint32_t i = 0; i < body.line_count; ++i) {
      out_.append(body.lines[i]);
      out_.push_back('\n');
    }
    for (uint32_t i = 0; i < body.value_count; ++i) {
      const HiveValue& v = body.values[i];
      AppendValueLine(&out_, v.name.ToWide(), v.type, v.data());
    }
  }

  // The key's section as the file has it, from its header to its last line
  // that is not blank: the blank line between keys is written before each.
  void Copy(uint32_t section) {
    HiveLines lines(s_.text, section);
    std::string_view line;
    lines.Next(&line);
    size_t end = lines.end();
    while (lines.Next(&line)) {
      if (!line.empty() && line[0] == '[') break;
      if (!line.empty()) end = lines.end();
    }
    out_.push_back('\n');
    out_.append(s_.text, section, end - section);
    if (out_.back() != '\n') out_.push_back('\n');
  }

  void Path(KeyId key) {
    path_.clear();
    for (KeyId k = key; k != kRootKey; k = s_.keys[k].parent) path_.push_back(k);
    for (size_t i = path_.size(); i-- > 0;) {
      if (i + 1 < path_.size()) out_.append("\\\\");
      AppendEscaped(&out_, s_.NameOf(path_[i]).ToWide(), "[]");
    }
  }

  const Hive& hive_;
  const Hive::State& s_;
  std::string& out_;
  std::vector<KeyId> path_;
};

}  // namespace

std::string Hive::Serialize() const {
  if (s_->from_text && !s_->changed) return std::string(s_->text);
  std::string out;
  out.reserve(s_->text.size() + 4096);
  Writer(*this, *s_, &out).Run();
  return out;
}

}  // namespace orvane::wine
