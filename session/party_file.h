#pragma once
// The saved party: a snapshot of the four lists, the current row, the settings in force, the
// language and the web server's state, kept in the user's data folder so that a closed or
// crashed program can take the night up again.
#include <QDateTime>
#include <QString>
#include <chrono>
#include <filesystem>
#include <functional>
#include <vector>

#include "platform/display_texts.h"
#include "settings/settings_record.h"
#include "tracks/track_list.h"

namespace session {

struct PartySnapshot {
    std::vector<tracks::TrackRow> queue, requests, guestPool, presets;  // rows with their states
    int current = -1;  // queue row started last; -1 when none
    settings::TSetRec settings;
    QString language;  // "eng", "deu", "fra"; empty when none was chosen
    bool webServerOn = false;
    QDateTime savedAt;  // set by Save; local time

    // Whether the run that saved it ended with an empty queue: the DJ cleared the night away,
    // so there is nothing to offer at the next start.
    bool EndedWithEmptyQueue() const { return queue.empty(); }
};

// Texts of the message about a saved party that cannot be read; English until the language's
// words are given (PartyTextsFrom).
struct PartyTexts {
    QString damaged = QStringLiteral("it is damaged");
    QString older = QStringLiteral("it was saved by an older version of the program");
    QString newer = QStringLiteral("it was saved by a newer version of the program");
    // %1 one of the three reasons, %2 the name it was kept under.
    QString setAside = QStringLiteral("The saved party could not be read: %1. It was kept as %2.");
    QString notSetAside = QStringLiteral("The saved party could not be read: %1. It stays as %2.");
};
// The words of the active language where it has them.
PartyTexts PartyTextsFrom(const platform::DisplayTexts& texts);

enum class PartyState {
    None,        // nothing saved (or another running program keeps the party)
    Readable,    // `party` holds what was saved
    Unreadable,  // damaged, older or newer: set aside, `message` says so
};

struct PartyLoad {
    PartyState state = PartyState::None;
    PartySnapshot party;
    QString message;                  // for the DJ when unreadable
    std::filesystem::path keptAs;     // where the unreadable file is now
};

// The party file of one folder. While one object holds the folder, no other (in this or another
// program) saves or loads there: two programs running at once must not overwrite each other's
// night.
class PartyFile {
public:
    // The file goes into `folder`, created when needed.
    explicit PartyFile(std::filesystem::path folder);
    ~PartyFile();
    PartyFile(const PartyFile&) = delete;
    PartyFile& operator=(const PartyFile&) = delete;

    // True while this object keeps the folder; false when another one does or the folder
    // cannot be made (then Load finds nothing and Save writes nothing).
    bool Owned() const { return lock_ >= 0; }
    std::filesystem::path FilePath() const { return folder_ / "party.json"; }

    // Reads the saved party. A file that cannot be read is renamed beside it (never deleted)
    // and described in `message`; it never throws.
    PartyLoad Load(const PartyTexts& texts = {}) const;

    // Writes the snapshot atomically (the old file stays whole until the new one is). Throws
    // platform::WriteError ("Unable to write to ...") when it cannot.
    void Save(const PartySnapshot& party) const;

private:
    std::filesystem::path folder_;
    int lock_ = -1;
};

// The file's bytes, and back; exposed for the tests and the benchmark. Parse gives a state of
// Readable or Unreadable with the reason in `message` (the %1 of the texts).
std::string PartyBytes(const PartySnapshot& party);
PartyLoad ParseParty(std::string_view bytes, const PartyTexts& texts = {});

// Asks for saves at every change and lets at most one happen per `gap` (one second): the first
// change after a quiet second is saved at the next turn of the event loop, later ones wait for
// the gap and go into one save. Nothing runs by itself: `schedule(delay)` asks the owner to call
// Fire() after `delay` (one single-shot timer), so nothing ticks at rest.
class SaveDebouncer {
public:
    using Clock = std::function<std::chrono::milliseconds()>;  // monotonic
    using Schedule = std::function<void(std::chrono::milliseconds delay)>;
    using Save = std::function<bool()>;  // true when the party was written

    SaveDebouncer(Save save, Schedule schedule, Clock now = SteadyNow,
                  std::chrono::milliseconds gap = std::chrono::seconds(1));

    void Changed();  // something the snapshot holds changed
    void Fire();     // the scheduled moment has come: save when due
    void Flush();    // the program closes: save now what waits
    bool Pending() const { return pending_; }

    static std::chrono::milliseconds SteadyNow();

private:
    void Arm();

    Save save_;
    Schedule schedule_;
    Clock now_;
    std::chrono::milliseconds gap_;
    bool pending_ = false;
    bool saved_ = false;  // no save yet: the first is due at once
    std::chrono::milliseconds last_{0}, due_{0};
};

}  // namespace session
