#include "model/events.h"

#include <type_traits>

namespace orvane {

WorkerEvent Decode(Message m) {
  auto section = static_cast<int32_t>(m.wparam);
  auto ordinal = static_cast<int32_t>(m.lparam);
  switch (m.code) {
    case kMsgErrorAdded: return ErrorAdded{section, ordinal};
    case kMsgProgressText: return ProgressText{std::move(m.text)};
    case kMsgScanCompleted: return ScanCompleted{};
    case kMsgSectionBegins: return SectionBegins{section, ordinal};
    case kMsgSectionEnds: return SectionEnds{section, ordinal};
    case kMsgScanEnded: return ScanEnded{};
    case kMsgRepairStarted: return RepairStarted{static_cast<int32_t>(m.wparam)};
    case kMsgRecordBegins: return RecordBegins{std::move(m.text)};
    case kMsgRecordProcessed: return RecordProcessed{static_cast<int32_t>(m.wparam)};
    case kMsgRepairEnded: return RepairEnded{};
    case kMsgNewVersion: return NewVersion{};
    case kMsgNoNewVersion: return NoNewVersion{};
    case kMsgVersionInPlace: return VersionInPlace{};
    case kMsgDownloadFailed: return DownloadFailed{std::move(m.text)};
    case kMsgDownloadStarts: return DownloadStarts{m.wparam};
    case kMsgDownloadComplete: return DownloadComplete{};
    case kMsgDownloadReceived: return DownloadReceived{m.wparam};
    default: return std::monostate{};
  }
}

Message Encode(const WorkerEvent& event) {
  return std::visit(
      [](const auto& e) -> Message {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, ErrorAdded>) return {kMsgErrorAdded, e.section, e.ordinal, {}};
        if constexpr (std::is_same_v<E, ProgressText>) return {kMsgProgressText, 0, 0, e.text};
        if constexpr (std::is_same_v<E, ScanCompleted>) return {kMsgScanCompleted, 0, 0, {}};
        if constexpr (std::is_same_v<E, SectionBegins>) return {kMsgSectionBegins, e.section, e.ordinal, {}};
        if constexpr (std::is_same_v<E, SectionEnds>) return {kMsgSectionEnds, e.section, e.ordinal, {}};
        if constexpr (std::is_same_v<E, ScanEnded>) return {kMsgScanEnded, 0, 0, {}};
        if constexpr (std::is_same_v<E, RepairStarted>) return {kMsgRepairStarted, e.count, 0, {}};
        if constexpr (std::is_same_v<E, RecordBegins>) return {kMsgRecordBegins, 0, 0, e.text};
        if constexpr (std::is_same_v<E, RecordProcessed>) return {kMsgRecordProcessed, e.count, 0, {}};
        if constexpr (std::is_same_v<E, RepairEnded>) return {kMsgRepairEnded, 0, 0, {}};
        if constexpr (std::is_same_v<E, NewVersion>) return {kMsgNewVersion, 0, 0, {}};
        if constexpr (std::is_same_v<E, NoNewVersion>) return {kMsgNoNewVersion, 0, 0, {}};
        if constexpr (std::is_same_v<E, VersionInPlace>) return {kMsgVersionInPlace, 0, 0, {}};
        if constexpr (std::is_same_v<E, DownloadFailed>) return {kMsgDownloadFailed, 0, 0, e.reason};
        if constexpr (std::is_same_v<E, DownloadStarts>) return {kMsgDownloadStarts, e.size, 0, {}};
        if constexpr (std::is_same_v<E, DownloadComplete>) return {kMsgDownloadComplete, 0, 0, {}};
        if constexpr (std::is_same_v<E, DownloadReceived>) return {kMsgDownloadReceived, e.total, 0, {}};
        return {};
      },
      event);
}

}  // namespace orvane
