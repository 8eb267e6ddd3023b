// SPDX-License-Identifier: GPL-3.0-or-later
// One application object and one running SNMP library for the whole test
// program: the library can be initialised only once per process. The SNMP
// tests need only QtCore's event loop; the setup window's tests build this
// file with ORTOLAN_TEST_WIDGETS for a QApplication.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "snmp_library.h"

#if ORTOLAN_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#define ORTOLAN_TEST_PROGRAM "sflowcfg_tests"
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#define ORTOLAN_TEST_PROGRAM "ortolan_tests"
#endif

#ifndef ORTOLAN_MIB_DIR
#error "ORTOLAN_MIB_DIR must name the built Mibs folder"
#endif

namespace {

class CSnmpEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<TestApplication>(m_argc, m_argv);
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
    char m_name[16] = ORTOLAN_TEST_PROGRAM;
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<TestApplication> m_app;
    std::unique_ptr<QTemporaryDir> m_configDir;
    std::unique_ptr<ortolan::CSnmpLibrary> m_library;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CSnmpEnvironment);

}  // namespace
