// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ports and name tables of port_fixtures.h, with Qt's temporary folders.
#include <QString>
#include <QTemporaryDir>
#include <string>

#include "port_fixtures.h"

namespace ortolan::testing {

inline std::string WriteOuiFile(const QTemporaryDir& dir, const std::string& lines)
{
    return WriteOuiFile(dir.path().toStdString(), lines);
}

inline std::string ReadFile(const QString& path) { return ReadFile(path.toStdString()); }

}  // namespace ortolan::testing
