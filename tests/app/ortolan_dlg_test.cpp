// SPDX-License-Identifier: GPL-3.0-or-later
// The main window offscreen with the dialog seam scripted: the form's range
// checks, the buttons that need one selected port, and what the window shows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QChartView>
#include <QElapsedTimer>
#include <QValueAxis>
#include <fstream>

#include "chart_ctrl.h"
#include "datagram_builder.h"
#include "monitor_log_fixture.h"
#include "monitor_test_support.h"
#include "ortolan_dlg.h"
#include "rich_text_panel.h"
#include "scripted_dialog_seam.h"
#include "state_pictures.h"
#include "status_lines.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;

void EnsureApp()
{
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        window = std::make_unique<COrtolanDlg>(dialogs, tagMainWindowHooks{}, &resolver);
    }

    // One sFlow row (10.0.0.1), one more sFlow row (10.0.0.2) and a NetFlow row.
    void AddRows()
    {
        CMonitorController& c = window->controller();
        for (uint8_t agent = 1; agent <= 2; ++agent) {
            Bytes b = SflowV5Header(1, 1, 0, {10, 0, 0, agent}, 1000);
            b.raw(CounterSampleV5(IfCounters{}));
            c.sflow().FeedDatagram(b.data().data(), b.size(), 1796605500, "10.0.0.1", 6343);
        }
        auto nf = NetflowV5(1, {FlowSpec{}});
        c.netflow().FeedDatagram(nf.data(), nf.size(), 1796605500, "10.0.0.9", 2055);
        c.SetIntervalTime(1796605500);
        c.UpdateTrends();
        ASSERT_EQ(c.list().rowCount(), 3);
    }

    void Select(std::initializer_list<int> rows)
    {
        QItemSelectionModel* sel = window->listView()->selectionModel();
        sel->clearSelection();
        for (int r : rows)
            sel->select(window->listView()->model()->index(r, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    ScriptedDialogSeam dialogs;
    FakeResolver resolver;
    std::unique_ptr<COrtolanDlg> window;
};

TEST_F(MainWindowTest, OpensWithDefaultsTabsAndColumns)
{
    EXPECT_EQ(window->windowTitle(), "Ortolan");
    const char* defaults[] = {"0", "0", "60", "120", "14"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(window->field(i)->text(), defaults[i]);
    EXPECT_EQ(window->startButton()->text(), QString::fromUtf8("開始"));
    EXPECT_EQ(window->listKindBox()->count(), 13);
    EXPECT_EQ(window->listKindBox()->itemText(0), QString::fromUtf8("MACアドレス一覧"));
    EXPECT_EQ(window->listKindBox()->itemText(12), QString::fromUtf8("NICメーカ別集計"));
    ASSERT_EQ(window->tabs()->count(), 5);
    EXPECT_EQ(window->tabs()->tabText(0), QString::fromUtf8("回線負荷指数"));
    EXPECT_EQ(window->tabs()->tabText(2), QString::fromUtf8("回線帯域"));
    EXPECT_EQ(window->tabs()->currentIndex(), 0);
    EXPECT_EQ(window->chart(2)->GetHeaderText(), "回線負荷（Mbits/秒）");
    EXPECT_EQ(window->chart(0)->GetAxis(CChartModel::kAxisY).format, "%.3f");
    EXPECT_EQ(window->chart(1)->GetAxis(CChartModel::kAxisY).text, "Packets/秒");
    EXPECT_EQ(window->chart(4)->GetAxis(CChartModel::kAxisX).format, "%H:%M:%S");
    QAbstractItemModel* model = window->listView()->model();
    ASSERT_EQ(model->columnCount(), 14);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal), QString::fromUtf8("エージェント "));
    EXPECT_EQ(model->headerData(13, Qt::Horizontal), QString::fromUtf8("出力ファイル"));
    EXPECT_EQ(window->statusPanel()->PlainText(), QString::fromUtf8(testing::kNotMonitoringLine));
    // Scaling by the sampling rates is off until chosen, and its choice is kept.
    EXPECT_EQ(window->scaledBox()->text(), QString::fromUtf8("サンプリング補正"));
    EXPECT_FALSE(window->scaledBox()->isChecked());
    std::vector<bool> saved;
    tagMainWindowHooks hooks;
    hooks.readScaled = [] { return true; };
    hooks.saveScaled = [&saved](bool on) { saved.push_back(on); };
    COrtolanDlg kept(dialogs, hooks, &resolver);
    EXPECT_TRUE(kept.scaledBox()->isChecked());
    kept.scaledBox()->click();
    EXPECT_EQ(saved, std::vector<bool>{false});
}

TEST_F(MainWindowTest, OutOfRangeFieldRefusesTheStartWithTheRangeMessage)
{
    window->field(int(FormField::Refresh))->setText("4");
    window->startButton()->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0], QString::fromUtf8("5 から 300 までの整数を入力してください。"));
    EXPECT_FALSE(window->controller().monitoring());

    window->field(int(FormField::Refresh))->setText("300");
    window->field(int(FormField::SflowPort))->setText("65535");
    EXPECT_FALSE(window->ReadForm(false));
    EXPECT_EQ(dialogs.messages.last(), QString::fromUtf8("0 から 65534 までの整数を入力してください。"));
    window->field(int(FormField::SflowPort))->setText("x");
    EXPECT_FALSE(window->ReadForm(true));
    EXPECT_EQ(dialogs.messages.size(), 2);   // quiet reads show nothing

    window->field(int(FormField::SflowPort))->setText("6343");
    window->field(int(FormField::NetflowPort))->setText("4000000000");
    std::optional<tagMonitorSettings> s = window->ReadForm(false);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->sflowPort, 6343u);
    EXPECT_EQ(s->netflowPort, 4000000000u);
    EXPECT_EQ(s->refreshSeconds, 300u);
}

TEST_F(MainWindowTest, ButtonsFollowTheSelection)
{
    AddRows();
    EXPECT_FALSE(window->infoButton()->isEnabled());
    EXPECT_FALSE(window->captureButton()->isEnabled());
    EXPECT_FALSE(window->chartCsvButton()->isEnabled());

    Select({0});
    EXPECT_TRUE(window->infoButton()->isEnabled());
    EXPECT_TRUE(window->captureButton()->isEnabled());
    EXPECT_TRUE(window->chartCsvButton()->isEnabled());
    EXPECT_EQ(window->captureButton()->text(), QString::fromUtf8("ファイル出力"));

    Select({0, 1});
    EXPECT_FALSE(window->infoButton()->isEnabled());
    EXPECT_FALSE(window->captureButton()->isEnabled());
    EXPECT_FALSE(window->chartCsvButton()->isEnabled());

    // A NetFlow row: no capture; information only for the kinds a flow fills.
    int netflowRow = window->controller().list().FindRow("NetFlow V5:10.0.0.9:0");
    ASSERT_GE(netflowRow, 0);
    Select({netflowRow});
    window->listKindBox()->setCurrentIndex(0);
    EXPECT_FALSE(window->infoButton()->isEnabled());
    EXPECT_FALSE(window->captureButton()->isEnabled());
    EXPECT_TRUE(window->chartCsvButton()->isEnabled());
    window->listKindBox()->setCurrentIndex(1);
    EXPECT_TRUE(window->infoButton()->isEnabled());
    window->listKindBox()->setCurrentIndex(12);
    EXPECT_FALSE(window->infoButton()->isEnabled());
}

TEST_F(MainWindowTest, ARefreshWidensColumnsTheValuesOutgrewButNotOnesTheUserSized)
{
    AddRows();
    window->RowsAppeared();
    CMonitorListModel& list = window->controller().list();
    QTableView* view = window->listView();
    const int load = int(MonitorColumn::LoadIndex);
    const int rate = int(MonitorColumn::PacketRate);
    const QString wide = QStringLiteral("1234567890123.456");
    ASSERT_LT(view->columnWidth(load), view->fontMetrics().horizontalAdvance(wide));

    list.SetCell(0, MonitorColumn::LoadIndex, wide.toStdString(), 1.2e12);
    list.NotifyChanged();
    const int grown = view->columnWidth(load);
    EXPECT_GE(grown, view->fontMetrics().horizontalAdvance(wide));
    // A value shrinking back leaves the width as it is.
    list.SetCell(0, MonitorColumn::LoadIndex, "1.000", 1);
    list.NotifyChanged();
    EXPECT_EQ(view->columnWidth(load), grown);
    // A width the user dragged is the user's.
    view->horizontalHeader()->resizeSection(rate, 40);
    const int dragged = view->columnWidth(rate);
    list.SetCell(0, MonitorColumn::PacketRate, wide.toStdString(), 1.2e12);
    list.NotifyChanged();
    EXPECT_EQ(view->columnWidth(rate), dragged);
    EXPECT_LT(dragged, view->fontMetrics().horizontalAdvance(wide));
}

TEST_F(MainWindowTest, CaptureButtonOpensAndClosesTheFile)
{
    AddRows();
    Select({0});
    QString path = QDir::temp().filePath("ortolan_dlg_test.pcap");
    dialogs.saveAnswers.push_back(path);
    window->captureButton()->click();
    EXPECT_EQ(window->captureButton()->text(), QString::fromUtf8("出力停止"));
    EXPECT_EQ(window->controller().list().text(0, MonitorColumn::OutputFile), path.toStdString());
    window->captureButton()->click();
    EXPECT_EQ(window->captureButton()->text(), QString::fromUtf8("ファイル出力"));
    EXPECT_EQ(window->controller().list().text(0, MonitorColumn::OutputFile), "");
    QFile::remove(path);
}

TEST_F(MainWindowTest, StartAndStopSwitchFieldsCaptionAndIndicator)
{
    window->field(int(FormField::SflowPort))->setText(QString::number(FreeUdpPort()));
    window->field(int(FormField::NetflowPort))->setText(QString::number(FreeUdpPort()));
    window->startButton()->click();
    ASSERT_TRUE(window->controller().monitoring());
    EXPECT_EQ(window->startButton()->text(), QString::fromUtf8("停止"));
    EXPECT_FALSE(window->field(int(FormField::SflowPort))->isEnabled());
    EXPECT_FALSE(window->field(int(FormField::CounterPeriod))->isEnabled());
    EXPECT_TRUE(window->field(int(FormField::Retention))->isEnabled());
    EXPECT_TRUE(window->stateIndicator()->animated());
    EXPECT_TRUE(window->statusPanel()->PlainText().contains(QString::fromUtf8("モニタしています。")));

    window->startButton()->click();
    EXPECT_FALSE(window->controller().monitoring());
    EXPECT_EQ(window->startButton()->text(), QString::fromUtf8("開始"));
    EXPECT_TRUE(window->field(int(FormField::SflowPort))->isEnabled());
    EXPECT_FALSE(window->stateIndicator()->animated());
}

TEST_F(MainWindowTest, NoKeyEndsMonitoringAndClosingWhileMonitoringAsksFirst)
{
    window->show();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible()) << "Escape closed the idle window";

    window->field(int(FormField::SflowPort))->setText(QString::number(FreeUdpPort()));
    window->field(int(FormField::NetflowPort))->setText(QString::number(FreeUdpPort()));
    window->startButton()->click();
    ASSERT_TRUE(window->controller().monitoring());
    // ログ保存日数 stays editable while monitoring; Enter there, or Escape
    // anywhere, must neither stop monitoring nor close the window.
    QLineEdit* retention = window->field(int(FormField::Retention));
    ASSERT_TRUE(retention->isEnabled());
    retention->setFocus();
    // Checked after each key: a second press of the default button would start again.
    QTest::keyClick(retention, Qt::Key_Return);
    EXPECT_TRUE(window->controller().monitoring()) << "Return in a field pressed 停止";
    QTest::keyClick(retention, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(window->controller().monitoring()) << "Enter in a field pressed 停止";
    QTest::keyClick(retention, Qt::Key_Escape);
    QTest::keyClick(window->listView(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible()) << "Escape closed the window while monitoring";
    EXPECT_TRUE(window->controller().monitoring());
    EXPECT_TRUE(dialogs.questions.isEmpty());

    // Closing, by the title bar or by 終了, asks; No keeps both window and monitoring.
    QPushButton* quit = nullptr;
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->text() == QString::fromUtf8("終了")) quit = b;
    ASSERT_NE(quit, nullptr);
    EXPECT_FALSE(window->close());
    quit->click();
    ASSERT_EQ(dialogs.questions.size(), 2);
    EXPECT_TRUE(dialogs.questions[0].contains(QString::fromUtf8("終了しますか")));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->controller().monitoring());

    // Yes stops monitoring, then closes.
    dialogs.yesNoAnswers.push_back(true);
    quit->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->controller().monitoring());
    EXPECT_EQ(window->result(), int(QDialog::Accepted));

    // An idle window closes without a question.
    window->show();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(dialogs.questions.size(), 3) << "the idle window asked before closing";
}

// A log whose rates jump by up to fifteen orders of magnitude between two
// refreshes, up and down: an sFlow agent's counters and a NetFlow exporter's flows.
void WriteJumpingLog(const std::string& path, int64_t start)
{
    const uint32_t packets[] = {10, 10000, 10, 30000, 10, 1000000000, 3, 20, 5, 1};
    const uint64_t octets[] = {10, 10000, 1000000000000ull, 10, 30000, 1000000000000000ull, 4, 100, 2, 7};
    std::ofstream log(path);
    IfCounters c;
    for (int step = 0; step < 10; ++step) {
        int64_t t = start + step * 60;
        uint32_t uptime = uint32_t(1000 + step * 60000);
        c.inUcast += packets[step];
        c.inOctets += octets[step];
        Bytes b = SflowV5Header(uint32_t(step + 1), 2, 0, {10, 0, 0, 1}, uptime);
        FrameSpec frame;
        frame.src[3] = uint8_t(1 + step);
        b.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame(frame), 60)}));
        b.raw(CounterSampleV5(c));
        log << "S\t" << t << "\t10.0.0.1\t6343\t" << HexOf(b.data()) << "\n";
        FlowSpec flow;
        flow.packets = packets[step];
        flow.octets = uint32_t(std::min<uint64_t>(octets[step], 4000000000ull));
        log << "N\t" << t << "\t10.0.0.9\t2055\t" << HexOf(NetflowV5(uint32_t(step + 1), {flow}, 0, -1, uptime))
            << "\n";
    }
}

TEST(MainWindowReplay, ValuesJumpingOverFifteenOrdersOfMagnitudeDrawPromptly)
{
    EnsureApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteJumpingLog(dir.filePath("FL2026-12-07.log").toStdString(), 1796605500);
    tagMainWindowHooks hooks;
    hooks.chooseStart = [](QWidget*) {
        return std::optional<tagStartChoice>(tagStartChoice{false, {"FL2026-12-07.log"}});
    };
    std::string folder = dir.path().toStdString() + "/";
    hooks.logFolder = [folder] { return folder; };
    ScriptedDialogSeam dialogs;
    FakeResolver resolver;
    COrtolanDlg window(dialogs, hooks, &resolver);
    window.field(int(FormField::Refresh))->setText("5");
    window.show();

    QElapsedTimer timer;
    timer.start();
    window.startButton()->click();
    for (int tab = 0; tab < kTrendChartCount; ++tab) {
        window.tabs()->setCurrentIndex(tab);
        window.chart(tab)->GrabImage();
    }
    // A hang guard, not a speed target: the old axis took minutes or forever.
    EXPECT_LT(timer.elapsed(), 30000);
    ASSERT_EQ(window.controller().list().rowCount(), 2);

    for (int tab = 0; tab < kTrendChartCount; ++tab) {
        SCOPED_TRACE(tab);
        CChartCtrl* chart = window.chart(tab);
        double top = 0;
        for (int s = 0; s < chart->GetCount(); ++s)
            for (int i = 0; i < chart->GetDataSeries(s)->GetCount(); ++i)
                top = std::max(top, chart->GetDataSeries(s)->GetAt(i)->y);
        auto* axis = qobject_cast<QValueAxis*>(
            chart->findChild<QChartView*>()->chart()->axes(Qt::Vertical).value(0));
        ASSERT_NE(axis, nullptr);
        EXPECT_GE(axis->max(), top);
        EXPECT_LE(axis->max(), top * 5 + 1);
        EXPECT_LE(axis->tickCount(), 11);
    }
    // The load index went past 10^15.
    auto* load = qobject_cast<QValueAxis*>(window.chart(0)->findChild<QChartView*>()->chart()->axes(Qt::Vertical).value(0));
    EXPECT_GE(load->max(), 1e15);
}

TEST(MainWindowReplay, ALongReplayShowsItsProgressAndCanBeCancelled)
{
    EnsureApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"FL2026-12-06.log", "FL2026-12-07.log"})
        WriteSampleLog(dir.filePath(name).toStdString(), 1796605500, 600);
    tagMainWindowHooks hooks;
    hooks.chooseStart = [](QWidget*) {
        return std::optional<tagStartChoice>(tagStartChoice{false, {"FL2026-12-06.log", "FL2026-12-07.log"}});
    };
    std::string folder = dir.path().toStdString() + "/";
    hooks.logFolder = [folder] { return folder; };
    ScriptedDialogSeam dialogs;
    FakeResolver resolver;
    COrtolanDlg window(dialogs, hooks, &resolver);
    window.SetReplayProgressDelay(0);
    // Every progress call finds 100 ms gone: the dialog shows at the first and
    // moves at each block, however fast the machine reads.
    int64_t clockMs = 0;
    window.SetReplayClock([&clockMs] { return clockMs += 100; });
    window.show();

    // The event loop runs during the replay: the dialog is looked at and
    // cancelled from a timer, as a user would click it.
    QString label;
    bool shownModal = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, &window, [&] {
        auto* progress = window.findChild<QProgressDialog*>();
        if (!progress || progress->value() <= 0 || progress->wasCanceled()) return;
        label = progress->labelText();
        shownModal = progress->isVisible() && progress->windowModality() == Qt::WindowModal;
        progress->cancel();
    });
    watcher.start(0);
    window.startButton()->click();
    watcher.stop();
    EXPECT_TRUE(shownModal);
    EXPECT_TRUE(label.contains(QStringLiteral("FL2026-12-06.log (1/2)"))) << label.toStdString();
    EXPECT_EQ(window.findChild<QProgressDialog*>(), nullptr);
    // Cancelled early in the first day: part of it is shown, the second day not read.
    uint64_t datagrams = window.controller().sflow().datagramCount;
    EXPECT_GT(datagrams, 0u);
    EXPECT_LT(datagrams, 3u * 1200u);
    EXPECT_GT(window.controller().list().rowCount(), 0);
}

TEST(StatePictures, ThreeDistinctIconsAndAnimatedFrames)
{
    EnsureApp();
    QList<QIcon> icons = MakeStateIcons();
    ASSERT_EQ(icons.size(), 3);
    QImage fresh = icons[0].pixmap(16, 16).toImage();
    QImage old = icons[2].pixmap(16, 16).toImage();
    EXPECT_NE(fresh.pixel(8, 8), old.pixel(8, 8));
    EXPECT_NE(MakeMonitoringFrame(48, 0, 12).toImage(), MakeMonitoringFrame(48, 3, 12).toImage());
}

}  // namespace
}  // namespace ortolan
