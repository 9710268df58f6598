#include "support/support_desk.h"

#include "model/settings_store.h"
#include "platform/registry_values.h"
#include "platform/text.h"

#ifndef ORVANE_SUPPORT_SERVICE
#define ORVANE_SUPPORT_SERVICE "https://support.orvane.invalid/service"
#endif

namespace orvane {
namespace {

// The first two tokens of text split on delimiter, as strtok gives them:
// empty pieces (leading, doubled) are skipped.
void FirstTwoTokens(const std::wstring& text, wchar_t delimiter, std::wstring* first, std::wstring* second) {
  std::wstring* tokens[] = {first, second};
  size_t at = 0;
  for (std::wstring* token : tokens) {
    token->clear();
    while (at < text.size() && text[at] == delimiter) ++at;
    size_t end = text.find(delimiter, at);
    if (end == std::wstring::npos) end = text.size();
    *token = text.substr(at, end - at);
    at = end;
  }
}

}  // namespace

bool EmailLooksValid(const std::wstring& email) {
  std::wstring user, domain, host, top;
  FirstTwoTokens(email, L'@', &user, &domain);
  if (user.empty() || domain.empty()) return false;
  FirstTwoTokens(domain, L'.', &host, &top);
  return !host.empty() && !top.empty();
}

std::wstring CheckSendFields(const std::wstring& name, const std::wstring& email,
                             const std::wstring& description) {
  if (name.empty()) return kEnterNameMessage;
  if (email.empty()) return kEnterEmailMessage;
  if (!EmailLooksValid(email)) return kEmailNotCorrectMessage;
  if (description.empty()) return kDescribeProblemMessage;
  return L"";
}

std::wstring ProductVersionText(const std::wstring& version) { return L"EN " + version; }

std::string SupportEndpoint(SettingsStore& settings) {
  std::wstring configured = settings.ReadSetting(L"SupportService");
  return configured.empty() ? std::string(ORVANE_SUPPORT_SERVICE) : WideToUtf8(configured);
}

Status SupportDesk::StoreReport(int32_t log_id, const std::wstring& email) {
  if (Status s = platform_.CheckWritable(); !s) return s;
  if (!WriteRegistryDword(platform_, HKEY_LOCAL_MACHINE, SettingsStore::kKey, kLogIdValue,
                          static_cast<DWORD>(log_id)) ||
      !WriteRegistryString(platform_, HKEY_LOCAL_MACHINE, SettingsStore::kKey, kEmailValue, email))
    return Status::Error(L"The registry could not be written.");
  return platform_.Flush();
}

int SupportDesk::SendComputerLog(const std::wstring& email, const std::wstring& description,
                                 const std::wstring& upload_text, const std::wstring& product_version_text) {
  last_problem_.clear();
  ReportComputerLogCall call;
  call.email = email;
  call.product_version = product_version_text;
  call.log = upload_text;
  call.description = description;
  call.log_id = -1;
  if (Status s = client_.ReportComputerLog(&call); !s) {
    last_problem_ = s.message;
    messages_.Tell(kConnectMessage);
    return -1;
  }
  if (!call.result) {
    last_problem_ = L"The support service did not accept the report.";
    messages_.Tell(kSendProblemMessage);
    return -1;
  }
  last_log_id_ = call.log_id;
  messages_.Tell(kReportSentMessage);
  // The report has arrived whatever happens here; but without its id kept
  // the solution can never be asked for, so the user must hear of it.
  if (Status s = StoreReport(call.log_id, email); !s) {
    last_problem_ = L"Your report's log id " + std::to_wstring(call.log_id) +
                    L" could not be kept on this computer, so its solution cannot be asked for yet: " +
                    s.message;
    messages_.Tell(last_problem_);
  }
  return 1;
}

bool SupportDesk::HasSentReport() const {
  return static_cast<int32_t>(ReadRegistryDword(platform_, SettingsStore::kKey, kLogIdValue)) > 0;
}

bool SupportDesk::QueryStatus(std::wstring* comments, std::wstring* commands) {
  last_problem_.clear();
  GetStatusCall call;
  call.id = static_cast<int32_t>(ReadRegistryDword(platform_, SettingsStore::kKey, kLogIdValue));
  call.email = ReadRegistryString(platform_, HKEY_LOCAL_MACHINE, SettingsStore::kKey, kEmailValue);
  call.result = -1;
  if (Status s = client_.GetStatus(&call); !s) {
    last_problem_ = s.message;
    messages_.Tell(kConnectMessage);
    return false;
  }
  if (call.result <= 0) return false;
  *comments = call.comments;
  *commands = call.solution_commands;
  return true;
}

}  // namespace orvane
