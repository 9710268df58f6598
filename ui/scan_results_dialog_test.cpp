#include "ui/scan_results_dialog.h"

#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "engine/testing_engine.h"
#include "model/ignore_file.h"
#include "model/messages.h"
#include "model/pacer.h"
#include "platform/registry_values.h"
#include "platform/testing/temp_state.h"
#include "platform/testing/temp_prefix.h"
#include "ui/result_status.h"
#include "ui/scan_result_container.h"
#include "ui/section_result_dialog.h"
#include "ui/section_results_container.h"
#include "ui/skin/bitmap_button.h"
#include "ui/testing_messenger.h"

// Failures show the texts, not their bytes.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace orvane::ui {
namespace {

// A registry value that is already gone, so a real repair counts it as
// repaired without touching anything.
CError Finding(int32_t section, const std::wstring& name) {
  CError e;
  e.section = section;
  e.errorType = ErrorType::RegistryValue;
  e.typeText = name;
  e.reason = L"reason of " + name;
  e.item.rootName = L"HKEY_LOCAL_MACHINE";
  e.item.rootKey = HKEY_LOCAL_MACHINE;
  e.item.subKey = L"Software\\Gone";
  e.item.valueName = name;
  return e;
}

std::vector<std::wstring> Names(const CErrorListEx& list) {
  std::vector<std::wstring> out;
  for (const CError& e : list) out.push_back(e.typeText);
  return out;
}

// Clicks a point of a list (in list coordinates, scroll position
// included) as a user would.
void ClickList(CRowList* list, QPoint at) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(at.x(), at.y() - list->scroll_position()));
}

class ResultsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = prefix_.Open();
    EngineOptions options;
    options.target = &messages_;
    options.pacer = &pacer_;
    options.state = &state_;
    engine_ = std::make_unique<CSarvelEngine>(*platform_, options);
  }

  // Adds count findings of section, named <prefix>0, <prefix>1, ..., to
  // those the window is to show.
  void Add(int32_t section, int count, const std::wstring& prefix) {
    for (int i = 0; i < count; ++i) found_.Add(Finding(section, prefix + std::to_wstring(i)));
    Load();
  }
  void Add(const CError& finding) {
    found_.Add(finding);
    Load();
  }
  // The findings added so far become the engine's list, as Last Results
  // loads them.
  void Load() { ASSERT_TRUE(orvane::testing::LoadAsFound(*engine_, found_)); }

  ResultsActions Actions() {
    ResultsActions actions;
    // The repair as the progress window runs it: all the list, to the end.
    actions.run_repair_progress = [this] {
      handed_to_repair_ = Names(engine_->errors());
      ASSERT_TRUE(engine_->StartRepairOfList());
      engine_->WaitForRepair();
    };
    actions.run_repair_summary = [this] { ++summaries_; };
    actions.refresh_problems = [this] { ++refreshes_; };
    actions.open_url = [this](const QUrl& url) { opened_.push_back(url); };
    return actions;
  }

  std::vector<std::wstring> FileRecords() {
    CErrorListEx read;
    if (!ReadErrorFile(*platform_, engine_->UnresolvedErrorsPath(), &read)) return {L"(no file)"};
    return Names(read);
  }
  std::wstring StoredCount() {
    return ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"IgnoredErrorsCount");
  }

  testing::TempPrefix prefix_;
  testing::TempStateFolder state_;
  std::unique_ptr<wine::WinePlatform> platform_;
  MessageQueue messages_;
  testing::GatePacer pacer_{0};  // holds no repair until a test rearms it
  std::unique_ptr<CSarvelEngine> engine_;
  CErrorListEx found_;
  RecordingMessenger messenger_;
  std::vector<std::wstring> handed_to_repair_;
  int summaries_ = 0;
  int refreshes_ = 0;
  std::vector<QUrl> opened_;
};

TEST_F(ResultsWindowTest, OneRowPerRunOfASectionWithTheHeader) {
  Add(2, 3, L"s");
  Add(7, 2, L"e");
  CScanResultsDialog window(*engine_, messenger_, Actions());
  EXPECT_EQ(window.BuildResults(), 5);
  EXPECT_EQ(window.header_text(), QStringLiteral("Attention!   5 errors were found"));
  EXPECT_EQ(window.total_text(), QStringLiteral("5"));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Repair Problems"));
  const auto& rows = window.list()->sections();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(CSarvelEngine::SectionName(rows[0].section), L"Sound Files");
  EXPECT_EQ(CSarvelEngine::SectionName(rows[1].section), L"Empty Registry Keys");
  EXPECT_EQ(rows[1].first, 3);
  EXPECT_EQ(rows[1].count, 2);
  EXPECT_EQ(window.list()->results()[4].index_in_section, 1);
  EXPECT_EQ(window.list()->scroll_height(), 70);
}

TEST_F(ResultsWindowTest, ASectionSplitInTwoRunsNeverReachesIntoTheNextSection) {
  // A file of unresolved errors may hold a section in two places; its found
  // counter then covers both runs.
  Add(2, 2, L"a");
  Add(7, 1, L"b");
  Add(2, 1, L"c");
  CScanResultsDialog window(*engine_, messenger_, Actions());
  window.BuildResults();
  ASSERT_EQ(window.list()->sections().size(), 3u);
  EXPECT_EQ(window.list()->sections()[0].count, 3);
  window.list()->ToggleRow(0);
  EXPECT_EQ(window.list()->SelectedFlags(), (std::vector<bool>{false, false, true, true}));
}

TEST_F(ResultsWindowTest, SeverityBarsByCount) {
  const std::pair<int, int> cases[] = {{0, 0},     {1, 252},   {30, 252},  {31, 253}, {60, 253}, {61, 254},
                                       {90, 254}, {91, 255}, {120, 255}, {121, 256}, {5000, 256}};
  for (auto [count, id] : cases) EXPECT_EQ(SeverityImageId(count), id) << count;
}

TEST_F(ResultsWindowTest, AClearedSectionGoesToTheFileAndTheRestIsRepaired) {
  Add(2, 3, L"sound");
  Add(7, 4, L"empty");
  Add(9, 2, L"font");
  CScanResultsDialog window(*engine_, messenger_, Actions());
  window.BuildResults();
  window.show();
  // The check box of the second row, by mouse.
  ClickList(window.list(), CScanResultContainer::CheckBoxRect(1).center());
  EXPECT_FALSE(window.list()->sections()[1].checked);

  window.OnRepairProblems();
  EXPECT_EQ(FileRecords(), (std::vector<std::wstring>{L"empty0", L"empty1", L"empty2", L"empty3"}));
  EXPECT_EQ(StoredCount(), L"4");
  EXPECT_EQ(engine_->Section(7).ignored, 4);
  EXPECT_EQ(handed_to_repair_, (std::vector<std::wstring>{L"sound0", L"sound1", L"sound2", L"font0", L"font1"}));
  EXPECT_EQ(engine_->Totals().repaired, 5);
  EXPECT_TRUE(engine_->errors().IsEmpty());
  EXPECT_EQ(summaries_, 1);
  EXPECT_GE(refreshes_, 1);
  EXPECT_TRUE(window.repaired());
  EXPECT_EQ(window.result(), QDialog::Accepted);
}

TEST_F(ResultsWindowTest, FilesShowTheirSizeAndTheSummarySaysWhatLeftTheMachine) {
  for (auto [name, bytes] : {std::pair{L"a.tmp", 3000}, std::pair{L"b.tmp", 1100}}) {
    const std::wstring path = std::wstring(L"C:\\windows\\Temp\\") + name;
    prefix_.File(path, std::string(bytes, 'x'));
    CError e;
    e.section = section::kWindowsTemp;
    e.errorType = ErrorType::File;
    e.typeText = name;
    e.filePath = path;
    e.size = bytes;
    Add(e);
  }
  // An emptied folder is a finding but no file, and has no size.
  prefix_.Folder(L"C:\\windows\\Temp\\old");
  CError folder;
  folder.section = section::kWindowsTemp;
  folder.errorType = ErrorType::File;
  folder.typeText = L"old";
  folder.filePath = L"C:\\windows\\Temp\\old\\";
  Add(folder);
  Add(2, 1, L"sound");
  CScanResultsDialog window(*engine_, messenger_, Actions());
  window.BuildResults();
  ASSERT_EQ(window.list()->sections().size(), 2u);
  EXPECT_EQ(window.list()->sections()[0].files, (FileTotals{2, 4100}));
  EXPECT_EQ(SizeLine(window.list()->sections()[0].files), QStringLiteral("4.0 KB in 2 files"));
  EXPECT_EQ(window.list()->sections()[1].files, FileTotals{});

  window.OnRepairProblems();
  const RepairFigures& figures = engine_->last_repair_figures();
  EXPECT_EQ(figures.removed, (FileTotals{2, 4100}));
  EXPECT_TRUE(figures.has_backup);
  EXPECT_GE(figures.backup_bytes, 4100u);
  CResultStatus summary(*engine_);
  EXPECT_EQ(summary.figures()->ShownText(),
            QString::fromStdWString(L"Removed from the machine: 2 files, 4.0 KB; the backup now holds " +
                                    ByteSizeText(figures.backup_bytes) + L"."));
}

TEST_F(ResultsWindowTest, AlwaysIgnoreThisWritesTheListAndSaysWhatItAdded) {
  CScanResultsDialog window(*engine_, messenger_, Actions());
  const IgnoreAction& ignore = window.list()->ignore_action();
  ASSERT_TRUE(ignore);
  CError file;
  file.section = section::kWindowsTemp;
  file.errorType = ErrorType::File;
  file.filePath = L"C:\\windows\\Temp\\setup-1.tmp";
  EXPECT_TRUE(ignore(&window, file));
  EXPECT_TRUE(ReadIgnoreFile(state_).list.Matches(file));
  EXPECT_TRUE(ignore(&window, file));
  EXPECT_EQ(ReadIgnoreFile(state_).list.entries().size(), 1u);
  // A record that names nothing to ignore is refused, in words.
  EXPECT_FALSE(ignore(&window, CError{}));
  ASSERT_EQ(messenger_.said.size(), 3u);
  EXPECT_EQ(messenger_.said[0].text, QStringLiteral("From the next scan on, this is not reported:\npath "
                                                    "C:\\windows\\Temp\\setup-1.tmp\n\nIt is left out of this repair too."));
  EXPECT_TRUE(messenger_.said[1].text.startsWith(QStringLiteral("The ignore list already holds:")));
  EXPECT_TRUE(messenger_.said[2].text.startsWith(QStringLiteral("This problem could not be added to the ignore list: ")));
}

TEST_F(ResultsWindowTest, AnAbortedRepairLeavesWhatItDidNotReachWithTheSetAsideOnes) {
  Add(2, 2, L"aside");
  Add(7, 10, L"r");
  ResultsActions actions = Actions();
  // Abort during the third of the ten records.
  pacer_.Rearm(3);
  pacer_.engine = engine_.get();
  actions.run_repair_progress = [this] {
    ASSERT_TRUE(engine_->StartRepairOfList());
    pacer_.StopWhenHeld();
  };
  CScanResultsDialog window(*engine_, messenger_, actions);
  window.BuildResults();
  window.list()->ToggleRow(0);
  window.OnRepairProblems();
  EXPECT_EQ(FileRecords(), (std::vector<std::wstring>{L"aside0", L"aside1", L"r3", L"r4", L"r5", L"r6", L"r7",
                                                      L"r8", L"r9"}));
  EXPECT_EQ(StoredCount(), L"9");
  EXPECT_EQ(engine_->Section(7), (SectionCounter{10, 3, 7}));
  EXPECT_EQ(engine_->Section(2), (SectionCounter{2, 0, 2}));
  EXPECT_TRUE(engine_->errors().IsEmpty());
}

TEST_F(ResultsWindowTest, TheDetailWindowCancelRestoresAndSaveKeeps) {
  Add(2, 2, L"sound");
  Add(7, 3, L"empty");
  CScanResultsDialog window(*engine_, messenger_, Actions());
  window.BuildResults();
  window.show();
  CScanResultContainer* list = window.list();

  // Each time: deselect the detail list's second record by mouse, then end
  // the window as told.
  auto open_and = [&](std::function<void(CSectionResultDialog*)> end) {
    QString problems;
    QTimer::singleShot(0, [&] {
      CSectionResultDialog* details = CSectionResultDialog::Instance();
      ASSERT_NE(details, nullptr);
      problems = details->problems_text();
      ClickList(details->list(), QPoint(200, 60 + 30));
      EXPECT_EQ(details->list()->last_clicked(), 1);
      end(details);
    });
    ClickList(list, CScanResultContainer::DetailsIconRect(1).center());
    EXPECT_EQ(CSectionResultDialog::Instance(), nullptr);
    return problems;
  };

  EXPECT_EQ(open_and([](CSectionResultDialog* d) { d->cancel_button()->click(); }),
            QStringLiteral("3 Problem(s) were found in this section."));
  EXPECT_EQ(list->SelectedFlags(), (std::vector<bool>(5, true)));

  open_and([](CSectionResultDialog* d) { d->save_button()->click(); });
  EXPECT_EQ(list->SelectedFlags(), (std::vector<bool>{true, true, true, false, true}));
  EXPECT_TRUE(list->sections()[1].checked);

  // Escape keeps what was edited, as Save does: the record is selected again.
  open_and([](CSectionResultDialog* d) { QTest::keyClick(d, Qt::Key_Escape); });
  EXPECT_EQ(list->SelectedFlags(), (std::vector<bool>(5, true)));

  open_and([](CSectionResultDialog* d) { d->save_button()->click(); });
  window.OnRepairProblems();
  EXPECT_EQ(FileRecords(), (std::vector<std::wstring>{L"empty1"}));
  EXPECT_EQ(StoredCount(), L"1");
}

// What a scan keeps is settled before the window opens; no way of closing
// it (its close, Escape, the window manager's close) writes or drops a thing.
TEST_F(ResultsWindowTest, NoWayOfClosingTheWindowChangesWhatIsKept) {
  WriteRegistryString(*platform_, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"IgnoredErrorsCount", L"7");
  Add(2, 2, L"sound");
  Add(7, 1, L"empty");
  // In the list only, as a scan leaves what it could not keep.
  ASSERT_TRUE(platform_->DeleteFile(engine_->UnresolvedErrorsPath()));
  const std::vector<std::function<void(CScanResultsDialog&)>> closes = {
      [](CScanResultsDialog& w) { w.close(); },
      [](CScanResultsDialog& w) { QTest::keyClick(&w, Qt::Key_Escape); },
      [](CScanResultsDialog& w) {
        QCloseEvent event;
        QApplication::sendEvent(&w, &event);
      },
  };
  for (size_t i = 0; i < closes.size(); ++i) {
    CScanResultsDialog window(*engine_, messenger_, Actions());
    QTimer::singleShot(0, &window, [&] { closes[i](window); });
    window.Run();
    EXPECT_EQ(FileRecords(), (std::vector<std::wstring>{L"(no file)"})) << i;
    EXPECT_EQ(StoredCount(), L"7") << i;
    EXPECT_EQ(engine_->errors().GetCount(), 3) << i;
  }
  EXPECT_EQ(refreshes_, 0);
  EXPECT_EQ(summaries_, 0);
  EXPECT_TRUE(messenger_.said.empty());
}

TEST_F(ResultsWindowTest, CreateReportOffersTheReportAndKeepsTheList) {
  Add(2, 2, L"sound");
  CScanResultsDialog window(*engine_, messenger_, Actions());
  window.BuildResults();

  // A file where the reports folder belongs: told in words, nothing opened.
  prefix_.File(L"C:\\ProgramData\\Orvane", "in the way");
  window.OnCreateReport();
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_EQ(messenger_.said[0].text,
            QStringLiteral("The program could not generate a report at this time. Please retry."));
  EXPECT_FALSE(messenger_.said[0].question);
  ASSERT_TRUE(platform_->DeleteFile(L"C:\\ProgramData\\Orvane"));

  window.OnCreateReport();
  ASSERT_EQ(messenger_.said.size(), 2u);
  EXPECT_TRUE(messenger_.said[1].question);
  EXPECT_EQ(messenger_.said[1].text,
            QStringLiteral("The scan report has been saved in your Program Data folder (C:\\ProgramData). Do you "
                           "want to view the report on your browser now (html format)?"));
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_TRUE(opened_[0].isLocalFile());
  EXPECT_TRUE(QFileInfo(opened_[0].toLocalFile()).isFile());
  EXPECT_TRUE(opened_[0].toLocalFile().endsWith(QStringLiteral(".html")));
  // The list the window shows is the one reported, and it stays.
  EXPECT_EQ(engine_->errors().GetCount(), 2);

  // No: nothing opened.
  messenger_.answer = false;
  window.OnCreateReport();
  EXPECT_EQ(opened_.size(), 1u);
  EXPECT_EQ(window.result(), 0);  // still open: nothing ended it
}

TEST_F(ResultsWindowTest, AMachinesTextIsDrawnAsThePlainCharacters) {
  Add(Finding(2, L"<b>x</b>"));
  CScanResultsDialog window(*engine_, messenger_, Actions());
  window.BuildResults();
  CScanResultInfo& entry = const_cast<CScanResultInfo&>(window.list()->results()[0]);
  CSectionResultDialog details(QStringLiteral("Sound Files"), engine_->errors(), &entry, 1);
  details.show();
  QImage shot = details.list()->viewport()->grab().toImage();

  // The type text's band: the columns holding its dark pixels.
  int left = shot.width(), right = -1;
  for (int y = 5; y < 21; ++y)
    for (int x = 25; x < shot.width(); ++x)
      if (qGray(shot.pixel(x, y)) < 120) left = std::min(left, x), right = std::max(right, x);
  ASSERT_GE(right, left);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(14);
  font.setBold(true);
  const int expected = QFontMetrics(font).horizontalAdvance(QStringLiteral("<b>x</b>"));
  // Markup taken as markup would show a bold "x" a few pixels wide.
  EXPECT_NEAR(right - left + 1, expected, 4);
}

TEST_F(ResultsWindowTest, BigListsDrawOnlyTheirVisibleRowsAndScroll) {
  Add(2, 100000, L"n");
  CScanResultsDialog window(*engine_, messenger_, Actions());
  window.BuildResults();
  CScanResultInfo& first = const_cast<CScanResultInfo&>(window.list()->results()[0]);
  CSectionResultDialog details(QStringLiteral("Sound Files"), engine_->errors(), &first, 100000);
  details.show();
  CSectionResultsContainer* list = details.list();
  EXPECT_EQ(list->scroll_height(), 6000000);
  list->viewport()->repaint();
  EXPECT_LE(list->rows_painted(), list->visible_height() / 60 + 2);

  // The wheel: one notch at three lines is one 60-pixel step, upwards for a
  // positive delta; never above the top or below the last page.
  list->set_wheel_lines(3);
  auto wheel = [&](int delta) {
    QWheelEvent event(QPointF(10, 10), list->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list->viewport(), &event);
  };
  wheel(-120);
  EXPECT_EQ(list->scroll_position(), 60);
  wheel(-360);
  EXPECT_EQ(list->scroll_position(), 240);
  wheel(240);
  EXPECT_EQ(list->scroll_position(), 120);
  wheel(1200);
  EXPECT_EQ(list->scroll_position(), 0);
  list->ScrollTo(1 << 30);
  EXPECT_EQ(list->scroll_position(), 6000000 - list->visible_height());
  EXPECT_EQ(list->verticalScrollBar()->pageStep(), list->visible_height());
  EXPECT_EQ(list->verticalScrollBar()->singleStep(), 60);

  // A click on the last row, scrolled to the bottom, toggles the last record.
  ClickList(list, QPoint(100, 6000000 - 30));
  EXPECT_FALSE(window.list()->results()[99999].selected);
  EXPECT_EQ(list->last_clicked(), 99999);

  EXPECT_EQ(WheelScrollPixels(30, 3, 60, 250), -60);   // a touchpad's small delta still moves
  EXPECT_EQ(WheelScrollPixels(-120, -1, 60, 250), 250);  // a screen per notch
}

TEST_F(ResultsWindowTest, TheDetailsIconTakesTheHandAndClicksBelowTheRowsDoNothing) {
  Add(2, 1, L"sound");
  CScanResultsDialog window(*engine_, messenger_, Actions());
  window.BuildResults();
  window.show();
  CScanResultContainer* list = window.list();
  QTest::mouseMove(list->viewport(), CScanResultContainer::DetailsIconRect(0).center());
  EXPECT_TRUE(list->sections()[0].hover);
  EXPECT_EQ(list->viewport()->cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseMove(list->viewport(), QPoint(100, 20));
  EXPECT_FALSE(list->sections()[0].hover);
  EXPECT_EQ(list->viewport()->cursor().shape(), Qt::ArrowCursor);

  // Where the second row's check box would be.
  ClickList(list, CScanResultContainer::CheckBoxRect(1).center());
  EXPECT_TRUE(list->sections()[0].checked);
  EXPECT_EQ(list->last_clicked(), -1);
}

TEST_F(ResultsWindowTest, WhenTheFileCannotBeWrittenTheUserIsToldAndTheRecordsStay) {
  Add(2, 2, L"sound");
  Add(7, 1, L"empty");
  ASSERT_TRUE(platform_->DeleteFile(engine_->UnresolvedErrorsPath()));
  platform_->CreateDirectory(engine_->UnresolvedErrorsPath());
  ResultsActions actions = Actions();
  actions.run_repair_progress = [] {};  // no repair ran
  CScanResultsDialog window(*engine_, messenger_, actions);
  window.BuildResults();
  window.list()->ToggleRow(0);
  window.OnRepairProblems();
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_TRUE(messenger_.said[0].text.startsWith(QStringLiteral("The errors that were not repaired could not be saved")));
  EXPECT_EQ(Names(engine_->errors()), (std::vector<std::wstring>{L"sound0", L"sound1", L"empty0"}));
}

TEST_F(ResultsWindowTest, DetailTextIsTheReasonForRegistryRecordsElseThePathWithBreaks) {
  CError value = Finding(2, L"v");
  value.filePath = L"C:\\x";
  EXPECT_EQ(CSectionResultsContainer::DetailText(value), QStringLiteral("reason of v"));
  CError file;
  file.errorType = ErrorType::File;
  file.reason = L"r";
  file.filePath = L"C:\\Windows\\Temp\\a.tmp";
  EXPECT_EQ(CSectionResultsContainer::DetailText(file), QStringLiteral("C:\\ Windows\\ Temp\\ a.tmp"));
}

}  // namespace
}  // namespace orvane::ui
