// `CDownloadAppNewVersion`: the download worker. It asks the update server
// for the new program's size, downloads the program in blocks (posting its
// progress), checks what arrived, and puts it in place of the running
// program. Its result is posted unless it was stopped (the user's Abort):
// then it posts nothing more.
#pragma once

#include <filesystem>
#include <string>

#include "model/messages.h"
#include "model/worker_thread.h"
#include "platform/http.h"

namespace orvane::update {

struct DownloadSetup {
  HttpClient* client = nullptr;
  MessageTarget* target = nullptr;
  std::string server;                 // the update server, no trailing "/"
  std::filesystem::path program;      // the running program, replaced on success
  std::filesystem::path temp_folder;  // where the download is kept meanwhile
};

class CDownloadAppNewVersion : public CWinThread {
 public:
  explicit CDownloadAppNewVersion(DownloadSetup setup);
  ~CDownloadAppNewVersion() override;

 protected:
  int Run() override;

 private:
  // Downloads into file; "" when the whole program arrived and passed
  // every check, else why not.
  std::wstring Transfer(uint64_t announced, const std::filesystem::path& file);
  void Finish(const std::wstring& failure);

  const DownloadSetup setup_;
};

}  // namespace orvane::update
