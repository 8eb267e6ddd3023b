// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application object: where the program lives (the executable's folder,
// with Config and Mibs beside it), the two values that persist in the per-user
// settings store (the log folder and the last sFlow agent address), and the
// loading of the name tables both collectors share. The window's start-up
// sequence (gui_command.cpp) and the headless commands use it alike.
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "user_folders.h"

class QSettings;

namespace ortolan {

class CNameTables;

class COrtolanApp {
public:
    // The settings store: empty means the per-user store under
    // "HALVARD/ORTOLAN" and the application's name; tests pass a file of their own.
    explicit COrtolanApp(const QString& settingsFile = {}, CUserFolders userFolders = CUserFolders());
    ~COrtolanApp();
    COrtolanApp(const COrtolanApp&) = delete;
    COrtolanApp& operator=(const COrtolanApp&) = delete;

    // The folder of the running executable with its trailing "/", computed
    // once.
    const std::string& ExecutableFolder();
    // Overrides the executable folder (tests, or a relocated installation).
    void SetExecutableFolder(std::string folder);
    std::string ConfigFolder() { return ExecutableFolder() + "Config"; }
    std::string MibFolder() { return ExecutableFolder() + "Mibs"; }
    std::string SplashPath() { return ExecutableFolder() + "Setup.bmp"; }
    // Where the SNMP library keeps its persistent files: the user's state
    // folder, never the read-only installation.
    std::string SnmpStateFolder() const { return m_userFolders.StateFolder(); }

    // Re-reads "Setting"/"LOGPATH" and "Setting"/"SF_IP". An unreadable store
    // gives the defaults ("0.0.0.0", and no saved log folder). Without a
    // saved log folder the user's default log folder is used (and made).
    void ReadSettings();
    // The log folder: empty (the current folder, when the user has no home
    // folder either) or ending with a separator.
    const std::string& LogFolder() const { return m_logFolder; }
    // Makes the folder the log folder and saves it at once; false when the
    // store could not be written (the folder is still used for this run).
    bool SetLogFolder(std::string folder);
    const std::string& SfIp() const { return m_sfIp; }
    bool SetSfIp(std::string address);
    // The sampling rates the settings give exporters that send none: the
    // "Setting/SAMPLING_RATES" key, "ADDRESS=N" pairs apart by spaces or commas.
    std::vector<std::string> SamplingRates();
    // Whether the lists show their figures scaled by the sampling rates
    // ("Setting/SCALED_FIGURES"; off unless set).
    bool ScaledFigures();
    bool SetScaledFigures(bool on);

    // Loads "oui.txt", "IPProt.txt" and "Port.txt" from the folder (with or
    // without its trailing separator) into the tables both collectors share.
    // Missing files leave their tables empty. Returns a sentence for each table
    // that is missing, no regular file, or empty; the window goes on silently,
    // the headless commands print them.
    static std::vector<std::string> LoadNameTables(const std::string& configFolder, CNameTables& names);

    // The per-user settings store (the setup window keeps "SF_IP" in it).
    QSettings& Settings();

private:
    QString m_settingsFile;
    CUserFolders m_userFolders;
    std::unique_ptr<QSettings> m_settings;
    std::optional<std::string> m_executableFolder;
    std::string m_logFolder;
    std::string m_sfIp = "0.0.0.0";
};

}  // namespace ortolan
