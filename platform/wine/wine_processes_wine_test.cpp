// The prefix's processes as real Wine runs them: a Windows program started
// in a fresh prefix is listed with its image path and can be ended; the
// same program is not another prefix's.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/testing/wine_peer.h"
#include "platform/wine/wine_platform.h"
#include "platform/wine/wine_process.h"
#include "platform/wine/wine_processes.h"

namespace orvane::wine {
namespace {

bool FindPing(const std::string &prefix, MachineProcess *ping) {
  std::vector<MachineProcess> list;
  if (!ListPrefixProcesses("/proc", prefix, &list)) return false;
  for (const MachineProcess &p : list)
    if (p.image_path.size() >= 8 && p.image_path.substr(p.image_path.size() - 8) == L"ping.exe") {
      *ping = p;
      return true;
    }
  return false;
}

TEST(WinePrefixProcessesPeer, ARunningWindowsProgramIsListedAndEnded) {
  if (!testing::WinePeer::Available()) GTEST_SKIP() << "wine64 is not installed";
  testing::WinePeer peer;
  ASSERT_TRUE(peer.ready());
  HostCommand command;
  command.argv = {FindWineLoader(), "ping", "-n", "120", "127.0.0.1"};
  command.environment = {{"WINEPREFIX", peer.dir()}, {"WINEDEBUG", "-all"}};
  std::string error;
  std::unique_ptr<HostProcess> loader = SpawnHostProcess(command, &error);
  ASSERT_TRUE(loader) << error;

  MachineProcess ping;
  bool found = false;
  for (int i = 0; i < 300 && !found; ++i) {
    found = FindPing(peer.dir(), &ping);
    if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(found);
  EXPECT_EQ(ping.image_path, L"C:\\windows\\system32\\ping.exe");
  MachineProcess elsewhere;
  EXPECT_FALSE(FindPing(peer.dir() + "-other", &elsewhere));

  WinePlatform platform{WineOptions(peer.dir())};
  std::vector<MachineProcess> through_platform;
  ASSERT_TRUE(platform.ListProcesses(&through_platform));
  EXPECT_FALSE(through_platform.empty());
  ASSERT_TRUE(platform.TerminateProcess(ping.id));
  bool gone = false;
  for (int i = 0; i < 100 && !gone; ++i) {
    gone = !FindPing(peer.dir(), &elsewhere);
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(gone);
  EXPECT_FALSE(platform.TerminateProcess(ping.id));
}

}  // namespace
}  // namespace orvane::wine
