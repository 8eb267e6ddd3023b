// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real executable, run as a user runs it.
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <climits>
#include <unistd.h>

namespace ortolan::testing {

// The ortolan executable beside the test executable.
inline QString Executable()
{
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    path[n] = '\0';
    return QFileInfo(QString::fromLocal8Bit(path)).absolutePath() + "/ortolan";
}

struct tagProcessRun {
    bool finished = false;
    int status = -1;
    QString out;
    QString err;
};

// Runs the executable to its end (at most 20 s) with the environment given.
inline tagProcessRun RunOrtolan(const QStringList& args,
                                const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(Executable(), args);
    tagProcessRun run;
    run.finished = p.waitForStarted(5000) && p.waitForFinished(20000);
    if (!run.finished) p.kill(), p.waitForFinished(5000);
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

}  // namespace ortolan::testing
