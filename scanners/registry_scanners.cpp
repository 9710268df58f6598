#include "scanners/registry_scanners.h"

#include "platform/command_line.h"
#include "platform/names.h"
#include "platform/registry_values.h"
#include "scanners/path.h"

namespace orvane {
namespace {

constexpr int kMaxTreeDepth = 50;
// Windows refuses keys nested deeper than this; a hive read from a file may
// hold anything, and the empty-key search must not recurse without end.
constexpr int kMaxEmptyKeyDepth = 512;

enum class Filter { kStrings, kAny, kDword };
enum class PathFrom { kData, kName };
enum class Check { kInvalidPath, kRecentList, kCommandLine };

// An open key that closes itself.
class OpenedKey {
 public:
  // view: the flag of the view the path is named in; a key opened below an
  // open one needs none, the parent already lies in its view.
  OpenedKey(Platform& platform, HKEY root, const std::wstring& path, DWORD view = 0) : platform_(platform) {
    ok_ = platform_.OpenKey(root, path, KEY_READ | view, &key_) == ERROR_SUCCESS;
  }
  ~OpenedKey() {
    if (ok_) platform_.CloseKey(key_);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  bool ok() const { return ok_; }
  HKEY get() const { return key_; }

 private:
  Platform& platform_;
  HKEY key_ = 0;
  bool ok_ = false;
};

bool PassesFilter(Filter filter, DWORD type) {
  switch (filter) {
    case Filter::kStrings:
      return type == REG_SZ || type == REG_EXPAND_SZ;
    case Filter::kDword:
      return type == REG_DWORD;
    case Filter::kAny:
      return true;
  }
  return false;
}

// The value's data as a record keeps it: string data as text up to its
// first NUL, whole (a text cut short would be judged as another path, and
// recorded as another value). A REG_DWORD is kept as its decimal number, so
// that a restore can write the same number back (its raw bytes read as
// characters could not be).
std::wstring DataText(DWORD type, const std::string& data) {
  if (type == REG_DWORD && data.size() == 4) {
    uint32_t number = static_cast<uint8_t>(data[0]) | static_cast<uint8_t>(data[1]) << 8 |
                      static_cast<uint8_t>(data[2]) << 16 |
                      static_cast<uint32_t>(static_cast<uint8_t>(data[3])) << 24;
    return std::to_wstring(number);
  }
  return RegistryDataAsText(data);
}

// The program a command line starts, as Windows finds it, when that program
// is missing: "" when the line's program is there or cannot be judged. A line
// with arguments ("C:\Tool\x.exe" /background) is judged by its program
// alone; the program's path gets the same conservative tests as a plain one.
// An unquoted line without arguments is judged whole, as it always was.
std::wstring MissingCommandProgram(Platform& platform, const std::wstring& line, PathExistenceCache* cache,
                                   DWORD view) {
  CommandLineProgram program;
  const std::wstring expanded =
      view == KEY_WOW64_32KEY ? As32BitProgramSees(platform, line) : ExpandEnvironment(platform, line);
  if (FindCommandLineProgram(platform, expanded, L"C:\\", &program)) return L"";
  // A whole line that names a missing file is that file, spaces and all
  // (C:\Program Files\Gone\x.exe, unquoted, as installers write it).
  if (IsInvalidPathValue(platform, line, cache, view)) return line;
  // Named as the value spells it ("%ProgramFiles%\Tool\x.exe"), as every
  // finding keeps the stored text unexpanded.
  if (FindCommandLineProgram(platform, line, L"C:\\", &program)) return L"";
  if (program.named.empty() || !IsInvalidPathValue(platform, program.named, cache, view)) return L"";
  return program.named;
}

void ReportInvalidPath(ScanContext& context, const std::wstring& location, const std::wstring& path,
                       const CRegistryItem& item) {
  context.AddRegistryError(L"The value in " + location + L"  contains an invalid path " + path,
                           L"The file is missing or invalid.", item, path, ErrorType::RegistryValue);
}

// The value walk shared by the four value scanners, over an open key whose
// path below the root is key_path.
void ExamineOpenKey(ScanContext& context, HKEY key, const std::wstring& key_path, DWORD values, Filter filter,
                    PathFrom path_from, Check check) {
  Platform& platform = context.platform();

  std::wstring name;
  std::string data;
  for (DWORD index = 0; index < values && context.IsRunning(); ++index) {
    DWORD type = 0;
    if (platform.EnumValue(key, index, &name, &type, &data) != ERROR_SUCCESS) continue;
    context.ReportProgress(key_path + L"\\" + name);
    if (!PassesFilter(filter, type)) continue;

    std::wstring text = DataText(type, data);
    const std::wstring& path = path_from == PathFrom::kName ? name : text;
    std::wstring missing_program;
    bool invalid = false;
    switch (check) {
      case Check::kRecentList:
        invalid = IsInvalidMruValue(platform, path);
        break;
      case Check::kInvalidPath:
        invalid = IsInvalidPathValue(platform, path, &context.existing_paths, context.view());
        // A quoted path or one with an icon index is judged by the file it
        // names; such a value is reported with that file.
        if (!invalid && path_from == PathFrom::kData) {
          const std::wstring file = DecoratedPathFile(path);
          if (!file.empty() && IsInvalidPathValue(platform, file, &context.existing_paths, context.view()))
            missing_program = file;
          invalid = !missing_program.empty();
        }
        break;
      case Check::kCommandLine:
        missing_program = MissingCommandProgram(platform, path, &context.existing_paths, context.view());
        invalid = !missing_program.empty();
        break;
    }
    if (!invalid) continue;
    CRegistryItem item;
    item.valueType = type;
    item.rootKey = context.root_key();
    item.rootName = context.root_name();
    item.subKey = key_path;
    item.valueName = name;
    item.valueData = std::move(text);
    item.view = context.view();
    ReportInvalidPath(context, context.root_name() + L"\\" + key_path + L"\\" + name,
                      !missing_program.empty()      ? missing_program
                      : path_from == PathFrom::kName ? item.valueName
                                                     : item.valueData,
                      item);
  }
}

void ExamineValues(ScanContext& context, HKEY root, const std::wstring& key_path, Filter filter,
                   PathFrom path_from, Check check) {
  OpenedKey key(context.platform(), root, key_path, context.view());
  if (!key.ok()) return;
  DWORD sub_keys = 0, values = 0;
  if (context.platform().QueryInfoKey(key.get(), &sub_keys, &values) != ERROR_SUCCESS) return;
  ExamineOpenKey(context, key.get(), key_path, values, filter, path_from, check);
}

// The subkey walk of the two tree scanners; a plain walk examines nothing.
// Each key is opened once, below its parent's open key (parent\relative),
// rather than twice from the root: the result is the same, and deep trees
// cost no more per key than shallow ones.
void WalkTree(ScanContext& context, HKEY parent, const std::wstring& relative, const std::wstring& key_path,
              int depth, bool examine, DWORD view) {
  Platform& platform = context.platform();
  OpenedKey key(platform, parent, relative, view);
  if (!key.ok()) return;
  DWORD sub_keys = 0, values = 0;
  if (platform.QueryInfoKey(key.get(), &sub_keys, &values) != ERROR_SUCCESS) return;
  if (examine) ExamineOpenKey(context, key.get(), key_path, values, Filter::kStrings, PathFrom::kData, Check::kInvalidPath);
  if (depth > kMaxTreeDepth) return;
  std::wstring name;
  for (DWORD index = 0; index < sub_keys && context.running.load() == 1; ++index) {
    if (platform.EnumKey(key.get(), index, &name) != ERROR_SUCCESS) continue;
    WalkTree(context, key.get(), name, key_path + L"\\" + name, depth + 1, examine, 0);
  }
}

}  // namespace

void CheckValuePaths(ScanContext& context, HKEY root, const std::wstring& key) {
  ExamineValues(context, root, key, Filter::kStrings, PathFrom::kData, Check::kInvalidPath);
}

void CheckCommandLines(ScanContext& context, HKEY root, const std::wstring& key) {
  ExamineValues(context, root, key, Filter::kStrings, PathFrom::kData, Check::kCommandLine);
}

void CheckValueNamePaths(ScanContext& context, const std::wstring& key) {
  ExamineValues(context, HKEY_CURRENT_USER, key, Filter::kAny, PathFrom::kName, Check::kInvalidPath);
}

void CheckSharedDllNames(ScanContext& context, const std::wstring& key) {
  ExamineValues(context, HKEY_LOCAL_MACHINE, key, Filter::kDword, PathFrom::kName, Check::kInvalidPath);
}

void CheckRecentLists(ScanContext& context, const std::wstring& key) {
  ExamineValues(context, HKEY_CURRENT_USER, key, Filter::kAny, PathFrom::kData, Check::kRecentList);
}

void ScanKeyTree(ScanContext& context, HKEY root, const std::wstring& key, int depth) {
  WalkTree(context, root, key, key, depth, /*examine=*/true, context.view());
}

void WalkKeyTree(ScanContext& context, HKEY root, const std::wstring& key, int depth) {
  WalkTree(context, root, key, key, depth, /*examine=*/false, context.view());
}

void FindEmptyKeys(ScanContext& context, HKEY root, const std::wstring& key_path, int depth) {
  if (depth > kMaxEmptyKeyDepth) return;
  Platform& platform = context.platform();
  OpenedKey key(platform, root, key_path);
  if (!key.ok()) return;
  DWORD sub_keys = 0, values = 0;
  if (platform.QueryInfoKey(key.get(), &sub_keys, &values) != ERROR_SUCCESS) return;
  if (sub_keys != 0 || values != 0) {
    std::wstring name;
    for (DWORD index = 0; context.IsRunning() && index < sub_keys; ++index) {
      if (platform.EnumKey(key.get(), index, &name) != ERROR_SUCCESS) continue;
      FindEmptyKeys(context, root, key_path + L"\\" + name, depth + 1);
    }
  } else if (depth > 2) {
    CRegistryItem item;
    item.rootKey = context.root_key();
    item.rootName = context.root_name();
    item.subKey = key_path;
    item.tag = context.ordinal();
    context.AddRegistryError(L"The key " + key_path + L" is a empty registry key", L"Empty Registry Key.",
                             item, key_path, ErrorType::RegistryKey);
  }
}

}  // namespace orvane
