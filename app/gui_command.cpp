// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui_command.h"

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

#include "agent_address.h"
#include "build_info.h"
#include "interface_name_cache.h"
#include "ortolan_app.h"
#include "ortolan_dlg.h"
#include "qt_dialog_seam.h"
#include "sf_setup_dlg.h"
#include "snmp_interface_name_reader.h"
#include "snmp_library.h"
#include "splash.h"
#include "start_dlg.h"

namespace ortolan {
namespace {

// What the start-up runs as its main window: it owns the name tables both
// collectors label with (the start-up loads them before the window runs) and
// runs modally until the user closes it.
class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    virtual CNameTables& names() = 0;
    // Shows the window and returns when it has closed, with the exit status.
    virtual int Exec() = 0;
    // The window's widget, parent of the splash so the modal window does not
    // block the splash's own input.
    virtual QWidget* widget() = 0;
};

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
        hooks.samplingRates = [&app] { return app.SamplingRates(); };
        hooks.readScaled = [&app] { return app.ScaledFigures(); };
        hooks.saveScaled = [&app](bool on) { app.SetScaledFigures(on); };
        hooks.showSflowSetup = [&app, &seam](COrtolanDlg& window, const std::string& agent) {
            CSFSetupDlg dlg(seam, app.Settings(), &window);
            if (auto address = ParseIpv4(agent)) dlg.SetAgentAddress(*address);
            dlg.exec();
        };
        m_window = std::make_unique<COrtolanDlg>(seam, std::move(hooks));
        m_replay = replay.has_value();
        // Interface names of the agents configured for SNMP: the cache at
        // once, then the agents' answers.
        const std::string state = app.SnmpStateFolder();
        m_window->controller().interfaceNames().Start(&m_interfaceReader, ReadAgentSnmpSettings(app.Settings()),
                                                      state.empty() ? std::string() : state + kIfNameCacheFile);
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
    // Before the window, whose controller asks it: it goes last.
    CSnmpInterfaceNameReader m_interfaceReader;
    std::unique_ptr<COrtolanDlg> m_window;
    bool m_replay = false;
    std::optional<std::string> m_snapshot;
};

// The start-up sequence under a running QApplication; returns the exit status.
int RunStartUp(COrtolanApp& app, IDialogSeam& seam,
               const std::function<std::unique_ptr<IMainWindow>(COrtolanApp&, IDialogSeam&)>& makeMainWindow)
{
    // The executable folder is found once, before anything asks for the
    // files beside it.
    app.ExecutableFolder();

    std::unique_ptr<CSnmpLibrary> snmp =
        SnmpLibraryStart("ORTOLAN", app.ConfigFolder(), app.MibFolder(), app.SnmpStateFolder());

    app.ReadSettings();
    std::unique_ptr<IMainWindow> window = makeMainWindow(app, seam);
    COrtolanApp::LoadNameTables(app.ConfigFolder(), window->names());

    auto splash = std::make_unique<CSplash>(seam, window->widget());
    if (splash->Load(QString::fromStdString(app.SplashPath())) == CSplash::LoadResult::Ok) splash->ShowFor(3000);

    int status = window->Exec();
    // A child of the window: it goes first, or the window would delete it too.
    splash.reset();
    window.reset();

    SnmpLibraryStop(std::move(snmp));
    return status;
}

}  // namespace

bool HasDisplay()
{
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

int RunGui(int argc, char** argv, const std::optional<std::string>& replay,
           const std::optional<std::string>& snapshot)
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(ORTOLAN_APP_ID));
    InstallQtTranslations(app);
    CQtDialogSeam seam;
    COrtolanApp ortolan;
    return RunStartUp(ortolan, seam, [&](COrtolanApp& a, IDialogSeam& s) -> std::unique_ptr<IMainWindow> {
        return std::make_unique<CMainWindow>(a, s, replay, snapshot);
    });
}

}  // namespace ortolan
