#include "engine/html_report.h"

#include <map>

#include "model/sections.h"
#include "model/sizes.h"
#include "platform/text.h"

namespace orvane {
namespace {

constexpr int kCommonAppData = 35;
constexpr int kShortcutSection = 11;

constexpr char kTemplate[] =
#include "report_template.inc"
    ;

constexpr wchar_t kRecordStart[] = L"<!--record-->";
constexpr wchar_t kRecordEnd[] = L"<!--/record-->";

struct TemplateParts {
  std::wstring header, record, footer;
};

const TemplateParts& Parts() {
  static const TemplateParts parts = [] {
    std::wstring text = Utf8ToWide(kTemplate);
    size_t start = text.find(kRecordStart);
    size_t end = text.find(kRecordEnd);
    TemplateParts p;
    if (start == std::wstring::npos || end == std::wstring::npos || end < start) {
      p.header = text;  // a template without a record block lists nothing
      return p;
    }
    p.header = text.substr(0, start);
    p.record =
        text.substr(start + std::size(kRecordStart) - 1, end - start - std::size(kRecordStart) + 1);
    p.footer = text.substr(end + std::size(kRecordEnd) - 1);
    return p;
  }();
  return parts;
}

using Values = std::map<std::wstring, std::wstring, std::less<>>;

// Replaces every "#name#" whose name has a value, in one pass over the
// template: inserted text is never searched again.
void Fill(const std::wstring& part, const Values& values, std::wstring* out) {
  size_t pos = 0;
  while (pos < part.size()) {
    size_t open = part.find(L'#', pos);
    if (open == std::wstring::npos) break;
    size_t close = part.find(L'#', open + 1);
    if (close == std::wstring::npos) break;
    auto it = values.find(std::wstring_view(part).substr(open + 1, close - open - 1));
    if (it == values.end()) {
      out->append(part, pos, open + 1 - pos);
      pos = open + 1;
      continue;
    }
    out->append(part, pos, open - pos);
    out->append(HtmlEscape(it->second));
    pos = close + 1;
  }
  out->append(part, pos, std::wstring::npos);
}

std::wstring ScanDate(const LocalDateTime& t) {
  return PaddedNumber(t.year, 4) + L"-" + PaddedNumber(t.month, 2) + L"-" + PaddedNumber(t.day, 2) +
         L" " + PaddedNumber(t.hour, 2) + L":" + PaddedNumber(t.minute, 2) + L":" +
         PaddedNumber(t.second, 2);
}

std::wstring NameStamp(const LocalDateTime& t) {
  return PaddedNumber(t.year, 4) + PaddedNumber(t.month, 2) + PaddedNumber(t.day, 2) + L"_" +
         PaddedNumber(t.hour, 2) + PaddedNumber(t.minute, 2) + PaddedNumber(t.second, 2);
}

// The version as it stands in the file name: without dots, and without
// anything that would leave the reports folder or break the name.
std::wstring VersionForName(const std::wstring& version) {
  std::wstring out;
  for (wchar_t c : version) {
    if (c == L'.') continue;
    bool bad = c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos;
    out.push_back(bad ? L'_' : c);
  }
  return out;
}

}  // namespace

std::wstring HtmlEscape(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    switch (c) {
      case L'&':
        out += L"&amp;";
        break;
      case L'<':
        out += L"&lt;";
        break;
      case L'>':
        out += L"&gt;";
        break;
      case L'"':
        out += L"&quot;";
        break;
      case L'\'':
        out += L"&#39;";
        break;
      default:
        // Control characters other than blanks have no place in a page (a
        // parse error in HTML, a fatal one in XHTML); they show as U+FFFD.
        if ((c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') || c == 0x7F || (c >= 0x80 && c <= 0x9F))
          out.push_back(0xFFFD);
        else
          out.push_back(c);
    }
  }
  return out;
}


namespace {

// "5 files, 71.3 KB (Windows Temporary Clean: 5 files, 71.3 KB)"; "none".
std::wstring FilesFoundText(const ScanFileTotals& totals) {
  auto text = [](const FileTotals& t) {
    return std::to_wstring(t.files) + (t.files == 1 ? L" file, " : L" files, ") + ByteSizeText(t.bytes);
  };
  if (totals.all.files == 0 && totals.all.bytes == 0) return L"none";
  std::wstring sections;
  for (int id = 0; id < kSectionCount; ++id) {
    if (totals.sections[id].files == 0 && totals.sections[id].bytes == 0) continue;
    sections += (sections.empty() ? L"" : L"; ") + SectionName(id) + L": " + text(totals.sections[id]);
  }
  return text(totals.all) + L" (" + sections + L")";
}

}  // namespace

std::wstring BuildScanReport(const CErrorListEx& errors, const ReportProduct& product,
                             const LocalDateTime& now) {
  const TemplateParts& parts = Parts();
  std::wstring html;
  Fill(parts.header,
       {{L"version", product.version},
        {L"release-date", product.release_date},
        {L"scan-date", ScanDate(now)},
        {L"total-problems", PaddedNumber(errors.GetCount(), 2)},
        {L"files-found", FilesFoundText(TotalsOf(errors))}},
       &html);
  for (const CError& record : errors) {
    bool shortcut = record.section == kShortcutSection;
    const std::wstring na = L"N/A";
    Fill(parts.record,
         {{L"scan-section", SectionName(record.section)},
          {L"error-type", record.typeText},
          {L"reason", record.reason},
          {L"key-section", shortcut ? na : record.item.rootName + ViewMention(record.item.view)},
          {L"sub-key", shortcut ? na : record.item.subKey},
          {L"value-name", shortcut ? na : record.item.valueName},
          {L"value-data", shortcut ? na : record.item.valueData},
          {L"file-path", shortcut ? record.filePath : na},
          {L"size", IsFileFinding(record) && record.filePath.back() != L'\\' ? ByteSizeText(record.size) : L""}},
         &html);
  }
  html += parts.footer;
  return html;
}

ReportResult WriteScanReport(Platform& platform, const CErrorListEx& errors,
                             const ReportProduct& product, const LocalDateTime& now) {
  ReportResult result;
  std::wstring base = platform.SpecialFolder(kCommonAppData);
  if (base.empty()) {
    result.error = L"The common application data folder is unknown.";
    return result;
  }
  std::wstring file =
      ReportsFolder(platform) + L"\\orv_" + VersionForName(product.version) + L"_" + NameStamp(now) + L".html";
  if (!platform.WriteFileAtomic(file, WideToUtf8(BuildScanReport(errors, product, now)))) {
    result.error = L"The report " + file + L" could not be written (error " +
                   std::to_wstring(LastError()) + L").";
    return result;
  }
  result.ok = true;
  result.base_folder = base;
  result.file_name = file;
  return result;
}

ReportResult WriteScanReport(Platform& platform, const CErrorListEx& errors,
                             const ReportProduct& product) {
  return WriteScanReport(platform, errors, product, LocalNow());
}

}  // namespace orvane
