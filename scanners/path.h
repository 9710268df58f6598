// Deciding which texts found in registry values and file searches name a
// single file that can be examined, and whether that file is missing. The
// rules are deliberately conservative: a value is judged invalid only when
// it passes every shape test and names a missing file with one of a few
// known extensions. Everything else is left alone.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

namespace orvane {

// A found path split into its pieces, the way the file scanners normalise a
// path ("/" becomes "\") and take its extension.
class CPath {
 public:
  // One command-line argument. Nothing in the program fills these yet; the
  // type is kept so that argument parsing has a place to go.
  struct CArgument {
    wchar_t switch_char = L'/';
    std::wstring name;
    std::wstring value;
  };

  CPath() = default;
  // Splits text after removing one pair of enclosing double quotes. A text
  // of 260 or more characters, or one whose directory, title or extension
  // exceeds 255 characters, leaves every piece empty: truncating it would
  // name a different file.
  explicit CPath(const std::wstring& text);

  // drive + directory + file title, then "." + extension when there is one.
  // Also kept as the last full path.
  std::wstring GetFullPath();
  // The extension without its dot; "" when there is none (or no title).
  const std::wstring& GetExtension() const { return extension_; }

  const std::wstring& source() const { return source_; }
  const std::wstring& drive() const { return drive_; }
  const std::wstring& directory() const { return directory_; }
  const std::wstring& file_title() const { return file_title_; }
  const std::vector<CArgument>& arguments() const { return arguments_; }
  // True when the directory is non-empty and does not begin with "\".
  bool relative() const { return relative_; }
  const std::wstring& last_full_path() const { return full_path_; }

 private:
  std::wstring source_;
  std::wstring drive_;
  std::wstring directory_;
  std::wstring file_title_;
  std::wstring extension_;
  std::vector<CArgument> arguments_;
  bool relative_ = false;
  std::wstring full_path_;
};

// Remembers which paths exist, for the length of one scan: the same few
// files are named by thousands of values, and each look-up costs a trip to
// the file system. Not thread-safe; one scan thread uses it.
class PathExistenceCache {
 public:
  // GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES, asked once per text.
  bool Exists(Platform& platform, const std::wstring& path);

 private:
  std::unordered_map<std::wstring, bool> known_;
};

// Shape tests. Each takes its text by value and never changes the caller's.

// True when the text, lower-cased with "\systemroot" turned into
// "%systemroot%" and then expanded, is non-empty and holds a ":".
bool HasDriveColon(Platform& platform, std::wstring text);
// False when the text holds "," ";" "{" or "}"; otherwise true exactly when
// it holds exactly one ".".
bool IsSingleFileText(std::wstring text);
// True when the text holds "msiexec.exe" or "rundll32" (case-sensitive).
bool IsInstallerCommand(std::wstring text);
// True when the lower-cased text begins with one of the judged extensions
// (".exe" ".dll" ".txt" ".ttf" ".chm" ".wav" ".jpg" ".bmp" ".xml").
bool HasJudgedExtension(std::wstring text);
// True unless the text's last four characters are a judged extension and no
// file or folder exists at the whole text.
// cache (may be null) answers repeated look-ups.
bool TargetExists(Platform& platform, std::wstring text, PathExistenceCache* cache = nullptr);

// The text expanded as a 32-bit program on a 64-bit machine would expand and
// open it: %ProgramFiles% and %CommonProgramFiles% are the "(x86)" folders,
// the system folder (Windows folder\system32) is syswow64 except for the
// subfolders Windows leaves in place, and Windows folder\sysnative is
// system32. Other paths, "C:\Program Files\..." spelled out among them,
// are what they say.
std::wstring As32BitProgramSees(Platform& platform, std::wstring text);

// The decision that turns a registry value into an "invalid path" error:
// after expansion, true only when the text has a drive colon, names a single
// file, is no installer command, and its target with a judged extension is
// missing. A leading "\SystemRoot" is resolved to the Windows folder for the
// existence test. Overlong expansions are never judged. A value of the
// 32-bit view (view KEY_WOW64_32KEY) is judged as As32BitProgramSees reads it.
bool IsInvalidPathValue(Platform& platform, std::wstring text, PathExistenceCache* cache = nullptr,
                        DWORD view = 0);
// The file a path value names inside its decoration: the text between the
// first pair of quotes ("C:\App\uninst.exe" /S, as installers write an
// uninstall command), or the text before an icon index (C:\App\app.exe,0 or
// ,-101); "" when the value has neither form.
std::wstring DecoratedPathFile(const std::wstring& text);

// The MRU lists' shorter rule: after expansion, invalid exactly when the
// text is no installer command.
bool IsInvalidMruValue(Platform& platform, std::wstring text);

}  // namespace orvane
