// The guests' web server on the main window: the configuration check, the generated pages, the
// select request and starting and stopping the listener.
#include <QCoreApplication>
#include <QFileInfo>

#include "app/main_window.h"
#include "app/web_bridge.h"
#include "platform/errors.h"
#include "ui/info_box.h"
#include "ui/qr_window.h"
#include "web/listener.h"
#include "web/pages.h"

namespace app {

namespace {
std::string U(const QString& s) { return s.toStdString(); }

// The QR codes follow the listener: they show the guest address while it runs and vanish with it.
void ShowGuestURL(TForm1& f, const QString& url) {
    f.GuestURL = url;
    f.Form_InfoBox->SetGuestAddress(url);
    if (f.Form_QR && (url.isEmpty() || f.Form_QR->isVisible())) f.Form_QR->SetAddress(url);
}
}  // namespace

QString TForm1::WebRoot() {
    const QString root = QString::fromStdString(
        web::WebRoot(U(SetRec.HTMLpath), U(QCoreApplication::applicationDirPath())));
    Bridge->SetWebRoot(root);
    return root;
}

bool TForm1::WebConfigComplete() const {
    const auto isFile = [](const QString& path) { return tracks::FileExists(path); };
    return isFile(SetRec.StdPlayList) && isFile(SetRec.StdWebList) && isFile(SetRec.StdPresetList) &&
           !SetRec.HTMLpath.isEmpty() && QFileInfo(SetRec.HTMLpath).isDir();
}

bool TForm1::CheckWebConfig() {
    WebRoot();  // settings just applied: the listener serves from the new folder at once
    const bool ok = WebConfigComplete();
    // A running listener can always be stopped, whether or not the configuration is complete.
    const bool running = TcpServer1->Active();
    M70->setEnabled(!running);
    M80->setEnabled(running);
    return ok;
}

bool TForm1::PagesWanted() {
    // Checked first for the menu items it sets.
    return CheckWebConfig() || TcpServer1->Active();
}

void TForm1::ShowWebConfigAndMakePages() {
    const bool complete = CheckWebConfig();
    SetStatusPanel(1, Text(complete ? u"H22" : u"H21"));
    // A running listener serves its folder whatever the configuration: guests must not read a
    // night-old page there.
    if (complete || TcpServer1->Active()) {
        MakeHTML();
        MakeGuestPoolHTML();
    }
}

namespace {

// The guest site speaks the program's language: its fragments and its fixed texts.
web::SiteTexts SiteOf(const TForm1& f) {
    web::SiteTexts site;
    site.code = U(f.LanguageCode);
    site.take = U(f.Text(u"web_take"));
    site.medium = U(f.Text(u"web_medium"));
    site.yourChoice = U(f.Text(u"web_choice"));
    site.recent = U(f.Text(u"web_recent"));
    site.already = U(f.Text(u"web_already"));
    return site;
}

bool DeckBusy(const playback::AudioDeck& d) {
    return d.Mode() == playback::mpPlaying || d.Mode() == playback::mpPaused;
}

}  // namespace

void TForm1::MakeHTML() {
    const bool playing = DeckBusy(*MediaPlayer1) || DeckBusy(*MediaPlayer2);
    // Before the first Play List the current row has not been heard yet.
    const int current = QueueStartedOnce ? Player->CurIndex : -1;
    web::MakeHTML(U(WebRoot()), WebBridge::Snapshot(ListView_soon->List()), current, playing, SiteOf(*this),
                  Bridge->Sink());
}

void TForm1::MakeGuestPoolHTML() {
    const tracks::StatusWords words = StatusWords();
    web::MakeGuestPoolHTML(U(WebRoot()), WebBridge::Snapshot(ListView_Guest_Pool->List()),
                           {U(words.blocked), U(words.chosen)}, SiteOf(*this), Bridge->Sink());
}

std::string TForm1::HandleSelect(const QString& host, const QString& time, const QString& path) {
    const requests::Admission a = AdmitRequest(host, time, path);
    const QString word = requests::StateWord(a.state, StatusWords(), Text(u"st_limit"));
    // A refused guest learns which track and why: a second tap on a link taken a moment ago
    // must not look like a lost request.
    QString reason;
    switch (a.state) {
        case requests::rsAdmitted: break;
        case requests::rsChosen: {
            bool mine = false;
            for (int i = 0; i < ListView_Guest->Count() && !mine; ++i)
                mine = ListView_Guest->SubItem(i, tracks::siFileName) == path &&
                       ListView_Guest->SubItem(i, tracks::siSrc) == host;
            reason = Text(mine ? u"web_why_yours" : u"web_why_chosen");
            break;
        }
        case requests::rsBlocked: reason = Text(u"web_why_blocked"); break;
        case requests::rsLimit: reason = Text(u"web_why_limit"); break;
        default: reason = Text(u"web_why_error"); break;
    }
    // A track the pool does not hold is named by its file (one from Windows separates with a backslash).
    const QString title = a.title.isEmpty() && a.state != requests::rsAdmitted
                              ? QFileInfo(path.section(QLatin1Char('\\'), -1)).completeBaseName()
                              : a.title;
    web::SelectAnswer answer =
        web::SelectPage(U(WebRoot()), SiteOf(*this), U(title), U(a.artist), U(word), U(reason));
    if (answer.headFound)
        SetStatusPanel(1, QStringLiteral("Gew\u00e4hlt: ") + (a.state == requests::rsAdmitted ? a.title : QString()));
    return std::move(answer.page);
}

void TForm1::StartWebServer() {
    WebRoot();  // the listener serves from the folder in force now
    std::string error;
    if (!TcpServer1->Start(WebPort, &error)) {
        // Not running: the menu offers the start again, and the DJ learns why.
        M70->setEnabled(true);
        M70->setChecked(false);
        M80->setEnabled(false);
        M80->setChecked(true);
        Label_IP->clear();
        Label_IP->setToolTip(QString());
        ShowGuestURL(*this, {});
        SetStatusPanel(1, Text(u"H24"));
        throw platform::Error(error.empty() ? "The web server cannot be started" : error);
    }
    const QString ip = QString::fromStdString(web::LocalIPAddress());
    const QString name = QString::fromStdString(web::LocalComputerName());
    const QString port = QString::number(TcpServer1->Port());
    ServerURL = (QStringLiteral("http://") + name + QLatin1Char(':') + port).toLower();
    Label_IP->setToolTip(ServerURL);
    Label_IP->setText(QStringLiteral("Server-IP: ") + ip + QStringLiteral(" : ") + port);
    AddLog(QStringLiteral("Server-IP: ") + ip);
    // Phones often cannot resolve the computer's name (ServerURL), so the code a guest scans
    // carries the address by number, and leads straight to the pool page.
    const bool known = ip != QStringLiteral("No. IP Address");
    ShowGuestURL(*this, known ? QStringLiteral("http://") + ip + QLatin1Char(':') + port +
                                    QStringLiteral("/tool/guestpool.html")
                              : QString());
    if (TcpServer1->Active()) {
        M70->setEnabled(false);
        M70->setChecked(true);
        M80->setEnabled(true);
        M80->setChecked(false);
        SetStatusPanel(1, Text(u"H23"));
        // Guests must find the lists as they are now, also before the configuration is complete
        // (until then no other event writes the pages).
        MakeHTML();
        MakeGuestPoolHTML();
    }
}

void TForm1::StopWebServer() {
    TcpServer1->Stop();
    if (!TcpServer1->Active()) {
        M70->setEnabled(true);
        M70->setChecked(false);
        M80->setEnabled(false);
        M80->setChecked(true);
        SetStatusPanel(1, Text(u"H24"));
    }
    Label_IP->clear();
    ShowGuestURL(*this, {});
}

void TForm1::Label_IPClick() {
    if (Label_IP->text().isEmpty() || GuestURL.isEmpty()) return;
    if (!Form_QR) Form_QR = new ui::QrWindow(this);
    Form_QR->setWindowTitle(Text(u"str_join"));
    Form_QR->SetAddress(GuestURL);
    Form_QR->show();
    Form_QR->raise();
    Form_QR->activateWindow();
}

void TForm1::M70Click() { StartWebServer(); }
void TForm1::M80Click() { StopWebServer(); }

}  // namespace app
