#include "gui_command.h"

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>

#include "agent_address.h"
#include "build_info.h"
#include "collect_command.h"
#include "command_line.h"
#include "ortolan_app.h"
#include "ortolan_dlg.h"
#include "qt_dialog_seam.h"
#include "sf_setup_dlg.h"
#include "start_dlg.h"

namespace ortolan {
namespace {

// The main window as the application runs it. With a replay file it replays
// that log at once (offline) and, with a snapshot path, saves its picture
// and closes: the unattended run the smoke test and screenshots use.
class CMainWindow : public IMainWindow {
public:
    CMainWindow(COrtolanApp& app, IDialogSeam& seam, std::optional<std::string> replay,
                std::optional<std::string> snapshot)
        : m_snapshot(std::move(snapshot))
    {
        tagMainWindowHooks hooks;
        if (replay) {
            QFileInfo file(QString::fromStdString(*replay));
            std::string folder = file.absolutePath().toStdString() + "/";
            std::string name = file.fileName().toStdString();
            hooks.chooseStart = [name](QWidget*) { return std::optional<tagStartChoice>(tagStartChoice{false, {name}}); };
            hooks.logFolder = [folder] { return folder; };
        } else {
            hooks.chooseStart = [&app, &seam](QWidget* parent) -> std::optional<tagStartChoice> {
                CStartDlg dlg(app, seam, [] { return int64_t(std::time(nullptr)); }, parent);
                if (dlg.exec() != QDialog::Accepted) return std::nullopt;
                return tagStartChoice{dlg.online(), dlg.chosenLogs()};
            };
            hooks.logFolder = [&app] { return app.LogFolder(); };
        }
        hooks.showSflowSetup = [&app, &seam](COrtolanDlg& window, const std::string& agent) {
            CSFSetupDlg dlg(seam, app.Settings(), &window);
            if (auto address = ParseIpv4(agent)) dlg.SetAgentAddress(*address);
            dlg.exec();
        };
        m_window = std::make_unique<COrtolanDlg>(seam, std::move(hooks));
        m_replay = replay.has_value();
    }

    CNameTables& names() override { return m_window->controller().names(); }
    QWidget* widget() override { return m_window.get(); }

    int Exec() override
    {
        COrtolanDlg& window = *m_window;
        int status = 0;
        if (m_replay) {
            QTimer::singleShot(0, &window, [&] {
                window.startButton()->click();
                if (!m_snapshot) return;
                // Let the list and the charts paint before the picture is taken.
                QTimer::singleShot(500, &window, [&] {
                    bool saved = window.grab().save(QString::fromStdString(*m_snapshot), "PNG");
                    std::printf("window \"%s\" shown %dx%d, %d rows\n", window.windowTitle().toUtf8().constData(),
                                window.width(), window.height(), window.controller().list().rowCount());
                    std::fflush(stdout);
                    status = saved ? 0 : 1;
                    window.accept();
                });
            });
        }
        window.exec();
        return status;
    }

private:
    std::unique_ptr<COrtolanDlg> m_window;
    bool m_replay = false;
    std::optional<std::string> m_snapshot;
};

}  // namespace

bool HasDisplay()
{
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

int RunGui(int argc, char** argv, const std::vector<std::string>& args)
{
    std::optional<std::string> replay;
    std::optional<std::string> snapshot;
    bool version = false;
    std::unique_ptr<CLI::App> parser =
        NewCommandParser("ortolan", "Ortolan " ORTOLAN_VERSION ": a traffic monitor for sFlow and NetFlow exporters. "
                                    "Without options it opens the monitor window; without a display it monitors "
                                    "headless, as 'ortolan collect' does.");
    CLI::Option* replayOption =
        parser->add_option("--replay", replay, "open the window on this flow log, replayed offline")->type_name("FILE");
    parser->add_option("--snapshot", snapshot, "then save the window as a PNG picture and close it")
        ->type_name("PNG")
        ->needs(replayOption);
    parser->add_flag("--version", version, "print the version and exit");
    parser->footer(std::string("Commands (each answers --help):\n"
                               "  collect                 headless live monitoring\n"
                               "  report                  statistics of replayed flow logs, as JSON or list CSV\n"
                               "  agent                   an sFlow agent's configuration, read over SNMP\n\n") +
                   parser->get_footer());
    if (std::optional<int> status = ParseCommandLine(*parser, args, std::cout, std::cerr)) return *status;
    if (version) {
        std::cout << "ortolan " ORTOLAN_VERSION "\n";
        return kExitSuccess;
    }
    if (replay && !QFileInfo(QString::fromStdString(*replay)).isReadable()) {
        std::fprintf(stderr, "ortolan: cannot read %s\n", replay->c_str());
        return kExitUsage;
    }
    if (!replay && !HasDisplay()) {
        std::fprintf(stderr, "ortolan: no display; monitoring headless (ortolan collect)\n");
        return RunCollectCommand({});
    }
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(ORTOLAN_APP_ID));
    InstallQtTranslations(app);
    CQtDialogSeam seam;
    COrtolanApp ortolan;
    return ortolan.Run(seam, [&](COrtolanApp& a, IDialogSeam& s) -> std::unique_ptr<IMainWindow> {
        return std::make_unique<CMainWindow>(a, s, replay, snapshot);
    });
}

}  // namespace ortolan
