// The saved party at start and at every change.
#include "app/party_keeper.h"

#include <QLocale>

#include "app/main_window.h"
#include "platform/errors.h"
#include "platform/ini_file.h"
#include "platform/user_interface.h"
#include "settings/language_file.h"

namespace app {

namespace {

// The words of the saved party's language, so the question speaks as the night did.
std::vector<settings::LanguageText> WordsIn(const QString& code, const platform::DisplayTexts& current) {
    const std::filesystem::path path = settings::LanguageFile(code.toStdU16String());
    if (code.isEmpty() || path.empty()) return {};
    return settings::ReadLanguage(platform::IniFile(path), current);
}

std::u16string Word(const std::vector<settings::LanguageText>& saved, const platform::DisplayTexts& current,
                    std::u16string_view key) {
    for (const settings::LanguageText& t : saved)
        if (t.key->key == key && !t.text.empty()) return t.text;
    const std::u16string word = current.Get(key);
    return word.empty() ? std::u16string(settings::LanguageDefault(key)) : word;
}

QLocale LocaleOf(const QString& code) {
    return code == QLatin1String("deu")   ? QLocale(QLocale::German, QLocale::Germany)
           : code == QLatin1String("fra") ? QLocale(QLocale::French, QLocale::France)
                                          : QLocale(QLocale::English, QLocale::UnitedKingdom);
}

}  // namespace

PartyKeeper::PartyKeeper(TForm1& form, std::filesystem::path folder)
    : form_(form),
      file_(std::move(folder)),
      saver_([this] { return Save(); },
             [this](std::chrono::milliseconds delay) { timer_.start(static_cast<int>(delay.count())); }) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { saver_.Fire(); });
}

PartyKeeper::~PartyKeeper() {
    form_.Party().SetChangeHandler(nullptr);
    Flush();
}

void PartyKeeper::Start() {
    session::Party& party = form_.Party();
    const session::PartyLoad load = file_.Load(session::PartyTextsFrom(party.Texts()));
    bool replace = false;
    if (load.state == session::PartyState::Unreadable) {
        platform::UserInterface().ShowMessage(load.message.toStdU16String());
    } else if (load.state == session::PartyState::Readable && !load.party.EndedWithEmptyQueue()) {
        const session::PartySnapshot& saved = load.party;
        const std::vector<settings::LanguageText> words = WordsIn(saved.language, party.Texts());
        const auto word = [&](std::u16string_view key) { return Word(words, party.Texts(), key); };
        const QString text = QString::fromStdU16String(word(u"party_resume_text"))
                                 .arg(LocaleOf(saved.language).toString(saved.savedAt, QLocale::ShortFormat))
                                 .arg(saved.queue.size())
                                 .arg(saved.requests.size());
        const int answer = platform::UserInterface().Choose(
            word(u"party_resume_title"), text.toStdU16String(), {word(u"party_resume"), word(u"party_new")});
        if (answer == 0) form_.ResumeParty(saved);
        // A new party chosen is the night from now on; a question closed unanswered keeps the
        // saved one until something changes.
        replace = answer == 1;
    }
    started_ = true;
    party.SetChangeHandler([this] { saver_.Changed(); });
    if (replace) saver_.Changed();
}

void PartyKeeper::Flush() {
    if (started_) saver_.Flush();
}

bool PartyKeeper::Save() {
    try {
        file_.Save(form_.Party().SavedParty());
        failing_ = false;
        return true;
    } catch (const platform::Error& e) {
        if (!failing_) form_.Party().Notice(QString::fromUtf8(e.what()));
        failing_ = true;
        return false;
    }
}

}  // namespace app
