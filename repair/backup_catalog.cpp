#include "repair/backup_catalog.h"

#include <ctime>
#include <mutex>

#include "model/sizes.h"
#include "platform/names.h"
#include "platform/text.h"
#include "repair/backup_set.h"
#include "repair/restore.h"

namespace orvane {
namespace {

constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;  // 1970-01-01 in FILETIME ticks

const wchar_t* const kWeekdays[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday",
                                    L"Saturday"};
const wchar_t* const kMonths[] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                  L"July",    L"August",   L"September", L"October", L"November", L"December"};

bool Digits(const std::wstring& text, size_t from, size_t count) {
  if (text.size() < from + count) return false;
  for (size_t i = from; i < from + count; ++i)
    if (text[i] < L'0' || text[i] > L'9') return false;
  return true;
}

int Number(const std::wstring& text, size_t from, size_t count) { return std::stoi(text.substr(from, count)); }

// The moment in a set's name "YYYYMMDD_HHMM_...".
std::optional<LocalDateTime> StampOf(const std::wstring& name) {
  if (!Digits(name, 0, 8) || name.size() < 13 || name[8] != L'_' || !Digits(name, 9, 4)) return std::nullopt;
  LocalDateTime when{Number(name, 0, 4), Number(name, 4, 2), Number(name, 6, 2), Number(name, 9, 2),
                     Number(name, 11, 2), 0};
  if (when.month < 1 || when.month > 12 || when.day < 1 || when.day > 31 || when.hour > 23 || when.minute > 59)
    return std::nullopt;
  return when;
}

std::optional<LocalDateTime> FromUnix(int64_t seconds) {
  static std::mutex mutex;  // localtime shares one buffer per process
  std::time_t t = static_cast<std::time_t>(seconds);
  std::lock_guard lock(mutex);
  const std::tm* tm = std::localtime(&t);
  if (!tm) return std::nullopt;
  return LocalDateTime{tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec};
}

std::time_t ToUnix(const LocalDateTime& when) {
  std::tm tm{};
  tm.tm_year = when.year - 1900;
  tm.tm_mon = when.month - 1;
  tm.tm_mday = when.day;
  tm.tm_hour = when.hour;
  tm.tm_min = when.minute;
  tm.tm_sec = when.second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

// Day of the week, 0 Sunday (Sakamoto's method).
int Weekday(int year, int month, int day) {
  static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + offsets[(month + 11) % 12] + day) % 7;
}

uint64_t MachineSize(Platform& platform, const std::wstring& pattern) {
  uint64_t total = 0;
  FindData entry;
  if (std::unique_ptr<FileSearch> search = platform.FindFirst(pattern, &entry)) {
    do {
      if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY)) total += entry.size;
    } while (search->Next(&entry));
  }
  return total;
}

std::wstring DateText(const LocalDateTime& when, size_t letters) {
  if (when.month < 1 || when.month > 12) return L"";
  return std::wstring(kWeekdays[Weekday(when.year, when.month, when.day)]).substr(0, letters) + L", " +
         std::wstring(kMonths[when.month - 1]).substr(0, letters) + L" " + PaddedNumber(when.day, 2) + L", " +
         PaddedNumber(when.year, 4) + L" " + PaddedNumber(when.hour, 2) + L":" + PaddedNumber(when.minute, 2);
}

}  // namespace

namespace {

// The set's size and, when its name carries no stamp, its data file's time.
void DescribePlace(Platform& platform, StateFolder& state, const BackupSetPlace& place,
                   const std::wstring& data_file, BackupSetInfo* info) {
  if (place.in_machine) {
    FindData entry;
    if (std::unique_ptr<FileSearch> found = platform.FindFirst(data_file, &entry)) {
      info->bytes = entry.size;
      if (!info->made && entry.last_write > kFileTimeUnixEpoch)
        info->made = FromUnix(static_cast<int64_t>((entry.last_write - kFileTimeUnixEpoch) / 10000000));
    }
    info->bytes += MachineSize(platform, place.machine_stem + L"\\*");
  } else {
    StateEntry entry;
    if (state.Stat(place.stem + ".dat", &entry)) {
      info->bytes = entry.bytes;
      if (!info->made && entry.modified > 0) info->made = FromUnix(entry.modified);
    }
    info->bytes += StateSize(state, place.stem);
  }
}

}  // namespace

BackupSetInfo DescribeBackupSet(Platform& platform, StateFolder& state, const std::wstring& data_file) {
  BackupSetInfo info;
  info.data_file = data_file;
  info.kind = BackupDisplayName(data_file);
  BackupSetPlace place;
  if (!LocateBackupSet(platform, state, data_file, &place)) {
    info.readable = false;
    return info;
  }
  info.in_machine = place.in_machine;
  info.made = StampOf(place.name);
  DescribePlace(platform, state, place, data_file, &info);
  size_t items = 0;
  info.readable = CountSetRecords(platform, state, data_file, &items);
  info.items = static_cast<int>(items);
  return info;
}

uint64_t BackupSetBytes(Platform& platform, StateFolder& state, const std::wstring& data_file) {
  BackupSetPlace place;
  if (!LocateBackupSet(platform, state, data_file, &place)) return 0;
  BackupSetInfo info;
  info.made = StampOf(place.name);  // no time to look for
  DescribePlace(platform, state, place, data_file, &info);
  return info.bytes;
}

std::vector<BackupSetInfo> DescribeBackupSets(Platform& platform, StateFolder& state) {
  std::vector<BackupSetInfo> sets;
  for (const std::wstring& file : ListBackupFiles(platform, state))
    sets.push_back(DescribeBackupSet(platform, state, file));
  return sets;
}

std::wstring BackupDateText(const LocalDateTime& when) { return DateText(when, std::wstring::npos); }

std::wstring BackupShortDateText(const LocalDateTime& when) { return DateText(when, 3); }

std::wstring BackupSizeText(uint64_t bytes) { return ByteSizeText(bytes); }

PruneReport PruneBackupSets(Platform& platform, StateFolder& state, const PruneRule& rule, const LocalDateTime& now) {
  PruneReport report;
  std::vector<BackupSetInfo> sets = DescribeBackupSets(platform, state);
  if (!rule.older_than_days && !rule.keep) {
    report.kept = static_cast<int>(sets.size());
    return report;
  }
  const std::time_t limit = ToUnix(now) - static_cast<std::time_t>(rule.older_than_days.value_or(0)) * 86400;
  const size_t newest = static_cast<size_t>(std::max(rule.keep.value_or(0), 0));
  for (size_t i = 0; i < sets.size(); ++i) {
    const BackupSetInfo& set = sets[i];
    bool goes = true;
    if (rule.keep && sets.size() - i <= newest) goes = false;
    if (rule.older_than_days && (!set.made || ToUnix(*set.made) >= limit)) goes = false;
    if (!goes) {
      ++report.kept;
      continue;
    }
    std::vector<std::wstring> left;
    Status deleted = DeleteBackupSet(platform, state, set.data_file, &left);
    report.left_alone.insert(report.left_alone.end(), left.begin(), left.end());
    if (deleted) {
      report.deleted.push_back(set.data_file);
    } else {
      report.failed.push_back(set.data_file + L": " + deleted.message);
      ++report.kept;
    }
  }
  return report;
}

}  // namespace orvane
