// The scan worker's reporting object. Every scanner reports through one
// context: what it is looking at (progress), where a section begins and ends,
// and each finding, which becomes a CError in the engine's error list,
// counted in its section and announced with a message.
//
// A context belongs to one scan thread. Only `running` (and the finder's
// stop flag) may be written from another thread, to stop the scan; scanners
// read it before every entry, and nothing is recorded or posted while it is
// clear.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "model/error_list.h"
#include "model/ignore_list.h"
#include "model/messages.h"
#include "model/pacer.h"
#include "platform/file_finder.h"
#include "platform/platform.h"
#include "scanners/path.h"

namespace orvane {

// What a context needs from the scan that owns it. Every reference must
// outlive the context; repaired and ignore may be null (nothing is skipped
// for them then).
struct ScanEnvironment {
  Platform& platform;
  CErrorListEx& errors;
  SectionCounters& counters;
  MessageTarget& target;
  Pacer& pacer;
  const CRegistryItemListEx* repaired = nullptr;
  // The user's ignore list: a finding it matches is counted as ignored
  // instead of being recorded.
  const IgnoreList* ignore = nullptr;
};

class ScanContext {
 public:
  explicit ScanContext(const ScanEnvironment& env);
  ScanContext(const ScanContext&) = delete;
  ScanContext& operator=(const ScanContext&) = delete;

  // Stores the five values; while running, posts the section-begins message.
  void BeginSection(const std::wstring& root_name, HKEY root_key, int32_t section, int32_t ordinal,
                    bool mark_only);
  // Pauses 2 s, then 100 to 2000 ms more (seeded from the clock); then,
  // while running, posts the section-ends message.
  void EndSection();
  // While running: posts "<root name>\<text>" (the text alone in sections 11,
  // 13, 14 and 15). Every hundredth call across all contexts pauses 400 ms.
  void ReportProgress(const std::wstring& text);

  // A finding in the registry. Nothing happens when not running or when the
  // item is in the repaired-items list.
  void AddRegistryError(const std::wstring& reason, const std::wstring& type_text, const CRegistryItem& item,
                        const std::wstring& file_path, int32_t error_type);
  // The file-error forms. AddShortcutError records while running is set;
  // AddJunkFileError and AddTargetError only while it is exactly 1. size is
  // the finding's bytes (CError::size), taken from the attributes the
  // scanner already read.
  void AddShortcutError(const std::wstring& path, uint64_t size = 0);
  void AddJunkFileError(const std::wstring& path, uint64_t size = 0);
  void AddTargetError(const std::wstring& target, const std::wstring& type_text, uint64_t size = 0);
  // Progress "<prefix>\<target>", then AddTargetError(target, type_text, size).
  void ReportJunkItem(const std::wstring& prefix, const std::wstring& target, const std::wstring& type_text,
                      uint64_t size = 0);

  // For the scanners that announce their own section: sets section and
  // ordinal (root and mark only stay) and, while running, posts the
  // section-begins message.
  void AnnounceSection(int32_t section, int32_t ordinal);
  // Posts a message while running (scanners with their own messages).
  void PostWhileRunning(uint32_t code, int64_t wparam, int64_t lparam);
  // Posts a message whether or not the scan runs (the worker's end event).
  void Post(Message message) { env_.target.Post(std::move(message)); }

  // Something the scan could not look at (a locked browser database): said
  // to the user after the scan, never counted as a finding.
  void AddNote(const std::wstring& text) { notes_.push_back(text); }
  // Read only after the scan has ended.
  const std::vector<std::wstring>& notes() const { return notes_; }
  // The findings the ignore list took, by section id. Read only after the
  // scan has ended.
  const std::array<int32_t, kSectionCount>& ignored() const { return ignored_; }

  bool IsRunning() const { return running.load(std::memory_order_relaxed) != 0; }

  Platform& platform() { return env_.platform; }
  Pacer& pacer() { return env_.pacer; }
  int32_t section() const { return section_; }
  int32_t ordinal() const { return ordinal_; }
  bool mark_only() const { return mark_only_; }
  const std::wstring& root_name() const { return root_name_; }
  HKEY root_key() const { return root_key_; }
  // The registry view the scanners open their keys in and their findings
  // carry: 0 (the program's own, 64-bit) or KEY_WOW64_32KEY. BeginSection
  // sets it back to 0.
  DWORD view() const { return view_; }
  void SetView(DWORD view) { view_ = view; }

  // 1 while the scan runs; another thread clears it to stop the scan.
  std::atomic<uint8_t> running{0};
  // The junk scanners' finder; its callback and user value are set to this
  // context's file-event handler when the context is made.
  CFileFinder finder;
  // Which files exist, as far as this scan has looked.
  PathExistenceCache existing_paths;

 private:
  // Counts, appends and announces a record whose fields are all filled.
  void Record(CError record);

  ScanEnvironment env_;
  int32_t section_ = 0;
  bool mark_only_ = false;
  std::wstring root_name_;
  HKEY root_key_ = 0;
  DWORD view_ = 0;
  int32_t ordinal_ = 0;
  std::vector<std::wstring> notes_;
  std::array<int32_t, kSectionCount> ignored_{};
  // The folder of the last file finding, and whether it lies in the machine.
  std::wstring checked_folder_{L"\x01"};
  bool checked_inside_ = false;
};

}  // namespace orvane
