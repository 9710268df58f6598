#include "scanners/com_scanner.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"

namespace orvane {
namespace {

// Stops the scan after a number of records, as the engine would.
class StopAfter : public MessageTarget {
 public:
  void Post(Message m) override {
    if (m.code == kMsgErrorAdded && ++records == limit && context) context->running = 0;
    if (m.code == kMsgProgressText) progress.push_back(m.text);
  }
  ScanContext* context = nullptr;
  int limit = -1;
  int records = 0;
  std::vector<std::wstring> progress;
};

class ComScanTest : public ::testing::Test {
 protected:
  // A class key with an optional AppID value and TypeLib default value.
  void Class(const std::wstring& id, const std::wstring& app_id,
             const std::wstring* type_lib = nullptr) {
    prefix_.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + id);
    if (!app_id.empty()) prefix_.String(HKEY_CLASSES_ROOT, L"CLSID\\" + id, L"AppID", app_id);
    if (type_lib) prefix_.String(HKEY_CLASSES_ROOT, L"CLSID\\" + id + L"\\TypeLib", L"", *type_lib);
  }
  void Open() {
    wine_ = prefix_.Open();
    platform_ = std::make_unique<testing::RecordingPlatform>(*wine_);
    context_ = std::make_unique<ScanContext>(
        ScanEnvironment{*platform_, errors_, counters_, target_, pacer_, &repaired_});
    target_.context = context_.get();
    context_->running = 1;
    context_->BeginSection(L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT, 0, 0, true);
  }
  void Scan() {
    CheckClassAppIds(*context_);
    CheckClassTypeLibs(*context_);
  }

  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> wine_;
  std::unique_ptr<testing::RecordingPlatform> platform_;
  CErrorListEx errors_;
  SectionCounters counters_;
  StopAfter target_;
  RecordingPacer pacer_;
  CRegistryItemListEx repaired_;
  std::unique_ptr<ScanContext> context_;
};

const std::wstring kLib = L"{11111111-0000-0000-0000-00000000AAAA}";
const std::wstring kGoneLib = L"{22222222-0000-0000-0000-00000000BBBB}";
const std::wstring kEmpty;

TEST_F(ComScanTest, MissingAppIdsAndTypeLibsInThatOrder) {
  prefix_.Key(HKEY_CLASSES_ROOT, L"AppID\\{Present}").Key(HKEY_CLASSES_ROOT, L"TypeLib\\" + kLib);
  Class(L"{A-both}", L"{GoneApp}", &kGoneLib);
  Class(L"{B-fine}", L"{Present}", &kLib);
  Class(L"{C-lib}", L"", &kGoneLib);
  Class(L"{D-app}", L"{GoneApp2}");
  Class(L"{E-bare}", L"");
  Class(L"{F-emptylib}", L"", &kEmpty);  // "TypeLib\" names the library key itself
  Open();
  Scan();

  ASSERT_EQ(errors_.GetCount(), 4);
  const CError& app = errors_[0];
  EXPECT_EQ(app.reason,
            L"The key HKEY_CLASSES_ROOT\\CLSID\\{A-both} points to a missing CLSID {GoneApp}");
  EXPECT_EQ(app.typeText, L"Missing AppID or CLSID.");
  EXPECT_EQ(app.errorType, ErrorType::RegistryValue);
  EXPECT_EQ(app.section, 0);
  EXPECT_TRUE(app.markOnly);
  EXPECT_EQ(app.filePath, L"");
  EXPECT_EQ(app.item, (CRegistryItem{REG_SZ, HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT",
                                     L"CLSID\\{A-both}", L"AppID", L"{GoneApp}", 0}));
  EXPECT_EQ(errors_[1].item.subKey, L"CLSID\\{D-app}");

  const CError& lib = errors_[2];
  EXPECT_EQ(
      lib.reason,
      L"The key HKEY_CLASSES_ROOT\\CLSID\\{A-both}\\TypeLib points to a missing CLSID TypeLib\\" +
          kGoneLib);
  EXPECT_EQ(lib.typeText, L"Missing Typelib or CLSID.");
  EXPECT_EQ(lib.errorType, ErrorType::RegistryValue);
  EXPECT_EQ(lib.item, (CRegistryItem{REG_SZ, HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT",
                                     L"CLSID\\{A-both}\\TypeLib", L"", kGoneLib, 0}));
  EXPECT_EQ(errors_[3].item.subKey, L"CLSID\\{C-lib}\\TypeLib");
  EXPECT_EQ(counters_[0].found, 4);
  // Each class is announced once per check.
  EXPECT_EQ(target_.progress.size(), 12u);
  EXPECT_EQ(target_.progress.front(), L"HKEY_CLASSES_ROOT\\CLSID\\{A-both}");
  EXPECT_TRUE(platform_->changes().empty());
}

TEST_F(ComScanTest, AnEmptyLibraryNameReportsWhenNoLibraryIsRegistered) {
  Class(L"{F-emptylib}", L"", &kEmpty);
  Open();
  Scan();
  ASSERT_EQ(errors_.GetCount(), 1);
  EXPECT_EQ(errors_[0].reason,
            L"The key HKEY_CLASSES_ROOT\\CLSID\\{F-emptylib}\\TypeLib points to a missing CLSID "
            L"TypeLib\\");
}

TEST_F(ComScanTest, RepairedItemsAreNotReportedAgainButOtherCasesAre) {
  Class(L"{A}", L"{GoneApp}");
  Class(L"{B}", L"{GoneApp}");
  repaired_.Add(
      {REG_SZ, HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT", L"CLSID\\{A}", L"AppID", L"{GoneApp}", 0});
  repaired_.Add(
      {REG_SZ, HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT", L"clsid\\{B}", L"AppID", L"{GoneApp}", 0});
  Open();
  Scan();
  ASSERT_EQ(errors_.GetCount(), 1);
  EXPECT_EQ(errors_[0].item.subKey, L"CLSID\\{B}");
}

TEST_F(ComScanTest, StoppingEndsTheWalkBeforeTheNextClass) {
  for (int i = 0; i < 10; ++i) Class(L"{C" + std::to_wstring(i) + L"}", L"{Gone}");
  Open();
  target_.limit = 3;
  Scan();
  EXPECT_EQ(errors_.GetCount(), 3);
  EXPECT_EQ(target_.progress.size(), 3u);
}

TEST_F(ComScanTest, NoClassKeyMeansNothingToReport) {
  Open();
  Scan();
  EXPECT_EQ(errors_.GetCount(), 0);
  EXPECT_TRUE(target_.progress.empty());
}

}  // namespace
}  // namespace orvane
