#include "platform/wine/shell_link.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "platform/testing/shortcut_writer.h"
#include "platform/testing/temp_prefix.h"

namespace orvane::wine {
namespace {

using testing::ShortcutBytes;
using testing::ShortcutSpec;
using testing::TempPrefix;

TEST(ShellLinkTest, ReadsTheTargetsALinkNames) {
  TempPrefix prefix;
  ShortcutSpec spec;
  spec.local_path = "C:\\Program Files\\Tool\\tool.exe";
  spec.relative_path = L"..\\..\\Program Files\\Tool\\tool.exe";
  spec.environment_path = L"%ProgramFiles%\\Tool\\tool.exe";
  prefix.File(L"C:\\links\\tool.lnk", ShortcutBytes(spec));
  ShellLinkTargets t;
  std::string error;
  ASSERT_TRUE(ReadShellLink(prefix.HostPath(L"C:\\links\\tool.lnk"), &t, &error)) << error;
  EXPECT_EQ(t.local_path, L"C:\\Program Files\\Tool\\tool.exe");
  EXPECT_EQ(t.relative_path, L"..\\..\\Program Files\\Tool\\tool.exe");
  EXPECT_EQ(t.environment_path, L"%ProgramFiles%\\Tool\\tool.exe");
  EXPECT_FALSE(t.has_item_list);

  spec = {};
  spec.item_list = true;
  prefix.File(L"C:\\links\\shell.lnk", ShortcutBytes(spec));
  ASSERT_TRUE(ReadShellLink(prefix.HostPath(L"C:\\links\\shell.lnk"), &t));
  EXPECT_TRUE(t.has_item_list);
  EXPECT_EQ(t.local_path, L"");
}

TEST(ShellLinkTest, WhatIsNotALinkIsNotRead) {
  TempPrefix prefix;
  std::string link = ShortcutBytes({"C:\\x.exe", L"", L"", false});
  // A location block that claims gigabytes must be refused before anything
  // allocates for it.
  std::string huge = link;
  huge[76] = huge[77] = huge[78] = huge[79] = '\xC3';
  prefix.File(L"C:\\l\\huge.lnk", huge);
  prefix.File(L"C:\\l\\text.lnk", "just some text, not a link")
      .File(L"C:\\l\\empty.lnk", "")
      .File(L"C:\\l\\cut.lnk", link.substr(0, 90))
      .Folder(L"C:\\l\\folder.lnk");
  ShellLinkTargets t;
  for (const char* name :
       {"huge.lnk", "text.lnk", "empty.lnk", "cut.lnk", "folder.lnk", "missing.lnk"})
    EXPECT_FALSE(ReadShellLink(prefix.HostPath(L"C:\\l") + "/" + name, &t)) << name;
  // A FIFO would block a reader that opens it for reading and waits.
  std::string fifo = prefix.HostPath(L"C:\\l") + "/fifo.lnk";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadShellLink(fifo, &t));
}

TEST(ShellLinkTest, ALinkResolvesWhenOneLocalTargetExists) {
  std::set<std::wstring> existing = {L"C:\\apps\\here.exe", L"C:\\users\\u\\Desktop\\doc.txt",
                                     L"C:\\Program Files\\x.exe"};
  auto exists = [&](const std::wstring& p) { return existing.count(p) != 0; };
  auto expand = [](const std::wstring& t) {
    std::wstring out = t;
    if (out.rfind(L"%ProgramFiles%", 0) == 0) out.replace(0, 14, L"C:\\Program Files");
    return out;
  };
  auto resolves = [&](ShellLinkTargets t) {
    return LinkTargetResolves(t, L"C:\\users\\u\\Desktop", exists, expand);
  };
  EXPECT_TRUE(resolves({L"C:\\apps\\here.exe", L"", L"", L"", false}));
  EXPECT_FALSE(resolves({L"C:\\apps\\gone.exe", L"", L"", L"", false}));
  // The relative path counts from the link's own folder.
  EXPECT_TRUE(resolves({L"D:\\moved\\doc.txt", L".\\doc.txt", L"", L"", false}));
  EXPECT_TRUE(resolves({L"", L"..\\..\\..\\..\\..\\apps\\.\\here.exe", L"", L"", false}));
  EXPECT_FALSE(resolves({L"", L".\\gone.txt", L"", L"", false}));
  EXPECT_TRUE(resolves({L"", L"\\apps\\here.exe", L"", L"", false}));  // on the link's drive
  EXPECT_TRUE(resolves({L"", L"", L"%ProgramFiles%\\x.exe", L"", false}));
  EXPECT_FALSE(resolves({L"", L"", L"%ProgramFiles%\\gone.exe", L"", false}));
  // Targets nothing here can check are not judged broken...
  EXPECT_TRUE(resolves({L"", L"", L"", L"\\\\server\\share\\a.doc", false}));
  EXPECT_TRUE(resolves({L"", L"", L"", L"", true}));
  EXPECT_TRUE(resolves({L"", L"\\\\server\\share\\a.doc", L"", L"", false}));
  // ...unless a local target was named and is missing.
  EXPECT_FALSE(resolves({L"C:\\apps\\gone.exe", L"", L"", L"", true}));
  // A link that names no target at all is broken.
  EXPECT_FALSE(resolves({}));
}

TEST(ShellLinkTest, ThePlatformLooksTargetsUpInsideThePrefix) {
  TempPrefix prefix;
  prefix.File(L"C:\\Program Files\\Tool\\Tool.exe", "MZ")
      .File(L"C:\\users\\tester\\Desktop\\good.lnk",
            ShortcutBytes({"c:\\program files\\tool\\tool.exe", L"", L"", false}))
      .File(L"C:\\users\\tester\\Desktop\\gone.lnk",
            ShortcutBytes({"C:\\Program Files\\Gone\\gone.exe", L"", L"", false}))
      .File(L"C:\\users\\tester\\Desktop\\rel.lnk",
            ShortcutBytes({"", L"..\\..\\..\\Program Files\\Tool\\Tool.exe", L"", false}))
      .File(L"C:\\users\\tester\\Desktop\\env.lnk",
            ShortcutBytes({"", L"", L"%WinDir%\\..\\Program Files\\Tool\\Tool.exe", false}))
      .File(L"C:\\users\\tester\\Desktop\\junk.lnk", "not a link");
  auto p = prefix.Open();
  EXPECT_TRUE(p->CanCheckShortcuts());
  EXPECT_TRUE(p->ShortcutResolves(L"C:\\users\\tester\\Desktop\\good.lnk"));
  EXPECT_FALSE(p->ShortcutResolves(L"C:\\users\\tester\\Desktop\\gone.lnk"));
  EXPECT_TRUE(p->ShortcutResolves(L"C:\\users\\tester\\Desktop\\rel.lnk"));
  EXPECT_TRUE(p->ShortcutResolves(L"C:\\users\\tester\\Desktop\\env.lnk"));
  EXPECT_FALSE(p->ShortcutResolves(L"C:\\users\\tester\\Desktop\\junk.lnk"));
  EXPECT_FALSE(p->ShortcutResolves(L"C:\\users\\tester\\Desktop\\missing.lnk"));
}

}  // namespace
}  // namespace orvane::wine
