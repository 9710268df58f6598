#include "app/program.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>
#include <filesystem>

#include "app/sarvel_app.h"
#include "app/scan_dialog.h"
#include "app/settings_dialog.h"
#include "app/updates.h"
#include "engine/engine.h"
#include "model/settings_store.h"
#include "platform/curl/curl_http.h"
#include "platform/file_version.h"
#include "platform/text.h"
#include "platform/wine/machine_choice.h"
#include "platform/wine/machine_state.h"
#include "platform/wine/wine_platform.h"
#include "ui/advanced_scan_dialog.h"
#include "ui/event_bridge.h"
#include "ui/manage_startup_dialog.h"
#include "ui/manage_uninstall_dialog.h"
#include "ui/messenger.h"
#include "ui/repair_errors_dialog.h"
#include "ui/restore_backups_dialog.h"
#include "ui/result_status.h"
#include "ui/scan_progress_dialog.h"
#include "ui/scan_results_dialog.h"
#include "ui/custom_soln_dialog.h"
#include "ui/send_log_dialog.h"
#include "ui/support_messenger.h"
#include "support/solutions/solution_executor.h"
#include "support/support_desk.h"
#include "update/update_server.h"
#include "update/version_info.h"

namespace orvane::app {
namespace {

QString Q(const std::wstring& text) { return QString::fromStdWString(text); }

int Refuse(ui::Messenger& messenger, const QString& text) {
  std::fprintf(stderr, "orvane: %s\n", qPrintable(text));
  messenger.Tell(nullptr, CScanDialog::kAppCaption, text, ui::Messenger::Icon::kWarning);
  return 2;
}

}  // namespace

QString HelpPagePath(const QString& program_folder) {
  for (const QString& candidate : {program_folder + "/help.html", program_folder + "/../share/orvane/help.html"})
    if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
  return QString();
}

int RunProgram(const ProgramOptions& options) {
  ui::BoxMessenger messenger;
  wine::MachineChoice machine;
  if (Status s = wine::ChooseMachine(options.prefix.toStdString(), &machine); !s)
    return Refuse(messenger, "Orvane cannot open the machine: " + Q(s.message));
  wine::WinePlatform platform{wine::WineOptions(machine.prefix, "", machine.trash)};
  // A registry that cannot be read at all would scan as a clean machine.
  if (Status s = platform.CheckReadable(); !s) return Refuse(messenger, Q(s.message));
  for (const std::wstring& problem : platform.LoadProblems())
    std::fprintf(stderr, "orvane: warning: %s\n", WideToUtf8(problem).c_str());
  // What the program keeps about this machine (its backups) lives outside it.
  std::unique_ptr<StateFolder> state = wine::OpenMachineState(machine.prefix);

  ui::EventBridge bridge;
  SleepPacer pacer;
  EngineOptions engine_options;
  engine_options.target = &bridge;
  engine_options.pacer = &pacer;
  // The main window's problems display follows every change of the count.
  auto refresh_problems = [] {
    if (CScanDialog* window = CScanDialog::Instance()) window->RefreshProblemsDisplay();
  };
  engine_options.on_problems_changed = refresh_problems;
  const std::string program_file = OwnExecutablePath();
  const update::CVersionInfo version(program_file);
  engine_options.product_version = version.ProductVersion();
  engine_options.release_date = version.ReleaseDate();
  engine_options.state = state.get();
  CSarvelEngine engine(platform, engine_options);
  // The user's own settings, kept outside every machine; the store routes
  // each name to them or to the machine.
  UserSettings user_settings(UserSettingsPath(platform.UserConfigFolder()));
  SettingsStore settings(platform, user_settings);
  AskStartAtLoginOnce(settings, messenger, options.scan_at_start);
  CurlHttpClient http;
  ProgramUpdates updates({&http, &bridge, [&settings] { return update::ServerAddress(settings); },
                          [&settings](update::ReleaseKey* key) { return update::UpdateKey(settings, key); },
                          version.ProductVersion(), program_file, std::filesystem::temp_directory_path()},
                         messenger, options.prefix);

  // The long-lived windows, once each, in the order the program has always
  // made them.
  ui::CScanProgressDialog progress(engine, pacer, messenger);
  ui::CManageStartupDialog startup(engine, messenger);
  ui::CManageUninstallDialog uninstall(engine, messenger);
  ui::CAdvancedScan junk(settings, engine, messenger);
  auto open_url = [](const QUrl& url) { QDesktopServices::openUrl(url); };
  CSettingsDialog settings_window(settings, engine, messenger, open_url);
  ui::CRepairErrorsDialog repair_progress(engine, messenger);
  ui::CRestoreBackupsDialog restore(engine, messenger);
  ui::CResultStatus repair_summary(engine);
  ui::ResultsActions results_actions;
  results_actions.run_repair_progress = [&] { repair_progress.Run(); };
  results_actions.run_repair_summary = [&] { repair_summary.Run(); };
  results_actions.refresh_problems = refresh_problems;
  results_actions.open_url = open_url;
  ui::CScanResultsDialog results(engine, messenger, results_actions);
  ui::CSendLogDialog send_report(engine, http, messenger);
  ui::SupportMessenger support_messages(messenger, nullptr);
  SolutionExecutor solution(platform, *state);
  ui::CCustomSolnDialog custom_solution(
      solution, messenger, [&](std::wstring* comments, std::wstring* commands, std::wstring* problem) {
        SupportDesk desk(platform, http, SupportEndpoint(settings), support_messages);
        if (!desk.HasSentReport()) {
          *problem = ui::kNoReportSentText;
          return false;
        }
        if (desk.QueryStatus(comments, commands)) return true;
        if (!desk.last_problem().empty()) *problem = L"The support service could not be asked: " + desk.last_problem();
        return false;
      });

  MainWindowParts parts;
  parts.engine = &engine;
  parts.settings = &settings;
  parts.messenger = &messenger;
  parts.progress = &progress;
  parts.run_results = [&] { results.Run(); };
  parts.run_settings = [&] { settings_window.Run(); };
  parts.run_restore = [&] { restore.Run(); };
  parts.run_startup = [&] { startup.Run(); };
  parts.run_uninstall = [&] { uninstall.Run(); };
  parts.run_send_report = [&] { send_report.Run(); };
  parts.run_custom_solution = [&] { custom_solution.Run(); };
  parts.repair = {&repair_progress, [&](const WorkerEvent& e) { repair_progress.HandleEvent(e); }};
  parts.updates = &updates;
  parts.run_junk_and_privacy = [&](std::array<bool, kSectionCount>* chosen) {
    if (junk.Run() != QDialog::Accepted) return false;
    *chosen = junk.selection();
    return true;
  };
  QString help = HelpPagePath(QCoreApplication::applicationDirPath());
  if (!help.isEmpty()) parts.help_page = QUrl::fromLocalFile(help);
  parts.machine = Q(machine.description);
  parts.sample_machine = machine.sample;

  CScanDialog window(std::move(parts), options.scan_at_start);
  QObject::connect(&bridge, &ui::EventBridge::eventArrived, &window, &CScanDialog::OnWorkerEvent);
  window.Initialise();

  int code = 1;
  QObject::connect(&window, &CScanDialog::exitRequested, qApp, [&code](int c) {
    code = c;
    QCoreApplication::exit(c);
  });
  QApplication::setQuitOnLastWindowClosed(false);
  window.show();
  QApplication::exec();
  engine.StopScan();
  // Whatever the engine stored (the last scan date, counts) is kept.
  if (Status s = platform.Flush(); !s) std::fprintf(stderr, "orvane: warning: %s\n", WideToUtf8(s.message).c_str());
  return code;
}

}  // namespace orvane::app
