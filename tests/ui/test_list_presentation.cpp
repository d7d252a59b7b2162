// How rows are drawn by status, how the pools sort, and the details and banner windows.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/display_texts.h"
#include "ui/Dlg_Details.h"
#include "ui/info_box.h"
#include "ui/list_presentation.h"
#include "tests/support/qt_app.h"

namespace {

using tracks::TListView;
using tracks::TrackRow;
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

QStringList Titles(const TListView& list) {
    QStringList out;
    for (int i = 0; i < list.Count(); ++i) out << list.SubItem(i, tracks::siTitle);
    return out;
}

TEST(SortKeys, TextOrderWithOnlyAsciiLettersFolded) {
    EXPECT_EQ(ui::CompareSortKeys("abc", "ABC"), 0);
    EXPECT_LT(ui::CompareSortKeys("abc", "abd"), 0);
    EXPECT_GT(ui::CompareSortKeys("b", "A"), 0);
    EXPECT_LT(ui::CompareSortKeys("ab", "abc"), 0);  // a prefix comes first
    EXPECT_EQ(ui::CompareSortKeys("", ""), 0);
    EXPECT_LT(ui::CompareSortKeys("", "a"), 0);
    // Accented letters are not folded: upper and lower case differ.
    EXPECT_NE(ui::CompareSortKeys("\u00e9t\u00e9", "\u00c9T\u00c9"), 0);
    // Numbers and times compare as text.
    EXPECT_LT(ui::CompareSortKeys("####", "1999"), 0);
    EXPECT_GT(ui::CompareSortKeys("9:00", "10:00"), 0);
    // "n/a" sorts among the titles that begin with N.
    EXPECT_GT(ui::CompareSortKeys("n/a", "Mozart"), 0);
    EXPECT_LT(ui::CompareSortKeys("n/a", "Nadine"), 0);
    EXPECT_LT(ui::CompareSortKeys("n/a", "Olga"), 0);
    // Letters fold onto upper case, so '_' (between 'Z' and 'a') sorts after every letter.
    EXPECT_GT(ui::CompareSortKeys("_x", "zz"), 0);
    // Code units: a character beyond the basic plane compares by its first unit.
    EXPECT_GT(ui::CompareSortKeys(QString::fromUtf8("\xF0\x9F\x8E\xB5"), QString(QChar(0xD000))), 0);
}

TEST_F(Presentation, SortingOrdersRowsOnceAndKeepsTheSelection) {
    TListView list("P");
    ui::ApplyListLook(&list, ListKind::GuestPool, &texts);
    list.AppendRows({Row("beta", "1999"), Row("n/a", "####"), Row("Alpha", "2005"), Row("Nadine", "1980"),
                     Row("mozart", "2010")});
    list.SelectRow(3);  // Nadine

    ui::SortList(list, 1, false);
    EXPECT_EQ(Titles(list), (QStringList{"Alpha", "beta", "mozart", "n/a", "Nadine"}));
    EXPECT_EQ(list.SelectedIndex(), 4);
    EXPECT_EQ(list.SubItem(list.SelectedIndex(), tracks::siTitle), "Nadine");

    ui::SortList(list, 1, true);
    EXPECT_EQ(Titles(list), (QStringList{"Nadine", "n/a", "mozart", "beta", "Alpha"}));

    ui::SortList(list, 4, false);  // Year
    EXPECT_EQ(Titles(list), (QStringList{"n/a", "Nadine", "beta", "Alpha", "mozart"}));

    // Rows added later go to the end; the list does not stay sorted.
    list.AppendRow(Row("Aaron", "1900"));
    EXPECT_EQ(list.SubItem(5, tracks::siTitle), "Aaron");
    // A column outside the table leaves the order alone.
    ui::SortList(list, 8, false);
    EXPECT_EQ(list.SubItem(5, tracks::siTitle), "Aaron");
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
