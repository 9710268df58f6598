// The repair worker: repairs every record of the engine's error list in list
// order, writing each into a backup set (a file's copy and the record's line
// before anything is removed), counting it, and posting its
// progress. One second's pause follows each record (through the pacer); at
// the end the registry and the repair log are saved.
//
// Messages, in this order: kMsgRepairStarted (count); per record
// kMsgRecordBegins (display text) then kMsgRecordProcessed (records so far);
// kMsgRepairEnded last, also after a cancel.
//
// Nothing is changed that could not be backed up: when a record's backup set
// cannot be created (or a line could not be added to it), the record and the
// later records of that category are left alone; a file whose copy could not
// be made stays where it is. Only records actually repaired (or whose item
// was already gone) count as repaired; outcomes() tells why the others were
// not.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/error_list.h"
#include "model/local_time.h"
#include "model/messages.h"
#include "model/pacer.h"
#include "model/worker_thread.h"
#include "platform/platform.h"
#include "repair/backup_set.h"

namespace orvane {

// What the worker works on. Every reference must outlive the worker's
// thread; while it runs, nobody else may touch errors, counters or repaired.
struct RepairEnvironment {
  Platform& platform;
  CErrorListEx& errors;
  SectionCounters& counters;
  CRegistryItemListEx& repaired;  // grows by the mark-only records repaired
  MessageTarget& target;
  Pacer& pacer;
};

// What became of one record of the list.
struct RecordOutcome {
  enum class State {
    kNotReached,   // the repair ended (cancel, or no writable machine) before it
    kRepaired,     // removed, marked, or already gone
    kNotRepaired,  // left in place; detail says why
  };
  State state = State::kNotReached;
  // Why it was not repaired; for a repaired record a warning or "".
  std::wstring detail;
  // Browsers whose data for this record's section could not be cleaned.
  std::vector<std::wstring> browsers_left_in_place;
};

// The browser cleaning of a privacy record (sections 17 to 21): cleans the
// section's data of every browser the selection names ("1"/"0" for Internet
// Explorer, Firefox, Chrome) and returns the display names of the browsers
// whose data had to stay. The scanners provide it; the engine hands it in.
// The worker calls it once per section in a run, at the section's first
// record; every record of the section shares that outcome.
using BrowserCleaning =
    std::function<std::vector<std::wstring>(Platform&, int32_t section, const std::vector<std::wstring>& selection)>;

class CRepairErrorsThread : public CWinThread {
 public:
  using Clock = std::function<LocalDateTime()>;

  // count: the error list's count when the repair was asked for.
  // browser_flags: "1"/"0" for Internet Explorer, Firefox, Chrome.
  CRepairErrorsThread(const RepairEnvironment& env, int count,
                      std::vector<std::wstring> browser_flags);
  // Joins a thread still running (the base class does), so env stays in use
  // until then.
  ~CRepairErrorsThread() override;

  // The browser cleaning (without one, privacy records of files are left
  // alone and say so) and the clock that stamps backup sets; before Start
  // only.
  void set_browser_cleaner(BrowserCleaning cleaner) { cleaner_ = std::move(cleaner); }
  void set_clock(Clock clock) { clock_ = std::move(clock); }

  // ---- Results: read only after Join. ----
  // One per record of the list as copied at the start, in list order.
  const std::vector<RecordOutcome>& outcomes() const { return outcomes_; }
  // Every browser left in place by any record, each named once.
  std::vector<std::wstring> browsers_left_in_place() const;
  // The sets this run created, in creation order.
  const std::vector<BackupSet>& backup_sets() const { return backup_sets_; }
  // The copies folder of the set created last ("" when none was).
  const std::wstring& copies_folder() const { return copies_folder_; }
  // Ok, or why the run as a whole fell short: the machine could not be
  // changed, the registry or the repair log could not be saved.
  const Status& status() const { return status_; }

  // The display text the progress window shows for a record.
  static std::wstring DisplayText(const CError& record);

 protected:
  int Run() override;

 private:
  struct SetState {
    bool attempted = false;
    bool usable = false;
    BackupSet files;
    std::wstring problem;  // why the set cannot take records
  };

  // Removes what the record names, by its error type.
  RecordOutcome RepairRecord(const CError& record);
  // Repairs records[index], one of the first count_ records.
  void ProcessRecord(const CErrorListEx& records, int index, SetState& set, int* copy_number, RecordOutcome* outcome);
  void RemoveEmptiedFolders(const std::wstring& file_path);
  void AddProblem(const std::wstring& text);

  // The browser cleaning each privacy section got in this run.
  struct BrowserClean {
    std::vector<std::wstring> left;  // browsers whose data had to stay
    bool failed = false;             // the cleaner threw
  };

  RepairEnvironment env_;
  int count_;
  std::vector<std::wstring> browser_flags_;
  BrowserCleaning cleaner_;
  Clock clock_;

  std::vector<RecordOutcome> outcomes_;
  std::vector<BackupSet> backup_sets_;
  std::wstring copies_folder_;
  Status status_;
  std::map<int32_t, BrowserClean> browser_cleans_;
};

}  // namespace orvane
