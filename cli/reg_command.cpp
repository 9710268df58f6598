#include "cli/reg_command.h"

#include <cstdio>

#include "platform/text.h"

namespace orvane::cli {
namespace {

constexpr char kNotFound[] = "ERROR: The system was unable to find the specified registry key or value.\n";

// Why a change was refused, in words the user can act on.
std::string Refusal(LONG rc) {
  switch (rc) {
    case ERROR_CANTWRITE:
      return "ERROR: The registry file that holds this key is never written: it could not be read completely, or "
             "it is a link that leads out of the machine (see the warnings above).\n";
    case ERROR_WRITE_PROTECT:
      return "ERROR: The machine may not be changed now (another program holds or changed its registry).\n";
    case ERROR_INVALID_PARAMETER:
      return "ERROR: The key is too deep or a name is too long.\n";
    default:
      return "ERROR: Access is denied.\n";
  }
}

struct RootAlias {
  const wchar_t* short_name;
  const wchar_t* long_name;
  HKEY key;
};
constexpr RootAlias kRoots[] = {
    {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKU", L"HKEY_USERS", HKEY_USERS},
};

struct TypeAlias {
  const wchar_t* name;
  DWORD type;
};
constexpr TypeAlias kTypes[] = {
    {L"REG_NONE", REG_NONE},   {L"REG_SZ", REG_SZ},         {L"REG_EXPAND_SZ", REG_EXPAND_SZ},
    {L"REG_BINARY", REG_BINARY}, {L"REG_DWORD", REG_DWORD}, {L"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN},
    {L"REG_MULTI_SZ", REG_MULTI_SZ}, {L"REG_QWORD", REG_QWORD},
};

std::wstring TypeName(DWORD type) {
  for (const auto& t : kTypes)
    if (t.type == type) return t.name;
  return L"REG_" + std::to_wstring(type);
}

std::wstring Hex(const std::string& data) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring out;
  for (unsigned char b : data) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

std::wstring FormatData(DWORD type, const std::string& data) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::wstring s = Utf16leToWide(data);
      if (!s.empty() && s.back() == 0) s.pop_back();
      return s;
    }
    case REG_MULTI_SZ: {
      std::wstring s = Utf16leToWide(data);
      while (!s.empty() && s.back() == 0) s.pop_back();
      std::wstring out;
      for (wchar_t c : s) out += c ? std::wstring(1, c) : std::wstring(L"\\0");
      return out;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
      if (data.size() == 4) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[i]);
        if (type == REG_DWORD_BIG_ENDIAN) v = __builtin_bswap32(v);
        wchar_t buf[16];
        swprintf(buf, 16, L"0x%x", v);
        return buf;
      }
      return Hex(data);
    case REG_QWORD:
      if (data.size() == 8) {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[i]);
        wchar_t buf[24];
        swprintf(buf, 24, L"0x%llx", static_cast<unsigned long long>(v));
        return buf;
      }
      return Hex(data);
    default:
      return Hex(data);
  }
}

struct Args {
  std::wstring key;
  bool has_value = false;  // /v or /ve given
  std::wstring value;      // "" with /ve
  bool all_values = false; // /va
  bool recurse = false;    // /s
  bool force = false;      // /f
  std::wstring type = L"REG_SZ";
  bool has_data = false;
  std::wstring data;
  wchar_t separator = 0;   // /s for add: the multi-string separator
};

bool Parse(const std::vector<std::string>& raw, bool is_add, Args* a, std::string* why) {
  if (raw.size() < 2) {
    *why = "ERROR: Invalid syntax. Give a key.";
    return false;
  }
  a->key = Utf8ToWide(raw[1]);
  for (size_t i = 2; i < raw.size(); ++i) {
    std::wstring opt = ToLower(Utf8ToWide(raw[i]));
    if (!opt.empty() && opt[0] == L'-') opt[0] = L'/';
    auto next = [&](std::wstring* into) {
      if (i + 1 >= raw.size()) {
        *why = "ERROR: Invalid syntax. " + raw[i] + " needs an argument.";
        return false;
      }
      *into = Utf8ToWide(raw[++i]);
      return true;
    };
    if (opt == L"/v") {
      if (a->has_value || !next(&a->value)) return *why = why->empty() ? "ERROR: Invalid syntax." : *why, false;
      a->has_value = true;
    } else if (opt == L"/ve") {
      if (a->has_value) return *why = "ERROR: Invalid syntax.", false;
      a->has_value = true;
      a->value.clear();
    } else if (opt == L"/va") {
      a->all_values = true;
    } else if (opt == L"/f") {
      a->force = true;
    } else if (opt == L"/t" && is_add) {
      if (!next(&a->type)) return false;
      a->type = ToUpper(a->type);
    } else if (opt == L"/d" && is_add) {
      if (!next(&a->data)) return false;
      a->has_data = true;
    } else if (opt == L"/s") {
      if (is_add) {
        std::wstring sep;
        if (!next(&sep) || sep.size() != 1) return *why = "ERROR: Invalid syntax. /s takes one character.", false;
        a->separator = sep[0];
      } else {
        a->recurse = true;
      }
    } else {
      *why = "ERROR: Invalid syntax. Unknown option " + raw[i] + ".";
      return false;
    }
  }
  if (a->has_value && a->all_values) return *why = "ERROR: Invalid syntax.", false;
  return true;
}

bool EncodeData(const Args& a, DWORD* type, std::string* data, std::string* why) {
  *type = 0xFFFFFFFFu;
  for (const auto& t : kTypes)
    if (a.type == t.name) *type = t.type;
  if (*type == 0xFFFFFFFFu) {
    *why = "ERROR: Invalid value type " + WideToUtf8(a.type) + ".";
    return false;
  }
  const std::wstring& d = a.data;
  switch (*type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      *data = WideToUtf16le(d);
      data->append(2, '\0');
      return true;
    case REG_MULTI_SZ: {
      std::wstring units;
      for (size_t i = 0; i < d.size(); ++i) {
        if (a.separator ? d[i] == a.separator : (d[i] == L'\\' && i + 1 < d.size() && d[i + 1] == L'0')) {
          units.push_back(0);
          if (!a.separator) ++i;
        } else {
          units.push_back(d[i]);
        }
      }
      if (!units.empty()) units.push_back(0);
      units.push_back(0);
      *data = WideToUtf16le(units);
      return true;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD: {
      std::string text = WideToUtf8(d.empty() ? L"0" : d);
      char* end = nullptr;
      errno = 0;
      unsigned long long v = std::strtoull(text.c_str(), &end, 0);
      bool dword = *type != REG_QWORD;
      if (errno || *end || text[0] == '-' || (dword && v > 0xFFFFFFFFull)) {
        *why = "ERROR: Invalid number " + text + ".";
        return false;
      }
      if (*type == REG_DWORD_BIG_ENDIAN) v = __builtin_bswap32(static_cast<uint32_t>(v));
      data->assign(dword ? 4 : 8, '\0');
      for (size_t i = 0; i < data->size(); ++i) (*data)[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
      return true;
    }
    default: {
      if (d.size() % 2) {
        *why = "ERROR: Invalid hex data.";
        return false;
      }
      data->clear();
      for (size_t i = 0; i < d.size(); i += 2) {
        auto nib = [](wchar_t c) -> int {
          if (c >= L'0' && c <= L'9') return c - L'0';
          c = FoldCase(c);
          if (c >= L'a' && c <= L'f') return c - L'a' + 10;
          return -1;
        };
        int hi = nib(d[i]), lo = nib(d[i + 1]);
        if (hi < 0 || lo < 0) {
          *why = "ERROR: Invalid hex data.";
          return false;
        }
        data->push_back(static_cast<char>(hi * 16 + lo));
      }
      return true;
    }
  }
}

void PrintValue(std::ostream& out, const std::wstring& name, DWORD type, const std::string& data) {
  out << "    " << WideToUtf8(name.empty() ? L"(Default)" : name) << "    " << WideToUtf8(TypeName(type)) << "    "
      << WideToUtf8(FormatData(type, data)) << "\n";
}

int QueryKey(Platform& p, HKEY key, const std::wstring& path, bool recurse, std::ostream& out) {
  out << WideToUtf8(path) << "\n";
  DWORD count = 0;
  for (DWORD i = 0;; ++i) {
    std::wstring name;
    DWORD type;
    std::string data;
    LONG rc = p.EnumValue(key, i, &name, &type, &data);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    PrintValue(out, name, type, data);
    ++count;
  }
  if (count || recurse) out << "\n";
  DWORD subs = 0;
  for (DWORD i = 0;; ++i) {
    std::wstring name;
    LONG rc = p.EnumKey(key, i, &name);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    ++subs;
    std::wstring sub_path = path + L"\\" + name;
    if (!recurse) {
      out << WideToUtf8(sub_path) << "\n";
      continue;
    }
    HKEY sub;
    if (p.OpenKey(key, name, KEY_READ, &sub) == ERROR_SUCCESS) {
      QueryKey(p, sub, sub_path, true, out);
      p.CloseKey(sub);
    }
  }
  if (subs && !recurse) out << "\n";
  return 0;
}

// Deletes key\name and everything below it, deepest first.
LONG DeleteTree(Platform& p, HKEY parent, const std::wstring& name) {
  HKEY key;
  LONG rc = p.OpenKey(parent, name, KEY_READ | KEY_WRITE, &key);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<std::wstring> subs;
  for (DWORD i = 0;; ++i) {
    std::wstring sub;
    LONG e = p.EnumKey(key, i, &sub);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e == ERROR_SUCCESS) subs.push_back(sub);
  }
  for (const auto& s : subs) {
    rc = DeleteTree(p, key, s);
    if (rc != ERROR_SUCCESS) {
      p.CloseKey(key);
      return rc;
    }
  }
  p.CloseKey(key);
  return p.DeleteKey(parent, name);
}

int Finish(Platform& p, std::ostream& out, std::ostream& err) {
  Status s = p.Flush();
  if (!s) {
    err << "ERROR: " << WideToUtf8(s.message) << "\n";
    return 1;
  }
  out << "The operation completed successfully.\n";
  return 0;
}

}  // namespace

bool ParseKeyPath(const std::wstring& path, HKEY* root, std::wstring* sub_key, std::wstring* root_name) {
  std::wstring p = path;
  if (p.rfind(L"\\\\", 0) == 0) return false;  // remote machines are not ours to reach
  size_t slash = p.find(L'\\');
  std::wstring first = ToUpper(p.substr(0, slash));
  for (const auto& r : kRoots) {
    if (first == r.short_name || first == r.long_name) {
      *root = r.key;
      *root_name = r.long_name;
      *sub_key = slash == std::wstring::npos ? L"" : p.substr(slash + 1);
      while (!sub_key->empty() && sub_key->back() == L'\\') sub_key->pop_back();
      return true;
    }
  }
  return false;
}

int RunReg(Platform& p, const std::vector<std::string>& raw, std::ostream& out, std::ostream& err) {
  if (raw.empty()) {
    err << "ERROR: Invalid syntax. Use: reg query|add|delete KEY [options]\n";
    return 1;
  }
  std::string op = WideToUtf8(ToLower(Utf8ToWide(raw[0])));
  if (op != "query" && op != "add" && op != "delete") {
    err << "ERROR: Invalid syntax. Unknown operation " << raw[0] << ".\n";
    return 1;
  }
  Args a;
  std::string why;
  if (!Parse(raw, op == "add", &a, &why)) {
    err << why << "\n";
    return 1;
  }
  HKEY root;
  std::wstring sub, root_name;
  if (!ParseKeyPath(a.key, &root, &sub, &root_name)) {
    err << "ERROR: Invalid key name.\n";
    return 1;
  }
  std::wstring shown = root_name + (sub.empty() ? L"" : L"\\" + sub);

  if (op == "query") {
    HKEY key;
    if (p.OpenKey(root, sub, KEY_READ, &key) != ERROR_SUCCESS) {
      err << kNotFound;
      return 1;
    }
    int rc = 0;
    if (a.has_value) {
      DWORD type;
      std::string data;
      if (p.QueryValue(key, a.value, &type, &data) != ERROR_SUCCESS) {
        err << kNotFound;
        rc = 1;
      } else {
        out << WideToUtf8(shown) << "\n";
        PrintValue(out, a.value, type, data);
        out << "\n";
      }
    } else {
      rc = QueryKey(p, key, shown, a.recurse, out);
    }
    p.CloseKey(key);
    return rc;
  }

  if (Status s = p.CheckWritable(); !s) {
    err << "ERROR: " << WideToUtf8(s.message) << "\n";
    return 1;
  }

  if (op == "add") {
    DWORD type;
    std::string data;
    if (!EncodeData(a, &type, &data, &why)) {
      err << why << "\n";
      return 1;
    }
    HKEY key;
    if (LONG rc = p.CreateKey(root, sub, &key); rc != ERROR_SUCCESS) {
      err << Refusal(rc);
      return 1;
    }
    LONG rc = ERROR_SUCCESS;
    if (a.has_value || a.has_data) {
      std::string old;
      DWORD old_type;
      if (!a.force && p.QueryValue(key, a.value, &old_type, &old) == ERROR_SUCCESS) {
        err << "ERROR: The value exists; give /f to overwrite it.\n";
        p.CloseKey(key);
        return 1;
      }
      rc = p.SetValue(key, a.value, type, data);
    }
    p.CloseKey(key);
    if (rc != ERROR_SUCCESS) {
      err << Refusal(rc);
      return 1;
    }
    return Finish(p, out, err);
  }

  // delete
  if (!a.force) {
    err << "ERROR: Deleting needs /f (this command does not ask).\n";
    return 1;
  }
  if (a.has_value || a.all_values) {
    HKEY key;
    if (p.OpenKey(root, sub, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) {
      err << kNotFound;
      return 1;
    }
    LONG rc = ERROR_SUCCESS;
    if (a.has_value) {
      rc = p.DeleteValue(key, a.value);
    } else {
      std::vector<std::wstring> names;
      for (DWORD i = 0;; ++i) {
        std::wstring name;
        LONG e = p.EnumValue(key, i, &name, nullptr, nullptr);
        if (e == ERROR_NO_MORE_ITEMS) break;
        if (e == ERROR_SUCCESS) names.push_back(name);
      }
      for (const auto& n : names)
        if (LONG e = p.DeleteValue(key, n); e != ERROR_SUCCESS) rc = e;
    }
    p.CloseKey(key);
    if (rc != ERROR_SUCCESS) {
      err << (rc == ERROR_FILE_NOT_FOUND ? kNotFound : Refusal(rc));
      return 1;
    }
    return Finish(p, out, err);
  }
  if (sub.empty()) {
    err << "ERROR: A root key cannot be deleted.\n";
    return 1;
  }
  size_t slash = sub.rfind(L'\\');
  HKEY parent;
  std::wstring parent_path = slash == std::wstring::npos ? L"" : sub.substr(0, slash);
  std::wstring leaf = slash == std::wstring::npos ? sub : sub.substr(slash + 1);
  if (p.OpenKey(root, parent_path, KEY_READ | KEY_WRITE, &parent) != ERROR_SUCCESS) {
    err << kNotFound;
    return 1;
  }
  LONG rc = DeleteTree(p, parent, leaf);
  p.CloseKey(parent);
  if (rc != ERROR_SUCCESS) {
    err << (rc == ERROR_FILE_NOT_FOUND ? kNotFound : Refusal(rc));
    return 1;
  }
  return Finish(p, out, err);
}

}  // namespace orvane::cli
