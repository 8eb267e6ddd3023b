// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The list windows' "CSV出力": the list CSV text of list_csv.h, from a
// model's header and display texts, saved where the user chooses.
#include <string>

#include "list_csv.h"

class QAbstractItemModel;
class QString;
class QWidget;

namespace ortolan {

class IDialogSeam;

// Asks where to save (extension "csv", filter "CSV File (*.csv)|*.csv||") and
// writes the model's header texts and display texts, rows in the model's
// order (hand in the sorting proxy to get the order on screen). A model
// without rows asks nothing. Returns true when a file was written; a file
// that cannot be created writes nothing and is not reported to the user.
bool ExportListCsv(IDialogSeam& dialogs, QWidget* parent, const QString& title,
                   const QString& defaultName, const QAbstractItemModel& model);

// Writes bytes to a new or replaced file; false when it cannot be created or
// written completely (a partial file is removed).
bool WriteWholeFile(const QString& path, const std::string& bytes);

}  // namespace ortolan
