#include "tags/U_CharCode.h"

#include <iconv.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "platform/text_codec.h"

namespace tags {

namespace {

constexpr std::u16string_view kGenres[] = {
    u"Blues", u"Classic Rock", u"Country", u"Dance", u"Disco", u"Funk", u"Grunge", u"Hip-Hop",
    u"Jazz", u"Metal", u"New Age", u"Oldies", u"Other", u"Pop", u"R&B", u"Rap", u"Reggae",
    u"Rock", u"Techno", u"Industrial", u"Alternative", u"Ska", u"Death Metal", u"Pranks",
    u"Soundtrack", u"Euro-Techno", u"Ambient", u"Trip-Hop", u"Vocal", u"Jazz+Funk", u"Fusion",
    u"Trance", u"Classical", u"Instrumental", u"Acid", u"House", u"Game", u"Sound Clip",
    u"Gospel", u"Noise", u"AlternRock", u"Bass", u"Soul", u"Punk", u"Space", u"Meditative",
    u"Instrumental Pop", u"Instrumental Rock", u"Ethnic", u"Gothic", u"Darkwave",
    u"Techno-Industrial", u"Electronic", u"Pop-Folk", u"Eurodance", u"Dream", u"Southern Rock",
    u"Comedy", u"Cult", u"Gangsta", u"Top 40", u"Christian Rap", u"Pop/Funk", u"Jungle",
    u"Native American", u"Cabaret", u"New Wave", u"Psychadelic", u"Rave", u"Showtunes",
    u"Trailer", u"Lo-Fi", u"Tribal", u"Acid Punk", u"Acid Jazz", u"Polka", u"Retro", u"Musical",
    u"Rock & Roll", u"Hard Rock",
    // The widely used extension, 80 on.
    u"Folk", u"Folk-Rock", u"National Folk", u"Swing", u"Fast Fusion", u"Bebob", u"Latin",
    u"Revival", u"Celtic", u"Bluegrass", u"Avantgarde", u"Gothic Rock", u"Progessive Rock",
    u"Psychedelic Rock", u"Symphonic Rock", u"Slow Rock", u"Big Band", u"Chorus",
    u"Easy Listening", u"Acoustic", u"Humour", u"Speech", u"Chanson", u"Opera",
    u"Chamber Music", u"Sonata", u"Symphony", u"Booty Bass", u"Primus", u"Porn Groove",
    u"Satire", u"Slow Jam", u"Club", u"Tango", u"Samba", u"Folklore", u"Ballad",
    u"Power Ballad", u"Rhythmic Soul", u"Freestyle", u"Duet", u"Punk Rock", u"Drum Solo",
    u"A capella", u"Euro-House", u"Dance Hall", u"Goa", u"Drum & Bass", u"Club-House",
    u"Hardcore", u"Terror", u"Indie", u"BritPop", u"Afro-Punk", u"Polsk Punk", u"Beat",
    u"Christian Gangsta Rap", u"Heavy Metal", u"Black Metal", u"Crossover",
    u"Contemporary Christian", u"Christian Rock", u"Merengue", u"Salsa", u"Trash Metal",
    u"Anime", u"JPop", u"Synthpop",
};
static_assert(std::size(kGenres) == 148);

using Lang = std::pair<std::u16string_view, std::u16string_view>;
constexpr Lang kLanguages[] = {
    {u"aar", u"Afar"}, {u"abk", u"Abkhazian"}, {u"ace", u"Achinese"}, {u"ach", u"Acoli"},
    {u"ada", u"Adangme"}, {u"afa", u"Afro-Asiatic (Other)"}, {u"afh", u"Afrihili"},
    {u"afr", u"Afrikaans"}, {u"aka", u"Akan"}, {u"akk", u"Akkadian"}, {u"alb", u"Albanian"},
    {u"ale", u"Aleut"}, {u"alg", u"Algonquian languages"}, {u"amh", u"Amharic"},
    {u"ang", u"English, Old (ca. 450-1100)"}, {u"apa", u"Apache languages"},
    {u"ara", u"Arabic"}, {u"arc", u"Aramaic"}, {u"arm", u"Armenian"}, {u"arn", u"Araucanian"},
    {u"arp", u"Arapaho"}, {u"art", u"Artificial (Other)"}, {u"arw", u"Arawak"},
    {u"asm", u"Assamese"}, {u"ath", u"Athapascan languages"}, {u"ava", u"Avaric"},
    {u"ave", u"Avestan"}, {u"awa", u"Awadhi"}, {u"aym", u"Aymara"}, {u"aze", u"Azerbaijani"},
    {u"bad", u"Banda"}, {u"bai", u"Bamileke languages"}, {u"bak", u"Bashkir"},
    {u"bal", u"Baluchi"}, {u"bam", u"Bambara"}, {u"ban", u"Balinese"}, {u"baq", u"Basque"},
    {u"bas", u"Basa"}, {u"bat", u"Baltic (Other)"}, {u"bej", u"Beja"},
    {u"bel", u"Byelorussian"}, {u"bem", u"Bemba"}, {u"ben", u"Bengali"},
    {u"ber", u"Berber (Other)"}, {u"bho", u"Bhojpuri"}, {u"bih", u"Bihari"}, {u"bik", u"Bikol"},
    {u"bin", u"Bini"}, {u"bis", u"Bislama"}, {u"bla", u"Siksika"}, {u"bnt", u"Bantu (Other)"},
    {u"bod", u"Tibetan"}, {u"bra", u"Braj"}, {u"bre", u"Breton"}, {u"bua", u"Buriat"},
    {u"bug", u"Buginese"}, {u"bul", u"Bulgarian"}, {u"bur", u"Burmese"}, {u"cad", u"Caddo"},
    {u"cai", u"Central American Indian (Other)"}, {u"car", u"Carib"}, {u"cat", u"Catalan"},
    {u"cau", u"Caucasian (Other)"}, {u"ceb", u"Cebuano"}, {u"cel", u"Celtic (Other)"},
    {u"ces", u"Czech"}, {u"cha", u"Chamorro"}, {u"chb", u"Chibcha"}, {u"che", u"Chechen"},
    {u"chg", u"Chagatai"}, {u"chi", u"Chinese"}, {u"chm", u"Mari"}, {u"chn", u"Chinook jargon"},
    {u"cho", u"Choctaw"}, {u"chr", u"Cherokee"}, {u"chu", u"Church Slavic"},
    {u"chv", u"Chuvash"}, {u"chy", u"Cheyenne"}, {u"cop", u"Coptic"}, {u"cor", u"Cornish"},
    {u"cos", u"Corsican"}, {u"cpe", u"Creoles and Pidgins, English-based (Other)"},
    {u"cpf", u"Creoles and Pidgins, French-based (Other)"},
    {u"cpp", u"Creoles and Pidgins, Portuguese-based (Other)"}, {u"cre", u"Cree"},
    {u"crp", u"Creoles and Pidgins (Other)"}, {u"cus", u"Cushitic (Other)"},
    {u"cym", u"Welsh"}, {u"cze", u"Czech"}, {u"dak", u"Dakota"}, {u"dan", u"Danish"},
    {u"del", u"Delaware"}, {u"deu", u"German"}, {u"din", u"Dinka"}, {u"div", u"Divehi"},
    {u"doi", u"Dogri"}, {u"dra", u"Dravidian (Other)"}, {u"dua", u"Duala"},
    {u"dum", u"Dutch, Middle (ca. 1050-1350)"}, {u"dut", u"Dutch"}, {u"dyu", u"Dyula"},
    {u"dzo", u"Dzongkha"}, {u"efi", u"Efik"}, {u"egy", u"Egyptian (Ancient)"},
    {u"eka", u"Ekajuk"}, {u"ell", u"Greek, Modern (1453-)"}, {u"elx", u"Elamite"},
    {u"eng", u"English"}, {u"enm", u"English, Middle (ca. 1100-1500)"},
    {u"epo", u"Esperanto"}, {u"esk", u"Eskimo (Other)"}, {u"esl", u"Spanish"},
    {u"est", u"Estonian"}, {u"eus", u"Basque"}, {u"ewe", u"Ewe"}, {u"ewo", u"Ewondo"},
    {u"fan", u"Fang"}, {u"fao", u"Faroese"}, {u"fas", u"Persian"}, {u"fat", u"Fanti"},
    {u"fij", u"Fijian"}, {u"fin", u"Finnish"}, {u"fiu", u"Finno-Ugrian (Other)"},
    {u"fon", u"Fon"}, {u"fra", u"French"}, {u"fre", u"French"},
    {u"frm", u"French, Middle (ca. 1400-1600)"}, {u"fro", u"French, Old (842- ca. 1400)"},
    {u"fry", u"Frisian"}, {u"ful", u"Fulah"}, {u"gaa", u"Ga"}, {u"gae", u"Gaelic (Scots)"},
    {u"gai", u"Irish"}, {u"gay", u"Gayo"}, {u"gdh", u"Gaelic (Scots)"},
    {u"gem", u"Germanic (Other)"}, {u"geo", u"Georgian"}, {u"ger", u"German"},
    {u"gez", u"Geez"}, {u"gil", u"Gilbertese"}, {u"glg", u"Gallegan"},
    {u"gmh", u"German, Middle High (ca. 1050-1500)"},
    {u"goh", u"German, Old High (ca. 750-1050)"}, {u"gon", u"Gondi"}, {u"got", u"Gothic"},
    {u"grb", u"Grebo"}, {u"grc", u"Greek, Ancient (to 1453)"},
    {u"gre", u"Greek, Modern (1453-)"}, {u"grn", u"Guarani"}, {u"guj", u"Gujarati"},
    {u"hai", u"Haida"}, {u"hau", u"Hausa"}, {u"haw", u"Hawaiian"}, {u"heb", u"Hebrew"},
    {u"her", u"Herero"}, {u"hil", u"Hiligaynon"}, {u"him", u"Himachali"}, {u"hin", u"Hindi"},
    {u"hmo", u"Hiri Motu"}, {u"hun", u"Hungarian"}, {u"hup", u"Hupa"}, {u"hye", u"Armenian"},
    {u"iba", u"Iban"}, {u"ibo", u"Igbo"}, {u"ice", u"Icelandic"}, {u"ijo", u"Ijo"},
    {u"iku", u"Inuktitut"}, {u"ilo", u"Iloko"},
    {u"ina", u"Interlingua (International Auxiliary Language Association)"},
    {u"inc", u"Indic (Other)"}, {u"ind", u"Indonesian"}, {u"ine", u"Indo-European (Other)"},
    {u"ine", u"Interlingue"}, {u"ipk", u"Inupiak"}, {u"ira", u"Iranian (Other)"},
    {u"iri", u"Irish"}, {u"iro", u"Iroquoian languages"}, {u"isl", u"Icelandic"},
    {u"ita", u"Italian"}, {u"jav", u"Javanese"}, {u"jaw", u"Javanese"}, {u"jpn", u"Japanese"},
    {u"jpr", u"Judeo-Persian"}, {u"jrb", u"Judeo-Arabic"}, {u"kaa", u"Kara-Kalpak"},
    {u"kab", u"Kabyle"}, {u"kac", u"Kachin"}, {u"kal", u"Greenlandic"}, {u"kam", u"Kamba"},
    {u"kan", u"Kannada"}, {u"kar", u"Karen"}, {u"kas", u"Kashmiri"}, {u"kat", u"Georgian"},
    {u"kau", u"Kanuri"}, {u"kaw", u"Kawi"}, {u"kaz", u"Kazakh"}, {u"kha", u"Khasi"},
    {u"khi", u"Khoisan (Other)"}, {u"khm", u"Khmer"}, {u"kho", u"Khotanese"},
    {u"kik", u"Kikuyu"}, {u"kin", u"Kinyarwanda"}, {u"kir", u"Kirghiz"}, {u"kok", u"Konkani"},
    {u"kom", u"Komi"}, {u"kon", u"Kongo"}, {u"kor", u"Korean"}, {u"kpe", u"Kpelle"},
    {u"kro", u"Kru"}, {u"kru", u"Kurukh"}, {u"kua", u"Kuanyama"}, {u"kum", u"Kumyk"},
    {u"kur", u"Kurdish"}, {u"kus", u"Kusaie"}, {u"kut", u"Kutenai"}, {u"lad", u"Ladino"},
    {u"lah", u"Lahnda"}, {u"lam", u"Lamba"}, {u"lao", u"Lao"}, {u"lat", u"Latin"},
    {u"lav", u"Latvian"}, {u"lez", u"Lezghian"}, {u"lin", u"Lingala"}, {u"lit", u"Lithuanian"},
    {u"lol", u"Mongo"}, {u"loz", u"Lozi"}, {u"ltz", u"Letzeburgesch"},
    {u"lub", u"Luba-Katanga"}, {u"lug", u"Ganda"}, {u"lui", u"Luiseno"}, {u"lun", u"Lunda"},
    {u"luo", u"Luo (Kenya and Tanzania)"}, {u"mac", u"Macedonian"}, {u"mad", u"Madurese"},
    {u"mag", u"Magahi"}, {u"mah", u"Marshall"}, {u"mai", u"Maithili"}, {u"mak", u"Macedonian"},
    {u"mak", u"Makasar"}, {u"mal", u"Malayalam"}, {u"man", u"Mandingo"}, {u"mao", u"Maori"},
    {u"map", u"Austronesian (Other)"}, {u"mar", u"Marathi"}, {u"mas", u"Masai"},
    {u"max", u"Manx"}, {u"may", u"Malay"}, {u"men", u"Mende"},
    {u"mga", u"Irish, Middle (900-1200)"}, {u"mic", u"Micmac"}, {u"min", u"Minangkabau"},
    {u"mis", u"Miscellaneous (Other)"}, {u"mkh", u"Mon-Khmer (Other)"},
    {u"mlg", u"Malagasy"}, {u"mlt", u"Maltese"}, {u"mni", u"Manipuri"},
    {u"mno", u"Manobo languages"}, {u"moh", u"Mohawk"}, {u"mol", u"Moldavian"},
    {u"mon", u"Mongolian"}, {u"mos", u"Mossi"}, {u"mri", u"Maori"}, {u"msa", u"Malay"},
    {u"mul", u"Multiple Languages"}, {u"mun", u"Munda languages"}, {u"mus", u"Creek"},
    {u"mwr", u"Marwari"}, {u"mya", u"Burmese"}, {u"myn", u"Mayan languages"},
    {u"nah", u"Aztec"}, {u"nai", u"North American Indian (Other)"}, {u"nau", u"Nauru"},
    {u"nav", u"Navajo"}, {u"nbl", u"Ndebele, South"}, {u"nde", u"Ndebele, North"},
    {u"ndo", u"Ndonga"}, {u"nep", u"Nepali"}, {u"new", u"Newari"},
    {u"nic", u"Niger-Kordofanian (Other)"}, {u"niu", u"Niuean"}, {u"nla", u"Dutch"},
    {u"nno", u"Norwegian (Nynorsk)"}, {u"non", u"Norse, Old"}, {u"nor", u"Norwegian"},
    {u"nso", u"Sotho, Northern"}, {u"nub", u"Nubian languages"}, {u"nya", u"Nyanja"},
    {u"nym", u"Nyamwezi"}, {u"nyn", u"Nyankole"}, {u"nyo", u"Nyoro"}, {u"nzi", u"Nzima"},
    {u"oci", u"Langue d'Oc (post 1500)"}, {u"oji", u"Ojibwa"}, {u"ori", u"Oriya"},
    {u"orm", u"Oromo"}, {u"osa", u"Osage"}, {u"oss", u"Ossetic"},
    {u"ota", u"Turkish, Ottoman (1500-1928)"}, {u"oto", u"Otomian languages"},
    {u"paa", u"Papuan-Australian (Other)"}, {u"pag", u"Pangasinan"}, {u"pal", u"Pahlavi"},
    {u"pam", u"Pampanga"}, {u"pan", u"Panjabi"}, {u"pap", u"Papiamento"}, {u"pau", u"Palauan"},
    {u"peo", u"Persian, Old (ca. 600-400 B.C.)"}, {u"per", u"Persian"},
    {u"phn", u"Phoenician"}, {u"pli", u"Pali"}, {u"pol", u"Polish"}, {u"pon", u"Ponape"},
    {u"por", u"Portuguese"}, {u"pra", u"Prakrit languages"},
    {u"pro", u"Provencal, Old (to 1500)"}, {u"pus", u"Pushto"}, {u"que", u"Quechua"},
    {u"raj", u"Rajasthani"}, {u"rar", u"Rarotongan"}, {u"roa", u"Romance (Other)"},
    {u"roh", u"Rhaeto-Romance"}, {u"rom", u"Romany"}, {u"ron", u"Romanian"},
    {u"rum", u"Romanian"}, {u"run", u"Rundi"}, {u"rus", u"Russian"}, {u"sad", u"Sandawe"},
    {u"sag", u"Sango"}, {u"sah", u"Yakut"}, {u"sai", u"South American Indian (Other)"},
    {u"sal", u"Salishan languages"}, {u"sam", u"Samaritan Aramaic"}, {u"san", u"Sanskrit"},
    {u"sco", u"Scots"}, {u"scr", u"Serbo-Croatian"}, {u"sel", u"Selkup"},
    {u"sem", u"Semitic (Other)"}, {u"sga", u"Irish, Old (to 900)"}, {u"shn", u"Shan"},
    {u"sid", u"Sidamo"}, {u"sin", u"Singhalese"}, {u"sio", u"Siouan languages"},
    {u"sit", u"Sino-Tibetan (Other)"}, {u"sla", u"Slavic (Other)"}, {u"slk", u"Slovak"},
    {u"slo", u"Slovak"}, {u"slv", u"Slovenian"}, {u"smi", u"Sami languages"},
    {u"smo", u"Samoan"}, {u"sna", u"Shona"}, {u"snd", u"Sindhi"}, {u"sog", u"Sogdian"},
    {u"som", u"Somali"}, {u"son", u"Songhai"}, {u"sot", u"Sotho, Southern"},
    {u"spa", u"Spanish"}, {u"sqi", u"Albanian"}, {u"srd", u"Sardinian"}, {u"srr", u"Serer"},
    {u"ssa", u"Nilo-Saharan (Other)"}, {u"ssw", u"Siswant"}, {u"ssw", u"Swazi"},
    {u"suk", u"Sukuma"}, {u"sun", u"Sudanese"}, {u"sus", u"Susu"}, {u"sux", u"Sumerian"},
    {u"sve", u"Swedish"}, {u"swa", u"Swahili"}, {u"swe", u"Swedish"}, {u"syr", u"Syriac"},
    {u"tah", u"Tahitian"}, {u"tam", u"Tamil"}, {u"tat", u"Tatar"}, {u"tel", u"Telugu"},
    {u"tem", u"Timne"}, {u"ter", u"Tereno"}, {u"tgk", u"Tajik"}, {u"tgl", u"Tagalog"},
    {u"tha", u"Thai"}, {u"tib", u"Tibetan"}, {u"tig", u"Tigre"}, {u"tir", u"Tigrinya"},
    {u"tiv", u"Tivi"}, {u"tli", u"Tlingit"}, {u"tmh", u"Tamashek"}, {u"tog", u"Tonga (Nyasa)"},
    {u"ton", u"Tonga (Tonga Islands)"}, {u"tru", u"Truk"}, {u"tsi", u"Tsimshian"},
    {u"tsn", u"Tswana"}, {u"tso", u"Tsonga"}, {u"tuk", u"Turkmen"}, {u"tum", u"Tumbuka"},
    {u"tur", u"Turkish"}, {u"tut", u"Altaic (Other)"}, {u"twi", u"Twi"}, {u"tyv", u"Tuvinian"},
    {u"uga", u"Ugaritic"}, {u"uig", u"Uighur"}, {u"ukr", u"Ukrainian"}, {u"umb", u"Umbundu"},
    {u"und", u"Undetermined"}, {u"urd", u"Urdu"}, {u"uzb", u"Uzbek"}, {u"vai", u"Vai"},
    {u"ven", u"Venda"}, {u"vie", u"Vietnamese"}, {u"vol", u"Volap\u00fck"}, {u"vot", u"Votic"},
    {u"wak", u"Wakashan languages"}, {u"wal", u"Walamo"}, {u"war", u"Waray"},
    {u"was", u"Washo"}, {u"wel", u"Welsh"}, {u"wen", u"Sorbian languages"}, {u"wol", u"Wolof"},
    {u"xho", u"Xhosa"}, {u"yao", u"Yao"}, {u"yap", u"Yap"}, {u"yid", u"Yiddish"},
    {u"yor", u"Yoruba"}, {u"zap", u"Zapotec"}, {u"zen", u"Zenaga"}, {u"zha", u"Zhuang"},
    {u"zho", u"Chinese"}, {u"zul", u"Zulu"}, {u"zun", u"Zuni"},
};
constexpr std::size_t kLanguageCount = std::size(kLanguages);
static_assert(kLanguageCount == 427);

template <bool Names>
constexpr std::array<std::u16string_view, kLanguageCount> LanguageColumn() {
    std::array<std::u16string_view, kLanguageCount> out{};
    for (std::size_t i = 0; i < kLanguageCount; ++i)
        out[i] = Names ? kLanguages[i].second : kLanguages[i].first;
    return out;
}
constexpr auto kLanguageCodes = LanguageColumn<false>();
constexpr auto kLanguageNames = LanguageColumn<true>();

char16_t FoldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    if (c < 0x80) return c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
    return c;
}

// Windows code page identifier to the C library's converter name; empty for code page 0 and
// Windows-1252, which go through the own table.
std::string IconvName(uint32_t cp) {
    switch (cp) {
        case 0:
        case 1252: return {};
        case 65001: return "UTF-8";
        case 1200: return "UTF-16LE";
        case 1201: return "UTF-16BE";
        case 20127: return "ASCII";
        case 20866: return "KOI8-R";
        case 21866: return "KOI8-U";
        case 10000: return "MACINTOSH";
        case 20932:
        case 51932: return "EUC-JP";
        case 51949: return "EUC-KR";
        case 54936: return "GB18030";
        case 28603: return "ISO-8859-13";
        case 28605: return "ISO-8859-15";
        default: break;
    }
    if (cp >= 28591 && cp <= 28599) return "ISO-8859-" + std::to_string(cp - 28590);
    return "CP" + std::to_string(cp);
}

class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts in to out. A sequence the target cannot take is replaced by `replacement` after
    // skipping `skip` input bytes (or a whole surrogate pair when the input is UTF-16LE).
    std::string Run(std::string_view in, std::string_view replacement, bool utf16Input) {
        std::string out;
        std::vector<char> buf(in.size() * 4 + 16);
        char* inp = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        for (;;) {
            char* outp = buf.data();
            size_t outLeft = buf.size();
            size_t r = inLeft ? iconv(cd_, &inp, &inLeft, &outp, &outLeft)
                              : iconv(cd_, nullptr, nullptr, &outp, &outLeft);
            int err = errno;
            out.append(buf.data(), static_cast<size_t>(outp - buf.data()));
            if (r != static_cast<size_t>(-1)) {
                if (inLeft == 0) {
                    // Flush any shift state once, then finish.
                    char* fp = buf.data();
                    size_t fl = buf.size();
                    iconv(cd_, nullptr, nullptr, &fp, &fl);
                    out.append(buf.data(), static_cast<size_t>(fp - buf.data()));
                    return out;
                }
                continue;
            }
            if (err == E2BIG) continue;
            // EILSEQ or EINVAL (incomplete sequence at the end): replace and move on.
            out.append(replacement);
            size_t skip = 1;
            if (utf16Input) {
                skip = 2;
                if (inLeft >= 4) {
                    auto lo = static_cast<unsigned char>(inp[0]);
                    auto hi = static_cast<unsigned char>(inp[1]);
                    char16_t u = static_cast<char16_t>(lo | (hi << 8));
                    auto lo2 = static_cast<unsigned char>(inp[2]);
                    auto hi2 = static_cast<unsigned char>(inp[3]);
                    char16_t u2 = static_cast<char16_t>(lo2 | (hi2 << 8));
                    if (u >= 0xD800 && u <= 0xDBFF && u2 >= 0xDC00 && u2 <= 0xDFFF) skip = 4;
                }
            }
            if (skip > inLeft) skip = inLeft;
            inp += skip;
            inLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset state after an error
            if (inLeft == 0) return out;
        }
    }

private:
    iconv_t cd_;
};

std::string ToUtf16LeBytes(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::u16string FromUtf16LeBytes(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return out;
}

}  // namespace

constinit const TNameList Genres{kGenres};
constinit const TNameList LanguageCodes{kLanguageCodes};
constinit const TNameList LanguageNames{kLanguageNames};

std::u16string_view TNameList::operator[](int index) const {
    if (index < 0 || index >= Count()) return {};
    return items_[static_cast<size_t>(index)];
}

int TNameList::IndexOf(std::u16string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(items_[static_cast<size_t>(i)], name)) return i;
    return -1;
}

bool SameText(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

bool CodePageSupported(uint32_t codePage) {
    std::string name = IconvName(codePage);
    if (name.empty()) return true;
    Converter a("UTF-16LE", name), b(name, "UTF-16LE");
    return a.ok() && b.ok();
}

std::u16string CodePageToWide(uint32_t codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    std::string name = IconvName(codePage);
    if (name.empty()) return platform::DecodeCp1252(bytes);
    Converter c("UTF-16LE", name);
    if (!c.ok()) return {};
    return FromUtf16LeBytes(c.Run(bytes, std::string("\xFD\xFF", 2), false));
}

std::optional<std::string> WideToCodePage(uint32_t codePage, std::u16string_view text) {
    std::string name = IconvName(codePage);
    if (name.empty()) return platform::EncodeCp1252(text);
    Converter c(name, "UTF-16LE");
    if (!c.ok()) return std::nullopt;
    if (text.empty()) return std::string();
    return c.Run(ToUtf16LeBytes(text), "?", true);
}

std::u16string AnsiToWide(std::string_view bytes) { return platform::DecodeCp1252(bytes); }

std::string WideToAnsi(std::u16string_view text) { return platform::EncodeCp1252(text); }

std::u16string TrimControl(std::u16string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && text[b] < 33) ++b;
    while (e > b && text[e - 1] < 33) --e;
    return std::u16string(text.substr(b, e - b));
}

}  // namespace tags
