// One QApplication and one running SNMP library for the whole test program:
// the library can be initialised only once per process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <memory>

#include "snmp_library.h"

#ifndef ORTOLAN_MIB_DIR
#error "ORTOLAN_MIB_DIR must name the built Mibs folder"
#endif

namespace {

class CSflowcfgEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
        m_configDir = std::make_unique<QTemporaryDir>();
        m_library = ortolan::SnmpLibraryStart("ORTOLAN", m_configDir->path().toStdString(), ORTOLAN_MIB_DIR,
                                             m_configDir->path().toStdString());
    }

    void TearDown() override
    {
        ortolan::SnmpLibraryStop(std::move(m_library));
        m_configDir.reset();
        m_app.reset();
    }

private:
    int m_argc = 1;
    char m_name[16] = "sflowcfg_tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
    std::unique_ptr<QTemporaryDir> m_configDir;
    std::unique_ptr<ortolan::CSnmpLibrary> m_library;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CSflowcfgEnvironment);

}  // namespace
