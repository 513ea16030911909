// Settings, badges and high scores, kept between runs as one text of signed decimal fields, each
// followed by "|": the 25 settings and their checksum, eight words of badge bits and their checksum,
// then eight score tables of ten best and ten recent scores, each with its checksum. A damaged or
// edited section fails its checksum and falls back to its defaults alone. The text goes through the
// application's saved state, whose file the host replaces whole on every save.
//
// The checksums are 32-bit sums that wrap around; they are added in unsigned arithmetic, where the
// wrap is defined, and read back as signed values.
#include "game/my_app.h"
#include "host/console.h"

#include <cstdint>

namespace {

constexpr int BadgeWords = 8;
constexpr int SavedTables = 8;
// Tables 3 to 7 of the text overlap the recent lists of tables 0 to 2, so only three are read back.
constexpr int LoadedTables = 3;
constexpr int TableFields = 2 * ScoreTableEntries + 1;
constexpr int SavedFields = SettingCount + 1 + BadgeWords + 1 + SavedTables * TableFields;

constexpr int Best(int table, int i) { return ScoreTableEntries * table + i; }
constexpr int Recent(int table, int i) { return Best(table, i) + RecentScores; }
static_assert(Recent(SavedTables - 1, ScoreTableEntries - 1) < HiScoreSlots);
// The badge words hold every badge flag.
static_assert(BadgeWords * 32 == BadgeCount);

int SettingsSum(const Array<int>& setting) {
    uint32_t sum = 0;
    for (int i = 0; i < SettingCount; ++i) sum += uint32_t(i) * uint32_t(setting[i]);
    return int(sum);
}

// Badge b is bit b mod 32 of word b / 32; bit 31 makes a word negative.
int BadgeWord(const Array<bool>& badge, int word) {
    uint32_t bits = 0;
    for (int j = 0; j < 32; ++j)
        if (badge[32 * word + j]) bits |= 1u << j;
    return int(bits);
}

int BadgesSum(const Array<bool>& badge) {
    uint32_t sum = 0;
    for (int w = 0; w < BadgeWords; ++w) sum += uint32_t(BadgeWord(badge, w));
    return int(sum);
}

int TableSum(const Array<int>& score, int table) {
    uint32_t sum = 0;
    for (int i = 0; i < ScoreTableEntries; ++i) {
        sum += uint32_t(score[Best(table, i)]) * uint32_t(i + 4);
        sum += uint32_t(score[Recent(table, i)]) * uint32_t(table + 3 + i);
    }
    return int(sum);
}

// A checksum field that is missing (a text cut short after its last setting) matches nothing.
bool SumMatches(const Array<String>& fields, int index, int sum) {
    return index < fields.Length() && fields[index].ToInt() == sum;
}

// Returns the field where the badge section starts: after the settings, or at 0 in the older
// layout that had none.
int LoadSettings(c_MyApp& app, const Array<String>& fields) {
    Array<int>& setting = app.m_Setting;
    if (fields.Length() < SettingCount) return 0;
    for (int i = 0; i < SettingCount; ++i) setting[i] = fields[i].ToInt();
    if (SumMatches(fields, SettingCount, SettingsSum(setting))) {
        vxPrint(String(u"Settings Loaded"));
    } else {
        vxPrint(String(u"Settings Checksum Invalid"));
        app.p_DefaultSettings();
    }
    return SettingCount + 1;
}

void LimitSettings(c_MyApp& app) {
    Array<int>& setting = app.m_Setting;
    if (setting[SetPadX] < 64) setting[SetPadX] = 64;
    if (setting[SetPadFromBottom] < 64) setting[SetPadFromBottom] = 64;
    if (setting[SetPadSize] < 8) setting[SetPadSize] = 10;
    if (setting[SetOverscan] < 1) setting[SetOverscan] = 64;
    if (isOuya == 1) {
        app.p_SetOverscan(float(setting[SetOverscan]));
    } else {
        setting[SetOverscan] = 1;
        app.p_SetOverscan(0);
    }
}

void LoadBadges(Array<bool>& badge, const Array<String>& fields, int from) {
    int sumField = from + BadgeWords;
    if (fields.Length() <= sumField) return;
    for (int w = 0; w < BadgeWords; ++w) {
        uint32_t bits = uint32_t(fields[from + w].ToInt());
        for (int j = 0; j < 32; ++j) badge[32 * w + j] = (bits >> j & 1u) != 0;
    }
    if (SumMatches(fields, sumField, BadgesSum(badge))) {
        vxPrint(String(u"Badges Loaded"));
    } else {
        vxPrint(String(u"Badge Checksum Invalid"));
        for (int b = 0; b < badge.Length(); ++b) badge[b] = false;
    }
}

void LoadScores(Array<int>& score, const Array<String>& fields, int from) {
    int at = from;
    for (int t = 0; t < LoadedTables && at + 2 * ScoreTableEntries < fields.Length(); ++t) {
        for (int i = 0; i < ScoreTableEntries; ++i) {
            score[Best(t, i)] = fields[at + 2 * i].ToInt();
            score[Recent(t, i)] = fields[at + 2 * i + 1].ToInt();
        }
        if (!SumMatches(fields, at + 2 * ScoreTableEntries, TableSum(score, t))) {
            for (int i = 0; i < ScoreTableEntries; ++i) score[Best(t, i)] = score[Recent(t, i)] = 0;
        }
        at += TableFields;
    }
    vxPrint(String(u"Highscores Loaded"));
}

} // namespace

int c_MyApp::p_Save() {
    // Watching, verifying or a demo leave the player's state as it was.
    if (m_Replay.mode != ReplayMode::Live) return 0;
    Array<String> fields(SavedFields);
    int n = 0;
    for (int i = 0; i < SettingCount; ++i) fields[n++] = String(m_Setting[i]);
    fields[n++] = String(SettingsSum(m_Setting));
    for (int w = 0; w < BadgeWords; ++w) fields[n++] = String(BadgeWord(m_Badge, w));
    fields[n++] = String(BadgesSum(m_Badge));
    for (int t = 0; t < SavedTables; ++t) {
        for (int i = 0; i < ScoreTableEntries; ++i) {
            fields[n++] = String(m_HiScore[Best(t, i)]);
            fields[n++] = String(m_HiScore[Recent(t, i)]);
        }
        fields[n++] = String(TableSum(m_HiScore, t));
    }
    String state = String(u"|").Join(fields) + String(u"|");
    if (DebugMode == 1) vxPrint(state);
    vx_app_SaveState(state);
    return 0;
}

int c_MyApp::p_Load() {
    String state = vx_app_LoadState();
    if (DebugMode == 1) vxPrint(state);
    Array<String> fields = state.Split(String(u"|"));
    int badges = LoadSettings(*this, fields);
    LimitSettings(*this);
    LoadBadges(m_Badge, fields, badges);
    LoadScores(m_HiScore, fields, badges + BadgeWords + 1);
    return 0;
}

int c_MyApp::p_DefaultSettings() {
    for (int i = 0; i < SettingCount; ++i) m_Setting[i] = 0;
    m_Setting[SetSoundMode] = DefaultSoundMode;
    return 0;
}

String c_MyApp::p_BadgeID(int id) {
    if (id == 0) return String(u"Test Badge|This is a Test Badge which has no purpose.");
    return String(u"Odd Badge|This badge hasn't been defined!");
}

String c_MyApp::p_BadgeName(int id) {
    String text = p_BadgeID(id);
    return text.Slice(0, text.Find(String(u"|")));
}

String c_MyApp::p_BadgeDetail(int id) {
    String text = p_BadgeID(id);
    return text.Slice(text.Find(String(u"|")) + 1);
}

// Game Center does not exist on this platform.
int c_MyApp::p_GC_PostScore(int, int) { return 0; }
int c_MyApp::p_GC_Badges() { return 0; }
