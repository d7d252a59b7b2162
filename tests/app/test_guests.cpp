// Guests on the main window: select requests through the real listener, the web server menu,
// the configuration check, and the feeding timers carrying requests and presets into the queue.
#include <sys/socket.h>

#include <QRegularExpression>

#include "tests/app/guest_site.h"
#include "ui/Dlg_Details.h"

namespace {

using guest_site::GuestSite;

QStringList Column(const tracks::TListView* list, int column) {
    QStringList out;
    for (int i = 0; i < list->Count(); ++i) out << list->Row(i).Column(column);
    return out;
}

std::string Body(const std::string& answer) {
    const auto at = answer.find("\r\n\r\n");
    return at == std::string::npos ? std::string() : answer.substr(at + 4);
}

// The link of the pool page whose text is `title`.
std::string PoolLink(const std::string& poolPage, const std::string& title) {
    std::smatch m;
    const std::regex link("<a href=\"([^\"]+)\"[^>]*>" + std::regex_replace(title, std::regex(R"([#.()])"), R"(\$&)") +
                          "</a>");
    return std::regex_search(poolPage, m, link) ? m[1].str() : std::string();
}

TEST_F(GuestSite, GuestsRequestTracksThroughTheListener) {
    const QString halo = Track("Beyonc\xc3\xa9 - Halo.mp3", "Halo", "Beyonc\xc3\xa9"),
                  hash = Track("#1 Crush.mp3", "Crush #1", "Garbage"), plain = Track("plain.mp3", "Plain", "Nobody");
    FillPool({halo, hash, plain});
    const uint16_t port = StartServer();
    ASSERT_TRUE(form->TcpServer1->Active());
    EXPECT_EQ(form->Label_IP->text().left(11), "Server-IP: ");
    EXPECT_TRUE(form->Label_IP->text().endsWith(QStringLiteral(" : %1").arg(port))) << form->Label_IP->text().toStdString();
    EXPECT_TRUE(form->Label_IP->toolTip().startsWith("http://")) << "the hint carries the server's address";
    EXPECT_TRUE(!form->M70->isEnabled() && form->M70->isChecked() && form->M80->isEnabled() && !form->M80->isChecked());
    EXPECT_EQ(form->StatusPanel(1), form->Text(u"H23"));

    const std::string pool = Get("/tool/guestpool.html");
    ASSERT_EQ(pool.rfind("HTTP/1.0 200 OK\r\n\r\n", 0), 0u) << pool.substr(0, 80);
    struct Case {
        QString path;
        std::string title;
    } cases[] = {{halo, "Halo"}, {hash, "Crush #1"}};
    for (const Case& c : cases) {
        const std::string link = PoolLink(pool, c.title);
        ASSERT_FALSE(link.empty()) << c.title;
        const std::string select = guest_site::SelectLink(Body(Get(link)));
        ASSERT_FALSE(select.empty()) << c.title << " via " << link;
        const std::string answer = Get(select);
        EXPECT_EQ(answer.rfind("HTTP/1.0 200 OK\r\n\r\n", 0), 0u) << c.title;
        EXPECT_NE(answer.find(c.title), std::string::npos) << c.title;
        EXPECT_NE(answer.find(form->Text(u"st_ready").toStdString()), std::string::npos) << c.title;
        const int row = form->ListView_Guest->Count() - 1;
        ASSERT_GE(row, 0);
        EXPECT_EQ(form->ListView_Guest->SubItem(row, tracks::siFileName), c.path) << c.title;
        EXPECT_EQ(form->ListView_Guest->SubItem(row, tracks::siSrc), "127.0.0.1");
        EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d\\.\\d\\d$").match(form->ListView_Guest->SubItem(row, tracks::siTime)).hasMatch())
            << form->ListView_Guest->SubItem(row, tracks::siTime).toStdString();
    }
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("Gew\u00e4hlt: Crush #1"));
    EXPECT_EQ(Column(form->ListView_Guest_Pool, 0),
              (QStringList{form->Text(u"st_chosen"), form->Text(u"st_chosen"), form->Text(u"st_ready")}));
    const std::string poolAfter = guest_site::ReadAll(htdocs / "tool" / "guestpool.html");
    EXPECT_NE(poolAfter.find("already chosen"), std::string::npos) << "the pool page follows at once";

    // Asked again: refused with the reason, nothing added.
    const std::string again = Get(guest_site::SelectLink(Body(Get(PoolLink(pool, "Halo")))));
    EXPECT_NE(Body(again).find(form->Text(u"st_chosen").toStdString()), std::string::npos);
    EXPECT_EQ(form->ListView_Guest->Count(), 2);

    QCoreApplication::processEvents();  // the log and details lines are queued
    EXPECT_TRUE(form->ListBox_Log->findItems("select.htm", Qt::MatchExactly).size() >= 3);
    EXPECT_TRUE(form->Form3->Text().contains("GET /tool/guestpool.html"));
    EXPECT_TRUE(recorder->errors.empty() && recorder->messages.empty());
}

TEST_F(GuestSite, ServerMenuFailuresAndAnUnanswerableSelect) {
    // A port someone else holds: an error, and the server is not shown as running.
    const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    socklen_t len = sizeof addr;
    ::getsockname(taken, reinterpret_cast<sockaddr*>(&addr), &len);
    form->WebPort = ntohs(addr.sin_port);
    Run(&app::TForm1::M70Click);
    ::close(taken);
    EXPECT_EQ(recorder->errors.size(), 1u);
    EXPECT_FALSE(form->TcpServer1->Active());
    EXPECT_TRUE(form->M70->isEnabled() && !form->M70->isChecked() && !form->M80->isEnabled());
    EXPECT_TRUE(form->Label_IP->text().isEmpty());

    form->WebPort = 0;
    const QString track = Track("t.mp3", "Tee", "Band");
    FillPool({track});
    std::filesystem::remove(htdocs / "tool" / "guestpool.html");
    StartServer();
    ASSERT_TRUE(form->TcpServer1->Active());
    EXPECT_TRUE(std::filesystem::exists(htdocs / "tool" / "guestpool.html")) << "guests find the pool as it is now";
    const std::string select = guest_site::SelectLink(Body(Get(PoolLink(Get("/tool/guestpool.html"), "Tee"))));
    ASSERT_FALSE(select.empty());

    // A fragment gone: the guest gets no answer, the admission stands, the DJ sees the error
    // once the worker has been let go.
    std::filesystem::remove(root / "basics" / "foot.txt");
    EXPECT_EQ(Get(select), "");
    QCoreApplication::processEvents();
    EXPECT_EQ(form->ListView_Guest->Count(), 1);
    EXPECT_EQ(recorder->errors.size(), 2u);

    Run(&app::TForm1::M80Click);
    EXPECT_FALSE(form->TcpServer1->Active());
    EXPECT_TRUE(form->Label_IP->text().isEmpty());
    EXPECT_TRUE(form->M70->isEnabled() && !form->M70->isChecked() && !form->M80->isEnabled() && form->M80->isChecked());
    EXPECT_EQ(form->StatusPanel(1), form->Text(u"H24"));
}

TEST_F(GuestSite, ConfigurationDecidesWhetherEventsRewriteThePages) {
    const QString list = Track("list.lst", "x", "y"), track = Track("q.mp3", "Queued", "Band");
    FillPool({track});
    form->AddTrack(form->ListView_soon, track, "File");
    const auto poolPage = [&] { return guest_site::ReadAll(htdocs / "tool" / "guestpool.html"); };
    ASSERT_EQ(poolPage().find("recently played"), std::string::npos);

    // Incomplete: blocking recent tracks recomputes the pool but writes no page.
    form->CheckBox_block_latest->setEnabled(true);
    form->CheckBox_block_latest->setChecked(true);
    EXPECT_EQ(form->ListView_Guest_Pool->Caption(0), form->Text(u"st_blocked"));
    EXPECT_EQ(poolPage().find("recently played"), std::string::npos);
    EXPECT_FALSE(form->CheckWebConfig());

    for (QLineEdit* e : {form->Form2->Edit_PlayList, form->Form2->Edit_webList, form->Form2->Edit_PresetList})
        e->setText(list);
    form->Form2->Edit_HTMLpath->setText(QString::fromStdString(root.string()));
    EXPECT_TRUE(form->CheckWebConfig());
    EXPECT_TRUE(form->M70->isEnabled() && !form->M80->isEnabled()) << "stopped: it can be started";
    form->CheckBox_block_latest->setChecked(false);
    form->CheckBox_block_latest->setChecked(true);
    EXPECT_NE(poolPage().find("recently played"), std::string::npos);

    StartServer();
    EXPECT_TRUE(form->CheckWebConfig());
    EXPECT_TRUE(!form->M70->isEnabled() && form->M80->isEnabled());
    form->Form2->Edit_HTMLpath->setText(QString::fromStdString((root / "gone").string()));
    EXPECT_FALSE(form->CheckWebConfig());
    EXPECT_TRUE(form->M80->isEnabled()) << "a running server can always be stopped";
}

TEST_F(GuestSite, TimersCarryRequestsAndPresetsIntoThePlayingQueue) {
    const QString q1 = Track("q1.mp3", "Q1", "A"), g1 = Track("g1.mp3", "G1", "B"), g2 = Track("g2.mp3", "G2", "B"),
                  p1 = Track("p1.mp3", "P1", "C");
    form->AddTrack(form->ListView_soon, q1, "File");
    form->AddTrack(form->ListView_preselect, p1, "File");
    FillPool({g1, g2});
    form->AdmitRequest("10.0.0.9", "21:07.45", g1);
    form->AdmitRequest("10.0.0.8", "21:07.50", g2);
    ASSERT_EQ(form->ListView_Guest->Count(), 2);
    EXPECT_FALSE(form->Timer2->isActive()) << "requests wait while remote requests are not allowed";

    Run(&app::TForm1::pop0Click);  // phase 3 on an empty context list: the option boxes follow the lists
    form->RadioButton_web_mix_preselect->setChecked(true);
    form->CheckBox_guest_use->setChecked(true);
    form->CheckBox_preset_use->setChecked(true);
    EXPECT_TRUE(form->Timer2->isActive());
    form->TrackBar_fader->setValue(5);
    Run(&app::TForm1::Button_PlayListClick);
    EXPECT_TRUE(form->Timer3->isActive());

    const auto queue = [&] {
        std::string out;
        for (int i = 0; i < form->ListView_soon->Count(); ++i)
            out += QFileInfo(form->ListView_soon->SubItem(i, tracks::siFileName)).fileName().toStdString() + "<" +
                   form->ListView_soon->SubItem(i, tracks::siSrc).toStdString() + " ";
        return out;
    };
    // Mix Web: a request, then the next request waits for a preset; a queue with two rows after
    // the current one takes nothing.
    for (auto tick : {&app::TForm1::Timer2Timer, &app::TForm1::Timer2Timer, &app::TForm1::Timer3Timer,
                      &app::TForm1::Timer2Timer})
        Run(tick);
    EXPECT_EQ(queue(), "q1.mp3<File g1.mp3<10.0.0.9 p1.mp3<DJ + ");
    EXPECT_EQ(form->ListView_soon->SubItem(1, tracks::siTitle), "G1") << "tags are read afresh";
    EXPECT_NE(guest_site::ReadAll(htdocs / "index.html").find("P1"), std::string::npos) << "the preset step writes index.html";
    for (const char* line : {"Timer 2", "Timer3", "inserted preselect file:"})
        EXPECT_FALSE(form->ListBox_Log->findItems(line, Qt::MatchExactly).isEmpty()) << line;

    // The requested track plays when its turn comes; then the next request may follow it.
    auto* deck1 = static_cast<playback::TTestDeck*>(form->MediaPlayer1.get());
    auto* deck2 = static_cast<playback::TTestDeck*>(form->MediaPlayer2.get());
    bool played = false;
    for (int i = 0; i < 20 * 60 && !played; ++i) {
        clock->Advance(1000);
        Run(&app::TForm1::Timer1Timer);
        played = deck1->OpenedFile() == g1 || deck2->OpenedFile() == g1;
    }
    EXPECT_TRUE(played);
    Run(&app::TForm1::Timer2Timer);
    EXPECT_EQ(queue(), "q1.mp3<File g1.mp3<10.0.0.9 p1.mp3<DJ + g2.mp3<10.0.0.8 ");

    // Empty lists switch their timers off at the next tick.
    Run(&app::TForm1::Timer2Timer);
    Run(&app::TForm1::Timer3Timer);
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_FALSE(form->Timer3->isActive());
    EXPECT_TRUE(recorder->errors.empty() && recorder->messages.empty());
}

}  // namespace
