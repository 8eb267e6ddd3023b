// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Draws cells as the default delegate does and, when a cell's text is cut
// short ("1175(1…"), shows the whole text as its tooltip. Cells that fit keep
// the model's own tooltip, if any.
#include <QStyledItemDelegate>

namespace ortolan {

class CElidedTipDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // True when the cell's display text is wider than the room it is drawn in.
    bool IsElided(const QAbstractItemView* view, const QStyleOptionViewItem& option, const QModelIndex& index) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

}  // namespace ortolan
