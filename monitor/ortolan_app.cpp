// SPDX-License-Identifier: GPL-3.0-or-later
#include "ortolan_app.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <unistd.h>

#include "nflow_mon.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

constexpr char kSettingsOrganization[] = "HALVARD/ORTOLAN";
constexpr char kLogPathKey[] = "Setting/LOGPATH";
constexpr char kSfIpKey[] = "Setting/SF_IP";
constexpr char kSamplingRatesKey[] = "Setting/SAMPLING_RATES";
constexpr char kScaledFiguresKey[] = "Setting/SCALED_FIGURES";
constexpr char kDefaultSfIp[] = "0.0.0.0";

// The folder of the running binary, from the kernel's link to it.
std::string RunningExecutableFolder()
{
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n > 0) {
        std::string text(path, size_t(n));
        size_t slash = text.rfind('/');
        if (slash != std::string::npos) return text.substr(0, slash + 1);
    }
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath().toStdString() + "/";
    return "./";
}

// The base name of the executable: the settings store's application name.
QString ApplicationName()
{
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return QStringLiteral("ortolan");
    return QFileInfo(QString::fromLocal8Bit(path, int(n))).completeBaseName();
}

std::string WithSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

COrtolanApp::COrtolanApp(const QString& settingsFile, CUserFolders userFolders)
    : m_settingsFile(settingsFile), m_userFolders(std::move(userFolders))
{
}

COrtolanApp::~COrtolanApp() = default;

const std::string& COrtolanApp::ExecutableFolder()
{
    if (!m_executableFolder) m_executableFolder = RunningExecutableFolder();
    return *m_executableFolder;
}

void COrtolanApp::SetExecutableFolder(std::string folder)
{
    m_executableFolder = WithSeparator(std::move(folder));
}

QSettings& COrtolanApp::Settings()
{
    if (!m_settings) {
        if (m_settingsFile.isEmpty())
            m_settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                     QString::fromLatin1(kSettingsOrganization),
                                                     ApplicationName());
        else
            m_settings = std::make_unique<QSettings>(m_settingsFile, QSettings::IniFormat);
    }
    return *m_settings;
}

void COrtolanApp::ReadSettings()
{
    QSettings& settings = Settings();
    settings.sync();
    m_logFolder.clear();
    m_sfIp = kDefaultSfIp;
    if (settings.status() == QSettings::NoError) {
        // A folder saved without its separator (edited by hand) still names a folder.
        m_logFolder = WithSeparator(settings.value(kLogPathKey).toString().toStdString());
        QString sfIp = settings.value(kSfIpKey, QString::fromLatin1(kDefaultSfIp)).toString();
        if (!sfIp.isEmpty()) m_sfIp = sfIp.toStdString();
    }
    // Never the current folder: started from a menu or as a service, the
    // program may be in any folder, or one the user cannot write.
    if (m_logFolder.empty()) {
        std::string folder = m_userFolders.DefaultLogFolder();
        if (CUserFolders::Make(folder)) m_logFolder = folder;
    }
}

bool COrtolanApp::SetLogFolder(std::string folder)
{
    m_logFolder = WithSeparator(std::move(folder));
    QSettings& settings = Settings();
    settings.setValue(kLogPathKey, QString::fromStdString(m_logFolder));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool COrtolanApp::SetSfIp(std::string address)
{
    m_sfIp = std::move(address);
    QSettings& settings = Settings();
    settings.setValue(kSfIpKey, QString::fromStdString(m_sfIp));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::vector<std::string> COrtolanApp::SamplingRates()
{
    QSettings& settings = Settings();
    settings.sync();
    // A list written by QSettings, or one text typed into the file by hand.
    const QStringList values = settings.value(kSamplingRatesKey).toStringList();
    std::vector<std::string> pairs;
    for (const QString& value : values)
        for (const QString& pair : value.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts))
            pairs.push_back(pair.toStdString());
    return pairs;
}

bool COrtolanApp::ScaledFigures()
{
    QSettings& settings = Settings();
    settings.sync();
    return settings.value(kScaledFiguresKey, false).toBool();
}

bool COrtolanApp::SetScaledFigures(bool on)
{
    QSettings& settings = Settings();
    settings.setValue(kScaledFiguresKey, on);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::vector<std::string> COrtolanApp::LoadNameTables(const std::string& configFolder, CNameTables& names)
{
    std::string folder = WithSeparator(configFolder);
    std::vector<std::string> problems;
    auto check = [&problems](const std::string& path, bool opened, bool empty) {
        if (!opened)
            problems.push_back("the name table " + path + " is missing or not a regular file; its names are not shown");
        else if (empty)
            problems.push_back("the name table " + path + " holds no names");
    };
    std::string oui = folder + "oui.txt";
    bool opened = names.LoadOuiTable(oui);
    check(oui, opened, names.oui.ouiNames.empty());
    std::string protocols = folder + "IPProt.txt";
    opened = names.LoadProtocolTable(protocols);
    check(protocols, opened, names.ipProtocolNames.empty());
    std::string services = folder + "Port.txt";
    opened = names.LoadPortTable(services);
    check(services, opened, names.tcpPortNames.empty() && names.udpPortNames.empty());
    return problems;
}

}  // namespace ortolan
