// Asking the support staff for help: the report sent with the user's e-mail
// address and description, and later the question whether their solution is
// ready. The log id the service gives a report, and the address it was sent
// with, are kept in the program's registry key ("LogID" REG_DWORD, "Email"
// REG_SZ) until a solution has been applied.
//
// Interface thread; the service calls are synchronous.
#pragma once

#include <string>

#include "platform/http.h"
#include "platform/platform.h"
#include "support/soap_client.h"

namespace orvane {

class SettingsStore;

// What the user reads, word for word.
inline constexpr wchar_t kEnterNameMessage[] = L"Please enter your Name to proceed.";
inline constexpr wchar_t kEnterEmailMessage[] = L"Please enter your Email address to proceed.";
inline constexpr wchar_t kEmailNotCorrectMessage[] =
    L"Your email address is not correct; please verify and try again.";
inline constexpr wchar_t kDescribeProblemMessage[] =
    L"Please provide a full description of your problem.\r\nNOTE: the more details (error codes, error "
    L"type, etc.), the better chances we have to provide you with a relevant solution.";
inline constexpr wchar_t kConnectMessage[] = L"Please connect to Internet so you can send your log data.";
inline constexpr wchar_t kReportSentMessage[] = L"Your report was sent successfully.";
inline constexpr wchar_t kSendProblemMessage[] =
    L"There was some problem in sending the data. Please try again.";

// How the support operations speak to the user (a message box with the
// program's caption in the program; a line in orvane-cli).
class SupportMessages {
 public:
  virtual ~SupportMessages() = default;
  virtual void Tell(const std::wstring& text) = 0;
};

// The address's shape: a non-empty part before its first "@" and, after
// it, a part with non-empty pieces on both sides of a "." (runs of "@" or
// "." count as one separator, leading ones are skipped).
bool EmailLooksValid(const std::wstring& email);

// The first thing wrong with the send form's fields, in the order the user
// is told (name, e-mail, its shape, description); "" when they may be sent.
// The name is only required, never sent.
std::wstring CheckSendFields(const std::wstring& name, const std::wstring& email,
                             const std::wstring& description);

// "EN <version>", the product version the service is told.
std::wstring ProductVersionText(const std::wstring& version);

// The service's endpoint: the setting "SupportService" when set, else the
// address this program was built with.
std::string SupportEndpoint(SettingsStore& settings);

class SupportDesk {
 public:
  static constexpr wchar_t kLogIdValue[] = L"LogID";
  static constexpr wchar_t kEmailValue[] = L"Email";

  // Everything must outlive the desk.
  SupportDesk(Platform& platform, HttpClient& http, std::string endpoint, SupportMessages& messages)
      : platform_(platform), client_(http, std::move(endpoint)), messages_(messages) {}

  // Sends the report. 1 when the service accepted it: its log id and the
  // address are stored, and the user is told so; -1 otherwise, after telling
  // the user, with the stored values as they were.
  int SendComputerLog(const std::wstring& email, const std::wstring& description,
                      const std::wstring& upload_text, const std::wstring& product_version_text);

  // Asks the service about the stored log id and address. True when a
  // solution is ready: *comments and *commands get the staff's comments and
  // the solution script ("" for absent ones). False otherwise (the user is
  // told only when the service could not be asked); the outputs are then
  // left as they were.
  bool QueryStatus(std::wstring* comments, std::wstring* commands);
  // True when a report of this computer was accepted and its log id kept:
  // only then can a solution be waiting.
  bool HasSentReport() const;

  // Why the last call failed, or what went wrong after it succeeded (the
  // log id could not be kept), in words; "" when nothing did.
  const std::wstring& last_problem() const { return last_problem_; }
  // The log id the last accepted report received.
  int32_t last_log_id() const { return last_log_id_; }

 private:
  Status StoreReport(int32_t log_id, const std::wstring& email);

  Platform& platform_;
  SoapClient client_;
  SupportMessages& messages_;
  std::wstring last_problem_;
  int32_t last_log_id_ = -1;
};

}  // namespace orvane
