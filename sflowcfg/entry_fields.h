// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Controls and checks the entry dialogs share: number fields read as signed
// 32-bit integers, IPv4 address fields, the period and version choice lists,
// and the size of a dialog given in dialog units.
#include <QString>
#include <cstdint>
#include <functional>

class QComboBox;
class QDialog;
class QFormLayout;
class QLineEdit;
class QWidget;

namespace ortolan {

class IDialogSeam;

QLineEdit* MakeIntEdit(QWidget* parent, int value);
// A field the user reads but does not edit: drawn on the window's colour,
// passed over by Tab, still selectable with the mouse for copying.
void MakeReadOnly(QLineEdit* field);
// Digits only (the period value).
QLineEdit* MakeDigitsEdit(QWidget* parent, int value);
QLineEdit* MakeIpv4Edit(QWidget* parent, uint32_t address);
QComboBox* MakePeriodUnitList(QWidget* parent, int unitIndex);
QComboBox* MakeDatagramVersionList(QWidget* parent, int versionIndex);

// The field as a signed 32-bit number; otherwise "整数を入力してください。"
// is shown, the field selected, and false returned.
bool ReadIntField(IDialogSeam& dialogs, QWidget* dialog, QLineEdit* field, int& value);

// An address field: empty parts count as 0, as in an address control
// ("192.168.1." is 192.168.1.0); false for text that is no address.
bool ReadIpv4Text(const QString& text, uint32_t& address);

// Resizes a dialog to a size in dialog units of its font (a quarter of the
// average character width, an eighth of the line height).
void SizeInDialogUnits(QWidget* widget, int width, int height);

// The entry dialogs' layout: the form on the left, "設定" (default, calls
// onSet) and "取消" (rejects) in a column on the right, sized in dialog units.
void LayOutEntryDialog(QDialog* dialog, QFormLayout* form, std::function<void()> onSet, int width,
                       int height);

}  // namespace ortolan
