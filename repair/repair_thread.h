// The repair worker: repairs every record of the engine's error list in list
// order, writing each into a backup set in the program's state folder (the
// record's line, and for a file the file itself, moved out of the machine),
// counting it, and posting its progress. One second's pause follows each
// record (through the pacer); at the end the registry and the repair log are
// saved.
//
// Messages, in this order: kMsgRepairStarted (count); per record
// kMsgRecordBegins (display text) then kMsgRecordProcessed (records so far);
// kMsgRepairEnded last, also after a cancel.
//
// The write order, which keeps the promise that everything removed is in a
// set whenever the run is killed: records are taken in batches; a batch's
// lines go into their sets' data files with one flush per set, and only
// then are the batch's files moved into the sets and its registry items
// deleted (the registry reaches the disk at the end, after every line).
// A record whose removal cannot wait (browser data, the recycle bin, an
// emptied folder) ends the batch before it, and its own line is flushed
// before it is acted on. Where the pauses really wait, every record is its
// own batch, so what the progress window shows has happened; where they are
// skipped a batch holds up to kMaxBatch records, so a large repair costs one
// flush per batch rather than one per line.
//
// Nothing is changed that could not be backed up: when a record's backup set
// cannot be created (or its lines could not be added to it), the record and
// the later records of that category are left alone; a file that could not
// be moved into its set stays where it is. Only records actually repaired
// (or whose item was already gone) count as repaired; outcomes() tells why
// the others were not.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/error_list.h"
#include "model/local_time.h"
#include "model/messages.h"
#include "model/own_files.h"
#include "model/pacer.h"
#include "model/worker_thread.h"
#include "platform/platform.h"
#include "platform/state_folder.h"
#include "repair/backup_set.h"

namespace orvane {

// What the worker works on. Every reference must outlive the worker's
// thread; while it runs, nobody else may touch errors, counters or repaired.
struct RepairEnvironment {
  Platform& platform;
  StateFolder& state;  // where the backup sets go
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
  // The folder of the set created last ("" when none was).
  const std::wstring& copies_folder() const { return copies_folder_; }
  // Ok, or why the run as a whole fell short: the machine could not be
  // changed, the registry or the repair log could not be saved.
  const Status& status() const { return status_; }

  // The display text the progress window shows for a record.
  static std::wstring DisplayText(const CError& record);

 protected:
  int Run() override;

 private:
  static constexpr size_t kMaxBatch = 512;

  struct SetState {
    bool attempted = false;
    bool usable = false;
    BackupSet files;
    std::wstring problem;  // why the set cannot take records
    std::wstring pending;  // lines of the batch not yet in the data file
    bool batch_lost = false;  // this batch's lines could not be written
  };
  // A record whose line waits in its set's pending lines, and what the
  // commit does after the lines are on disk.
  struct Staged {
    enum class Action {
      kSettled,       // nothing to do: `settled` is its outcome
      kMove,          // move the file or link `entry` into the set
      kRemoveFolder,  // remove the emptied folder `entry`
      kRepair,        // RepairRecord
      kPrivacy,       // RepairPrivacyRecord
      kBrowserData,   // a browser data record: its section's one clean
    };
    size_t index = 0;  // in the run's copy of the list
    int32_t section = 0;
    SetState* set = nullptr;
    Action action = Action::kSettled;
    std::wstring entry;
    int copy_number = 0;  // kMove
    RecordOutcome settled;
  };

  // Writes the record's line into its set's pending lines and decides what
  // becomes of it. True when it cannot wait: the batch must be committed
  // now.
  bool StageRecord(const CError& record, size_t index, SetState& set, int* copy_number);
  // Before the first record of a browser section's data: the lines of all
  // that section's data records among records[from, end) go into the set
  // (its one clean removes the data of all of them). False when they could
  // not be written.
  bool WriteBrowserSectionLines(const CErrorListEx& records, int from, int end, int32_t section, SetState& set);
  // Flushes every set's pending lines, then carries out the staged
  // actions of the sets whose lines reached the disk.
  void Commit(const CErrorListEx& records);
  // The outcome of a record settled: stored, and counted when repaired.
  void Settle(int32_t section, size_t index, RecordOutcome outcome);
  // Removes what the record names, by its error type (registry items, the
  // recycle bin, files that are not kept).
  RecordOutcome RepairRecord(const CError& record);
  // Cleans the record's browser section (once a run, at its first record),
  // then repairs what else the record names.
  RecordOutcome RepairPrivacyRecord(const CError& record);
  // The outcome after the section's clean (run once a run, at its first
  // record) of a record whose own repair gave outcome.
  RecordOutcome AfterBrowserClean(int32_t section, RecordOutcome outcome);
  // Moves the file into its set, or removes the emptied folder.
  RecordOutcome MoveIntoSet(const CError& record, const Staged& staged);
  RecordOutcome RemoveFolder(const CError& record, const std::wstring& folder);
  // Removes the folders that removing the entry at path left empty, from
  // its own folder upwards, but never a folder programs expect to exist.
  void RemoveEmptiedFolders(const std::wstring& path);
  // True for those folders (the temporary and profile folders and the
  // folders above them), compared as host paths.
  bool IsKeptFolder(const std::string& host);
  void AddProblem(const std::wstring& text);

  std::vector<Staged> staged_;
  // Looked up once a run: every file record is checked against them.
  std::optional<OwnFiles> own_files_;
  // The folders RemoveEmptiedFolders keeps, as host paths; found once.
  std::vector<std::string> kept_folders_;
  bool kept_folders_known_ = false;

  // The browser cleaning each privacy section got in this run, and the
  // sections whose data lines are all in their set already.
  struct BrowserClean {
    std::vector<std::wstring> left;  // browsers whose data had to stay
    bool failed = false;             // the cleaner threw
  };
  std::map<int32_t, BrowserClean> browser_cleans_;
  std::map<int32_t, bool> browser_lines_written_;

  RepairEnvironment env_;
  int count_;
  std::vector<std::wstring> browser_flags_;
  BrowserCleaning cleaner_;
  Clock clock_;

  std::vector<RecordOutcome> outcomes_;
  std::vector<BackupSet> backup_sets_;
  std::wstring copies_folder_;
  Status status_;
};

}  // namespace orvane
