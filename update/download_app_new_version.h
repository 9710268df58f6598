// `CDownloadAppNewVersion`: the download worker. It asks the update server
// what it offers (the version, the size and the signature), downloads the
// program in blocks (posting its progress), checks what arrived, and puts it
// in place of the running program. Its result is posted unless it was
// stopped (the user's Abort): then it posts nothing more.
//
// What arrives takes the program's place only when all of these hold: it is
// exactly the announced size (the transfer stops as soon as it would be
// more; free space for it is checked before the first byte), its Ed25519
// signature verifies with the release key, it is an ELF program for this
// computer whose version block names the announced version, that version is
// newer than the running one, and a digest the server offers besides
// matches. Anything else fails with the reason, leaves the program as it
// was and removes the download.
#pragma once

#include <filesystem>
#include <string>

#include "model/messages.h"
#include "model/worker_thread.h"
#include "platform/http.h"
#include "update/update_server.h"

namespace orvane::update {

struct DownloadSetup {
  HttpClient* client = nullptr;
  MessageTarget* target = nullptr;
  std::string server;                 // the update server, no trailing "/"
  std::filesystem::path program;      // the running program, replaced on success
  std::filesystem::path temp_folder;  // where the download is kept meanwhile
  std::wstring own_version;           // the running program's ProductVersion
  // The key releases must be signed with; when key_status failed, the
  // download fails with its message before asking the server anything.
  Status key_status;
  ReleaseKey key;
};

class CDownloadAppNewVersion : public CWinThread {
 public:
  explicit CDownloadAppNewVersion(DownloadSetup setup);
  ~CDownloadAppNewVersion() override;

 protected:
  int Run() override;

 private:
  struct Offer {
    std::wstring version;  // as the server wrote it
    uint64_t size = 0;
    std::string signature;
  };
  // What the server offers, each part checked before anything is
  // downloaded; Ok or why not.
  Status AskForOffer(Offer* offer);
  // Downloads into file (new); Ok when exactly offer.size bytes arrived.
  Status Transfer(uint64_t announced, const std::filesystem::path& file, std::string* digest);
  // Every check of what arrived in file.
  Status CheckDownload(const Offer& offer, const std::filesystem::path& file, const std::string& digest);
  void Finish(const Status& status);

  const DownloadSetup setup_;
};

}  // namespace orvane::update
