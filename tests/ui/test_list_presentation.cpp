// How a list shows on screen: its view over the rows, the drawing by status, and the details and
// banner windows.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/display_texts.h"
#include "ui/Dlg_Details.h"
#include "ui/info_box.h"
#include "ui/list_presentation.h"
#include "tests/support/qt_app.h"

namespace {

using tracks::TrackRow;
using ui::TListView;
using ui::ListDelegate;
using ui::ListKind;

using test_support::EnsureApplication;

class Presentation : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        texts.SetAll({{u"st_blocked", u"blocked"}, {u"st_chosen", u"chosen"}, {u"st_next", u"next"},
                      {u"st_running", u"running"}});
    }
    platform::DisplayTexts texts;
};

TrackRow Row(const QString& title, const QString& year = "2000", const QString& status = "ready") {
    TrackRow r;
    r.Status = status;
    r.Title = title;
    r.Year = year;
    r.FileName = "/m/" + title;
    return r;
}

// The view shows the list's rows as they are; a selection made on either side shows on the
// other; a deleted selection leaves nothing selected, and a new order keeps the selected row.
TEST_F(Presentation, TheViewShowsItsListAndTheirSelectionsAgree) {
    tracks::TrackList list;
    TListView view("V", list);
    view.SetColumnCaption(1, "Titel");
    EXPECT_EQ(view.model()->headerData(1, Qt::Horizontal).toString(), "Titel");
    list.AppendRows({Row("a"), Row("b"), Row("c"), Row("d")});
    ASSERT_EQ(view.model()->rowCount(), 4);
    EXPECT_EQ(view.model()->index(2, 1).data().toString(), "c");
    EXPECT_EQ(view.model()->index(2, 7).data().toString(), "/m/c");
    list.SetCaption(2, "played");
    EXPECT_EQ(view.model()->index(2, 0).data().toString(), "played");

    const auto viewRow = [&] {
        const QModelIndexList rows = view.selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -rows.size() - 1;
    };
    list.SelectRow(1);
    EXPECT_EQ(viewRow(), 1);
    view.selectionModel()->select(view.model()->index(3, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(list.SelectedIndex(), 3);
    view.setCurrentIndex(view.model()->index(3, 0));
    list.DeleteRow(3);
    EXPECT_EQ(list.SelectedIndex(), -1);
    EXPECT_EQ(viewRow(), -1) << "the view selected a row by itself";
    list.SelectRow(0);
    list.Reorder({2, 1, 0});
    EXPECT_EQ(viewRow(), 2);
    EXPECT_EQ(view.model()->index(2, 1).data().toString(), "a");
    list.ClearRows();
    EXPECT_EQ(view.model()->rowCount(), 0);
    EXPECT_EQ(view.ColumnCaption(1), "Titel");
}

TEST_F(Presentation, PoolRowsShowBlockedAndChosenByTheWordsInForce) {
    ListDelegate pool(ListKind::GuestPool, &texts);
    auto blocked = pool.LookOf(0, "blocked");
    EXPECT_TRUE(blocked.marked);
    EXPECT_EQ(blocked.text, ui::kDarkRed);
    EXPECT_TRUE(blocked.struck);
    auto chosen = pool.LookOf(0, "chosen");
    EXPECT_TRUE(chosen.marked);
    EXPECT_EQ(chosen.text, ui::kTeal);
    EXPECT_FALSE(chosen.struck);
    EXPECT_FALSE(pool.LookOf(0, "ready").marked);
    EXPECT_FALSE(pool.LookOf(0, "Blocked").marked);

    ListDelegate presets(ListKind::Presets, &texts);
    EXPECT_TRUE(presets.LookOf(0, "blocked").struck);
    EXPECT_FALSE(presets.LookOf(0, "chosen").marked);  // presets mark only blocked rows

    ListDelegate requests(ListKind::GuestRequests, &texts);
    EXPECT_FALSE(requests.LookOf(0, "blocked").marked);

    // After a language change the old word is drawn plainly.
    texts.Set(u"st_blocked", u"gesperrt");
    EXPECT_FALSE(pool.LookOf(0, "blocked").marked);
    EXPECT_TRUE(pool.LookOf(0, "gesperrt").struck);
}

TEST_F(Presentation, QueueMarksCurrentAndNextOnlyWhilePlaying) {
    ListDelegate queue(ListKind::Queue, &texts);
    queue.SetQueueMarks({false, 1, 2});
    EXPECT_FALSE(queue.LookOf(1, "running").marked);
    EXPECT_FALSE(queue.LookOf(2, "").marked);

    queue.SetQueueMarks({true, 1, 2});
    auto current = queue.LookOf(1, "ready");
    EXPECT_TRUE(current.marked);
    EXPECT_EQ(current.text, ui::kRed);
    EXPECT_EQ(current.background, ui::kLightGreen);
    EXPECT_TRUE(current.bold);
    EXPECT_EQ(current.status, "running");
    auto next = queue.LookOf(2, "soon");
    EXPECT_EQ(next.text, ui::kBlue);
    EXPECT_FALSE(next.bold);
    EXPECT_EQ(next.status, "next");
    EXPECT_FALSE(queue.LookOf(0, "played").marked);

    queue.SetQueueMarks({true, 3, 3});  // the current row wins
    EXPECT_EQ(queue.LookOf(3, "").status, "running");
}

TEST_F(Presentation, ListLooks) {
    TListView guest("G"), pool("P"), presets("S");
    ui::ApplyListLook(&guest, ListKind::GuestRequests, &texts);
    ui::ApplyListLook(&pool, ListKind::GuestPool, &texts);
    ui::ApplyListLook(&presets, ListKind::Presets, &texts);
    EXPECT_EQ(guest.palette().color(QPalette::Base), ui::kLightGreen);
    EXPECT_EQ(presets.palette().color(QPalette::Base), ui::kSkyBlue);
    EXPECT_TRUE(guest.isColumnHidden(4));
    EXPECT_TRUE(guest.isColumnHidden(5));
    EXPECT_FALSE(pool.isColumnHidden(4));
    EXPECT_EQ(pool.columnWidth(1), 100);
    EXPECT_EQ(pool.columnWidth(2), 100);
    EXPECT_EQ(pool.columnWidth(3), 50);
    EXPECT_EQ(ui::DelegateOf(&pool)->Kind(), ListKind::GuestPool);
}

TEST_F(Presentation, DetailsBoxCollectsLinesAndBannerOnlyHides) {
    ui::TForm3 details;
    EXPECT_EQ(details.windowTitle(), "Details Box");
    details.AddText("Doppelt oder ung\u00fcltig: \r\ntrack.mp3");
    details.AddText("GET /index.html HTTP/1.0");
    EXPECT_EQ(details.Text(), "Doppelt oder ung\u00fcltig: \ntrack.mp3\nGET /index.html HTTP/1.0");
    EXPECT_EQ(details.ListBox1->count(), 0);

    // A night of request lines: only the latest stay.
    QStringList night;
    for (int i = 0; i < ui::TForm3::kLines + 5; ++i) night << QString::number(i);
    details.AddText(night.join(QStringLiteral("\r\n")));
    const QStringList kept = details.Text().split(QLatin1Char('\n'));
    EXPECT_EQ(kept.size(), ui::TForm3::kLines);
    EXPECT_EQ(kept.front(), QString::number(5));
    EXPECT_EQ(kept.back(), QString::number(ui::TForm3::kLines + 4));

    ui::TForm_InfoBox banner;
    EXPECT_EQ(banner.Label_Now->text(), "*");
    EXPECT_EQ(banner.Label_Next->text(), "*");
    int closed = 0;
    QObject::connect(&banner, &ui::TForm_InfoBox::Closed, [&] { ++closed; });
    banner.show();
    EXPECT_TRUE(banner.isVisible());
    banner.close();
    EXPECT_FALSE(banner.isVisible());
    EXPECT_EQ(closed, 1);
    banner.show();  // it can be shown again
    EXPECT_TRUE(banner.isVisible());
}

}  // namespace
