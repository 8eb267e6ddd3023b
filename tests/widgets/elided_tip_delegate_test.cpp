// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolTip>

#include "elided_tip_delegate.h"
#include "qt_test_app.h"

namespace ortolan {
namespace {

TEST(ElidedTipDelegate, OnlyCutTextShowsInFullAsTheTooltip)
{
    testing::TestApp();
    QStandardItemModel model(1, 2);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("1175(118234567890)")));
    model.setItem(0, 1, new QStandardItem(QStringLiteral("12")));
    QTableView view;
    view.setModel(&model);
    auto* delegate = new CElidedTipDelegate(&view);
    view.setItemDelegate(delegate);
    view.setColumnWidth(0, 50);
    view.setColumnWidth(1, 120);
    view.resize(300, 120);
    view.show();

    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.font = view.font();
    option.fontMetrics = view.fontMetrics();
    // The tooltip text, or nothing when the cell asks for none.
    auto tipOf = [&](int column) -> QString {
        QModelIndex index = model.index(0, column);
        option.rect = view.visualRect(index);
        QHelpEvent event(QEvent::ToolTip, option.rect.center(), view.viewport()->mapToGlobal(option.rect.center()));
        if (!delegate->helpEvent(&event, &view, option, index)) return QStringLiteral("<none>");
        return QToolTip::text();
    };
    EXPECT_EQ(tipOf(0), QStringLiteral("1175(118234567890)"));
    EXPECT_EQ(tipOf(1), QStringLiteral("<none>"));
    // Widened to fit, the first cell needs no tooltip either.
    view.setColumnWidth(0, 260);
    EXPECT_EQ(tipOf(0), QStringLiteral("<none>"));
}

}  // namespace
}  // namespace ortolan
