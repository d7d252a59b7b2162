// Reading language files: the key table in its order, defaults, and where the files are found.
#include "settings/language_file.h"

#include <mutex>
#include <system_error>

#include "platform/regular_file.h"

namespace settings {

namespace {

using U = LanguageUse;

const std::vector<LanguageKey> kKeys = {
    {u"MENU", u"MP10", u"&File", U::Caption},
    {u"MENU", u"MP19", u"&E&xit", U::Caption},
    {u"MENU", u"MP21", u"Add &Audio File To List", U::Caption},
    {u"MENU", u"MP30", u"&Settings", U::Caption},
    {u"MENU", u"MP31", u"&Player Mode", U::Caption},
    {u"MENU", u"MP60", u"&Display", U::Caption},
    {u"MENU", u"MP61", u"&Banner", U::Caption},
    {u"MENU", u"MP62", u"Input &Panel", U::Caption},
    {u"MENU", u"MP69", u"&Log Window", U::Caption},
    {u"MENU", u"MP70", u"&Webserver On", U::Caption},
    {u"MENU", u"MP80", u"W&ebserver Off", U::Caption},
    {u"MENU", u"MP90", u"&Info", U::Caption},
    {u"MENU", u"pop0", u"&Clear List", U::Caption},
    {u"MENU", u"pop1", u"&Add Sound Files", U::Caption},
    {u"MENU", u"pop2", u"&Remove Sound File", U::Caption},
    {u"MENU", u"pop3", u"&Load Playlist", U::Caption},
    {u"MENU", u"pop4", u"&Save Playlist", U::Caption},

    {u"BUTTON", u"bu_playlist", u"Play &List", U::Caption},
    {u"BUTTON", u"bu_pause", u"&Pause", U::Caption},
    {u"BUTTON", u"bu_stop", u"S&top", U::Caption},
    {u"BUTTON", u"bu_ff", u"F&orward", U::Caption},
    {u"BUTTON", u"bu_fade", u"Fade &out", U::Caption},
    {u"BUTTON", u"bu_load", u"&Load", U::Caption},
    {u"BUTTON", u"bu_save", u"&Save", U::Caption},
    {u"BUTTON", u"bu_ok", u"O&K", U::Caption},
    {u"BUTTON", u"bu_cancel", u"&Cancel", U::Caption},
    {u"BUTTON", u"rb_finish", u"Play List Once", U::Caption},
    {u"BUTTON", u"rb_restart", u"Repeat List", U::Caption},
    {u"BUTTON", u"rb_web_first", u"Prefer Web", U::Caption},
    {u"BUTTON", u"rb_web_mix", u"Mix Web", U::Caption},
    {u"BUTTON", u"rb_pre_1by1", u"Play In Order", U::Caption},
    {u"BUTTON", u"rb_pre_random", u"Play At Random", U::Caption},

    {u"LABEL", u"CB_doblock", u"Block Recent Tracks", U::Both},
    {u"LABEL", u"CB_guest", u"Allow Remote Requests", U::Caption},
    {u"LABEL", u"CB_preset", u"Add Preset Tracks", U::Caption},
    {u"LABEL", u"LB_fadeunit", u"seconds", U::Caption},
    {u"LABEL", u"LB_fade", u"Fading", U::Caption},
    {u"LABEL", u"LB_ffsec", u"&Forward Jump [sec]", U::Caption},
    {u"LABEL", u"LB_playlist", u"&Playlist File", U::Caption},
    {u"LABEL", u"LB_webList", u"&Remote Request File", U::Caption},
    {u"LABEL", u"LB_preselect", u"Pr&eselect File", U::Caption},
    {u"LABEL", u"LB_HTML", u"&HTML Path", U::Caption},
    {u"LABEL", u"LB_perguest", u"Re&quests Per Guest", U::Caption},
    {u"LABEL", u"CB_artist", u"No &Artist Twice In A Row", U::Caption},

    {u"GROUP", u"RG_repeat", u"Queue Play Mode", U::Caption},
    {u"GROUP", u"GB_Guest", u"Guest's Requests", U::Caption},
    {u"GROUP", u"GB_Preset", u"Pool Of Presets", U::Caption},
    {u"GROUP", u"GB_Settings", u"Basic Values", U::Caption},
    {u"GROUP", u"GB_Playlists", u"Playlist Files", U::Caption},
    {u"GROUP", u"GB_HTML", u"HTML Settings", U::Caption},

    {u"STATUS", u"st_ready", u"", U::DisplayText},
    {u"STATUS", u"st_blocked", u"", U::DisplayText},
    {u"STATUS", u"st_played", u"", U::DisplayText},
    {u"STATUS", u"st_running", u"", U::DisplayText},
    {u"STATUS", u"st_soon", u"", U::DisplayText},
    {u"STATUS", u"st_next", u"", U::DisplayText},
    {u"STATUS", u"st_error", u"", U::DisplayText},
    {u"STATUS", u"st_chosen", u"", U::DisplayText},
    {u"STATUS", u"st_limit", u"", U::DisplayText},

    {u"STRING", u"str_pause", u"&Pause", U::DisplayText},
    {u"STRING", u"str_go_on", u"&Go On", U::DisplayText},
    {u"STRING", u"str_file", u"File", U::DisplayText},
    {u"STRING", u"str_seconds", u"Seconds", U::DisplayText},
    {u"STRING", u"str_tracks", u"Tracks", U::DisplayText},
    {u"LABEL", u"LB_fadeover", u"Fadeover", U::DisplayText},
    {u"LABEL", u"LB_fadeunit", u"sec", U::DisplayText},
    {u"STRING", u"str_of", u"of", U::Both},
    {u"STRING", u"str_font", u"Font", U::DisplayText},
    {u"STRING", u"str_Color", u"Colour", U::DisplayText},
    {u"STRING", u"str_big", u"Big", U::DisplayText},
    {u"STRING", u"str_normal", u"Normal", U::DisplayText},
    {u"STRING", u"str_small", u"Small", U::DisplayText},
    {u"STRING", u"str_black", u"Black", U::DisplayText},
    {u"STRING", u"str_blue", u"Blue", U::DisplayText},
    {u"STRING", u"str_red", u"Red", U::DisplayText},
    {u"STRING", u"str_white", u"White", U::DisplayText},
    {u"STRING", u"str_coming_up", u"Coming up", U::DisplayText},
    {u"STRING", u"str_check", u"Check", U::DisplayText},
    {u"STRING", u"str_forward", u"F&orward", U::DisplayText},
    {u"STRING", u"str_qr_code", u"QR code", U::DisplayText},
    {u"STRING", u"str_join", u"Join the party", U::DisplayText},
    {u"STRING", u"str_remove", u"&Remove", U::DisplayText},

    {u"HINT", u"H01", u"Playlist stores the compiled line tracks", U::Caption},
    {u"HINT", u"H02", u"Remote pool where network users can chose from", U::Caption},
    {u"HINT", u"H03", u"List of remotely selected tracks", U::Caption},
    {u"HINT", u"H04", u"Pool of tracks preselected by the DJ", U::Caption},
    {u"HINT", u"H05", u"Double-click or \u2026", U::DisplayText},
    {u"HINT", u"H06", u"Choose in a dialog; a double click on the field does the same", U::DisplayText},
    {u"HINT", u"H21", u"Web configuration missing", U::DisplayText},
    {u"HINT", u"H22", u"Web server configuration ready", U::DisplayText},
    {u"HINT", u"H23", u"Web server running...", U::DisplayText},
    {u"HINT", u"H24", u"Web server stopped", U::DisplayText},
    {u"HINT", u"H25", u"Media is playing", U::DisplayText},
    {u"HINT", u"H26", u"Mediaplayer stopped", U::DisplayText},
    {u"HINT", u"H27", u"'%s' is not a valid integer value", U::DisplayText},

    // The fixed texts of the guests' pages, as HTML.
    {u"WEB", u"web_take", u"Request this track", U::DisplayText},
    {u"WEB", u"web_medium", u"Album", U::DisplayText},
    {u"WEB", u"web_choice", u"Your request:", U::DisplayText},
    {u"WEB", u"web_recent", u"recently played", U::DisplayText},
    {u"WEB", u"web_already", u"already chosen", U::DisplayText},
    {u"WEB", u"web_why_chosen", u"Another guest has asked for this track already; it plays soon.", U::DisplayText},
    {u"WEB", u"web_why_yours", u"Your request for this track is waiting already; it plays soon.", U::DisplayText},
    {u"WEB", u"web_why_blocked", u"This track is in the queue or has just been played.", U::DisplayText},
    {u"WEB", u"web_why_error", u"This track cannot be requested.", U::DisplayText},
    {u"WEB", u"web_why_limit", u"You have as many requests waiting as a guest may; ask again once one has played.",
     U::DisplayText},

    // The sound of the hand-overs: the dialog's options and the queue's loudness tooltip.
    {u"SOUND", u"CB_leveling", u"Even Lo&udness", U::Caption},
    {u"SOUND", u"CB_crossfade", u"Cr&ossfade", U::Caption},
    {u"SOUND", u"CB_nodeadair", u"No &Dead Air", U::Caption},
    {u"SOUND", u"str_loudness", u"Loudness", U::DisplayText},
    {u"SOUND", u"str_measuring", u"being measured\u2026", U::DisplayText},
    {u"SOUND", u"str_unmeasured", u"not measured", U::DisplayText},
    {u"SOUND", u"str_no_loudness", u"too quiet or too short to measure", U::DisplayText},
    {u"SOUND", u"str_played_at", u"played at", U::DisplayText},
    // The room display and the saved party.
    {u"ROOM", u"room_open", u"&Room Display", U::DisplayText},
    {u"ROOM", u"room_title", u"Room Display", U::DisplayText},
    {u"ROOM", u"room_now", u"Now playing", U::DisplayText},
    {u"ROOM", u"room_later", u"After that", U::DisplayText},
    {u"ROOM", u"room_request", u"Request", U::DisplayText},
    {u"ROOM", u"room_nothing", u"Nothing is playing", U::DisplayText},
    {u"PARTY", u"party_resume_title", u"Resume the party?", U::DisplayText},
    {u"PARTY", u"party_resume_text",
     u"A party was saved (%1). Tracks in the queue: %2; requests waiting: %3. Resume it? Playback and the web "
     u"server start when you start them.",
     U::DisplayText},
    {u"PARTY", u"party_resume", u"&Resume", U::DisplayText},
    {u"PARTY", u"party_new", u"&New Party", U::DisplayText},
    {u"PARTY", u"party_damaged", u"it is damaged", U::DisplayText},
    {u"PARTY", u"party_older", u"it was saved by an older version of the program", U::DisplayText},
    {u"PARTY", u"party_newer", u"it was saved by a newer version of the program", U::DisplayText},
    {u"PARTY", u"party_set_aside", u"The saved party could not be read: %1. It was kept as %2.", U::DisplayText},
    {u"PARTY", u"party_not_set_aside", u"The saved party could not be read: %1. It stays as %2.", U::DisplayText},
};

constexpr std::u16string_view kColumnDefaults[8] = {u"Status", u"Title", u"Artist", u"Album",
                                                    u"Year",   u"Time",  u"Source", u"File"};

std::mutex foldersMutex;
std::vector<std::filesystem::path> folders;  // empty: the program's own

std::vector<std::filesystem::path> SearchFolders() {
    {
        std::lock_guard lock(foldersMutex);
        if (!folders.empty()) return folders;
    }
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    const std::filesystem::path dir = exe.parent_path();
    return {dir, dir.parent_path() / "share" / "quorbel-media-mixer"};
}

}  // namespace

const std::vector<LanguageKey>& LanguageKeys() { return kKeys; }

std::u16string_view LanguageDefault(std::u16string_view key) {
    for (const LanguageKey& k : kKeys)
        if (k.key == key) return k.def;
    return {};
}

std::vector<LanguageText> ReadLanguage(const platform::IniFile& file, const platform::DisplayTexts& current) {
    std::vector<LanguageText> texts;
    texts.reserve(kKeys.size());
    for (const LanguageKey& k : kKeys) {
        const std::u16string def = k.section == u"STATUS" ? current.Get(k.key) : std::u16string(k.def);
        texts.push_back({&k, file.ReadString(k.section, k.key, def)});
    }
    return texts;
}

std::array<std::u16string, 8> ReadColumnCaptions(const platform::IniFile& file) {
    std::array<std::u16string, 8> captions;
    for (size_t c = 0; c < captions.size(); ++c) {
        const std::u16string key = u"C" + std::u16string(1, static_cast<char16_t>(u'0' + c));
        captions[c] = file.ReadString(u"TABLE", key, kColumnDefaults[c]);
    }
    return captions;
}

std::filesystem::path LanguageFile(std::u16string_view code) {
    const std::filesystem::path name = std::u16string(code) + u".lng";
    for (const std::filesystem::path& folder : SearchFolders()) {
        const std::filesystem::path file = folder / "lang" / name;
        if (platform::IsRegularFile(file)) return file;
    }
    return {};
}

void SetLanguageFolders(std::vector<std::filesystem::path> list) {
    std::lock_guard lock(foldersMutex);
    folders = std::move(list);
}

}  // namespace settings
