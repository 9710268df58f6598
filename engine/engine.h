// The engine: the state of scanning and repairing (the error list of the last
// scan, the per-section counters, the last-scan date, the browser selection)
// and the workers that scan and repair. The program builds one and hands it
// to the windows and the commands that use it; they call its operations and
// show what those return, as values. Nothing of its state is handed out for
// writing: the list and the counters change only through the operations.
//
// Every operation runs on the owner's (interface) thread. The workers write
// the error list and the counters while they run; read them only after the
// worker has ended (WaitForScan, WaitForRepair, or the completion messages).
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "model/error_list.h"
#include "model/ignore_file.h"
#include "model/sizes.h"
#include "engine/html_report.h"
#include "model/local_time.h"
#include "model/messages.h"
#include "model/pacer.h"
#include "model/sections.h"
#include "engine/registry_scan_thread.h"
#include "engine/startup_list.h"
#include "engine/uninstall_list.h"
#include "platform/platform.h"
#include "platform/state_folder.h"
#include "repair/backup_catalog.h"
#include "repair/repair_thread.h"
#include "repair/restore.h"

namespace orvane {

struct EngineOptions {
  // Where workers post their messages (the main window, or a terminal).
  MessageTarget* target = nullptr;
  // The pauses of scans and repairs; null paces as specified (sleeping).
  Pacer* pacer = nullptr;
  // The local time now; null uses the host's clock.
  std::function<LocalDateTime()> now;
  // Called after the unresolved errors were saved, so the problems display
  // can refresh.
  std::function<void()> on_problems_changed;
  // The running program's version strings (its file's version block);
  // empty shows "<no version info found>".
  std::wstring product_version, release_date;
  // The program's own folder of state about the machine, where backups go
  // (outside the machine); null gives none, so nothing can be backed up and
  // no repair removes anything.
  StateFolder* state = nullptr;
};

// What a scan looks at.
struct ScanRequest {
  ScanRequest() = default;
  ScanRequest(const std::array<bool, kSectionCount>& on, BrowserSelection browsers_read = {}, bool privacy_scan = false)
      : sections(on), browsers(browsers_read), privacy(privacy_scan) {}

  std::array<bool, kSectionCount> sections{};  // by section id
  BrowserSelection browsers;                   // whose data the privacy sections read
  bool privacy = false;                        // a junk and privacy scan (how the windows lay out)
};

// What the last scan found, for a front end to show.
struct ScanSummary {
  bool completed = false;  // every enabled section was scanned (not stopped)
  std::array<int32_t, kSectionCount> found{};  // findings per section id
  int32_t total = 0;
  // What the scan could not look at (a locked browser database), in words.
  std::vector<std::wstring> notes;
  // Findings the user's ignore list took (never recorded), per section id.
  std::array<int32_t, kSectionCount> ignored{};
  int32_t ignored_total = 0;
  // Lines of the ignore list that were skipped, and why.
  std::vector<std::wstring> ignore_problems;
};

// What an ended scan (finished, stopped, or its window closed) left: its
// findings, and whether they are kept as the unresolved errors.
struct ScanOutcome {
  ScanSummary summary;
  // Ok when the findings are the file of unresolved errors (none found: no
  // file) and the count and the last-scan date are on disk; otherwise why
  // not, and the findings stay in the list only.
  Status kept;
};

// Which of the unresolved errors a repair takes: those of the sections in
// `only` (every section when it is empty) but never of those in `except`,
// and, when `records` names any, only records with those numbers (from 1,
// in the order of the file of unresolved errors).
struct RepairSelection {
  std::set<int32_t> only;
  std::set<int32_t> except;
  std::set<int> records;
  bool Takes(int number, int32_t section) const {
    return (records.empty() || records.count(number)) && !except.count(section) &&
           (only.empty() || only.count(section));
  }
};

// A record the repair left in place, and why.
struct RepairFailure {
  std::wstring record;  // as the progress window shows it
  std::wstring why;
};

// What a repair took off the machine (the file findings it removed, counted
// as model/sizes.h counts them) and the space its backup sets take now.
struct RepairFigures {
  FileTotals removed;
  uint64_t backup_bytes = 0;
  bool has_backup = false;  // the run wrote a backup set
};

// "Removed from the machine: 3 files, 1.4 MB; the backup now holds 1.5 MB."
// ("no files" when none went; the backup part only when a set was written).
std::wstring RepairFiguresText(const RepairFigures& figures);

// What a repair did, per section and as a whole.
struct RepairSummary {
  std::array<SectionCounter, kSectionCount> sections{};  // found, repaired, ignored
  int32_t repaired = 0;
  int32_t remaining = 0;  // records kept as unresolved errors
  std::vector<RepairFailure> not_repaired;
  std::vector<std::wstring> browsers_left_in_place;
  std::vector<std::wstring> backup_sets;  // data files made by this run
  // The files the run removed from the machine and the space its backup
  // sets take now in the state folder.
  RepairFigures figures;
  // Ok, or why the run as a whole fell short (machine not writable, the
  // registry or the repair log not saved).
  Status problem;
  // False when the records not repaired could not be kept in the file of
  // unresolved errors (they are then still in the list).
  bool kept = true;
};

// What the results window took out of the list before a repair, so that
// KeepUnrepairedErrors can put the file of unresolved errors back together in
// the list's order.
struct SetAsideErrors {
  CErrorListEx records;        // in list order
  std::vector<int> positions;  // each record's former list position, ascending
  bool written = false;        // the file of unresolved errors holds them
  uint64_t repair_run = 0;     // repairs started before the records were set aside
};

// Where the records left over by a repair went.
struct UnresolvedKept {
  bool written = false;  // the file (and "IgnoredErrorsCount") holds them
  int count = 0;         // records in the file; in the list when not written
};

class CSarvelEngine {
 public:
  // platform and everything options points to must outlive the engine.
  CSarvelEngine(Platform& platform, EngineOptions options);
  ~CSarvelEngine();
  CSarvelEngine(const CSarvelEngine&) = delete;
  CSarvelEngine& operator=(const CSarvelEngine&) = delete;

  // ---- Scanning. ----
  // Reads again the hives that changed on disk (unless something of ours is
  // pending), loads the repaired items, records today as the last scan
  // date, stops and discards the previous scan worker, clears the counters
  // and the list, and starts a scan of the requested sections. Returns at
  // once; the worker's messages tell how it goes, ScanEnded last.
  void StartScan(const ScanRequest& request);
  // After the scan has ended or been stopped (waits for its worker): the
  // one place that decides what a scan keeps. Every finding becomes the
  // file of unresolved errors, replacing the last (no findings: the file
  // goes), "IgnoredErrorsCount" becomes their number and the machine is
  // flushed. The findings stay in the list, as LoadUnresolvedErrors would
  // leave them, for the results window; closing that window keeps nothing
  // more.
  ScanOutcome FinishScan();
  // Stops a running scan and waits for its worker to end: the pause in hand
  // is cut short, so this takes only as long as the worker needs to notice.
  void StopScan();
  // True from StartScan until the worker has ended.
  bool IsScanRunning() const;
  // Waits until the current scan worker (if any) has ended.
  void WaitForScan();
  // Whether the last scan (or the one about to be shown) is a privacy scan.
  void SetPrivacyScan(bool privacy) { privacy_scan_ = privacy; }
  bool privacy_scan() const { return privacy_scan_; }
  // The browsers of the last scan, or of the unresolved errors loaded.
  const BrowserSelection& browsers() const { return browsers_; }

  // What the last scan found; call after it has ended (WaitForScan). Empty
  // (not completed) before the first scan.
  ScanSummary LastScanSummary() const;

  // ---- Repairing. ----
  // There are two repairs, told apart by what they take and how they end:
  //   orvane-cli: StartRepairOfUnresolved, then FinishRepair;
  //   the results window: SetAsideUnselected, StartRepairOfList (the
  //   progress window), then KeepUnrepairedErrors.
  // Both start a worker and return at once; its messages tell how it goes,
  // RepairEnded last. Either stops a running scan first, waiting for it.
  //
  // The repair of the unresolved errors as a user asks for it: loads them,
  // puts the selected records first and starts a repair of those. Refuses,
  // starting nothing, when the machine may not be changed now (the reason
  // is returned).
  Status StartRepairOfUnresolved(const RepairSelection& selection);
  // After that repair has ended (waits for it): drops the records it
  // repaired, keeps every other one as unresolved errors, and sums up. An
  // empty summary before any repair.
  RepairSummary FinishRepair();
  // The repair of every record the list holds now: after SetAsideUnselected,
  // those the user chose in the results window. Refuses, starting nothing,
  // when the machine may not be changed now (the reason is returned).
  Status StartRepairOfList();
  // True from a repair's start until its worker has ended.
  bool IsRepairRunning() const;
  // Asks the repair worker to stop before its next record and cuts its
  // pause short; never waits.
  void StopRepair();
  // Waits until the current repair worker (if any) has ended.
  void WaitForRepair();
  // ---- Repair from the results window. ----
  // Takes out of the list every record whose flag in keep is false (one
  // flag per record in list order; records beyond the flags are kept),
  // counts each as ignored, makes them the whole file of unresolved errors
  // (replaced atomically, with the browser selection), stores their number
  // as "IgnoredErrorsCount" and refreshes the problems display. The records
  // leave the list even when the file cannot be written, since the user
  // asked that they not be repaired; `written` then is false.
  SetAsideErrors SetAsideUnselected(const std::vector<bool>& keep);
  // After the repair of what SetAsideUnselected left has ended (waits for
  // it): drops the records it repaired; every other record (failed, or not
  // reached after an abort) joins the set-aside ones in the file, in their
  // former list order, and counts as ignored; "IgnoredErrorsCount" becomes
  // the file's record count, the list ends empty and the display refreshes.
  // Without a repair started since the set-aside, no record counts as
  // repaired. On a failed write nothing is stored and the list holds every
  // record of the would-be file, so that nothing is lost.
  UnresolvedKept KeepUnrepairedErrors(const SetAsideErrors& set_aside);

  // The figures of the last repair that FinishRepair or KeepUnrepairedErrors
  // settled (zeros before the first).
  const RepairFigures& last_repair_figures() const { return last_repair_figures_; }

  // The worker of the last repair, or null (for its per-record results).
  const CRepairErrorsThread* repair_thread() const { return repair_thread_.get(); }

  // ---- Unresolved errors ("%APPDATA%\Orvane\unresolvederrors.dat"). ----
  // The browser selection of the scan that found them is kept beside them
  // ("unresolvedbrowsers.dat", "1::0::1::;;\r\n" in UTF-16LE), so that a
  // repair in a later run cleans the browsers that scan looked at.
  //
  // Replaces the list and the counters with the file's records (sections
  // 0..21 only), each counted as found, and the browser selection with the
  // kept one (none selected when there is none). A missing or unreadable
  // file leaves both empty.
  void LoadUnresolvedErrors();
  // Moves every record into the file (replacing it atomically) with the
  // browser selection, counts them as ignored and stores their number as
  // "IgnoredErrorsCount". False when the files could not be written: then
  // the list keeps its records.
  bool SaveUnresolvedErrors();
  // Where those two files are, as Windows paths.
  std::wstring UnresolvedErrorsPath();
  std::wstring UnresolvedBrowsersPath();

  // ---- The list, the counters and texts, as the last operation left
  // them; only while no worker runs. ----
  const CErrorListEx& errors() const { return errors_; }
  const SectionCounters& counters() const { return counters_; }
  // Found, repaired and ignored summed over the sections.
  SectionCounter Totals() const;
  // One section's; zeros for an id outside 0..21.
  SectionCounter Section(int id) const;
  // The last scan's date as stored ("05-MAR-2026"), or "Not scanned yet".
  std::wstring GetLastScanDate() const { return last_scan_date_; }
  std::wstring GetProductVersion() const { return product_version_; }
  std::wstring GetReleaseDate() const { return release_date_; }
  // The section's name as the windows show it; "" for an id outside 0..21.
  static std::wstring SectionName(int id);

  // ---- The machine's ignore list. ----
  // The entry that ignores a finding as the user sees it: its value, its
  // key, its cookie's host (a cookie record) or its file. False when the
  // record names none of those.
  static bool IgnoreEntryOf(const CError& finding, IgnoreEntry* entry);
  // Adds that entry to the machine's list, written at once (the old file
  // stays whole when this fails). *entry gets it; *added is false when the
  // list had it already (nothing is written then). Refused, with the
  // reason, for a record that names nothing to ignore, an ignore file that
  // could not be read, or one that cannot be written.
  Status IgnoreFinding(const CError& finding, IgnoreEntry* entry, bool* added);

  // ---- Report. ----
  // Writes the HTML report of the unresolved errors (loaded from their file,
  // replacing the list) into the reports folder, made when missing; the
  // result names the file, or says why it could not be written (nothing is
  // written then).
  ReportResult WriteReport();
  // The same for the list as it stands, which is left alone: the results
  // window reports what it shows, and its entries point into the list.
  ReportResult WriteReportOfList();

  // ---- Other services. ----
  // True when HKLM\Software\Clients\StartMenuInternet\<name> opens.
  bool IsBrowserInstalled(const std::wstring& name);
  // The startup manager's listing (never fails; keys that cannot be read
  // add nothing) and removal (refused, with the reason, changing nothing;
  // see startup_list.h). The removal's backup set is stamped with the
  // engine's clock.
  CRegistryItemListEx ListStartupEntries() { return orvane::ListStartupEntries(platform_); }
  StartupRemoval RemoveStartupEntry(int index) {
    return orvane::RemoveStartupEntry(platform_, *state_, index, Now());
  }

  // ---- Backup sets (repair/backup_set.h): those of the state folder and
  // those older versions left in the machine. ----
  // Every set with its kind, time, item count and size (backup_catalog.h),
  // oldest first; empty when there are none. A set that cannot be read is
  // listed all the same (readable false).
  std::vector<BackupSetInfo> ListBackups() { return DescribeBackupSets(platform_, *state_); }
  // Reads again the hives another program changed (unless something of
  // ours is pending), puts the set back and deletes it when everything
  // came back (RestoreBackupSet); the report says what came back and what
  // did not.
  RestoreReport RestoreBackup(const std::wstring& data_file);
  // Deletes the set without restoring it (DeleteBackupSet): Ok, or why not
  // (no such set, or a file of it that stayed); what others put in its
  // folder stays and is named in *left_alone (may be null).
  Status DeleteBackup(const std::wstring& data_file, std::vector<std::wstring>* left_alone = nullptr) {
    return DeleteBackupSet(platform_, *state_, data_file, left_alone);
  }
  // Deletes the sets the rule takes, judged by the engine's clock; the
  // report names those deleted and those that could not be.
  PruneReport PruneBackups(const PruneRule& rule) { return PruneBackupSets(platform_, *state_, rule, Now()); }

  // ---- Uninstall manager (uninstall_list.h). ----
  // The listing (never fails; what cannot be read is left out), its rows,
  // and the start of a row's uninstaller (kNotStarted, with the reason,
  // for a program that is missing or outside the machine).
  CRegistryItemListEx ListUninstallValues() { return orvane::ListUninstallValues(platform_); }
  std::vector<UninstallRow> UninstallRows() { return BuildUninstallRows(ListUninstallValues()); }
  UninstallStart StartUninstall(const UninstallRow& row) { return orvane::StartUninstall(platform_, row); }

  // The repair log (repair/repair_log.h) as the last scan read it, with
  // what repairs since have added.
  const CRegistryItemListEx& repaired_items() const { return repaired_items_; }
  // The machine and the program's own folder about it, as given.
  Platform& platform() { return platform_; }
  StateFolder& state() { return *state_; }

  // The date text of a local time: "%.2d-%s-%d" with the month's name.
  static std::wstring FormatScanDate(const LocalDateTime& local);

 private:
  // Stops any scan (waiting for its worker), then starts a repair of the
  // first count records of the list.
  void StartRepair(int count);
  void DiscardScanWorker();
  // Writes the two files of unresolved errors, each atomically.
  bool WriteUnresolvedFiles(const CErrorListEx& records);
  void StoreIgnoredCount(int count);
  // The figures of a repair worker that ended, given the file findings it
  // removed.
  RepairFigures FiguresOf(const CRepairErrorsThread& worker, const CErrorListEx& removed);
  LocalDateTime Now() const;

  Platform& platform_;
  EngineOptions options_;
  NoStateFolder no_state_;
  StateFolder* state_;
  std::unique_ptr<Pacer> own_pacer_;
  Pacer* pacer_;
  NullTarget null_target_;
  MessageTarget* target_;

  CErrorListEx errors_;
  SectionCounters counters_;
  std::unique_ptr<CRepairErrorsThread> repair_thread_;
  uint64_t repair_runs_ = 0;  // repairs started, so old outcomes are not taken for new
  std::unique_ptr<CRegistryScanThread> scan_thread_;
  std::wstring product_version_;
  std::wstring release_date_;
  std::wstring last_scan_date_;
  BrowserSelection browsers_;
  bool privacy_scan_ = false;
  CRegistryItemListEx repaired_items_;
  // The machine's ignore list as the last scan read it.
  IgnoreFile ignore_file_;
  RepairFigures last_repair_figures_;
};

}  // namespace orvane
