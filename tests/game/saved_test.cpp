// Settings, badges and high scores through the real state file: the text a save writes, what a load
// keeps of edited, cut-short, older and hostile texts, and the messages it prints.
#include "game_harness.h"

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using gametest::App;
using gametest::FreshApp;
using Lines = std::vector<std::string>;

// What a test writes or expects: the fields of a saved text in order.
using Fields = std::vector<long long>;

std::string Text(const Fields& fields) {
    std::string text;
    for (long long f : fields) text += std::to_string(f) + "|";
    return text;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == '|') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// A 32-bit wrapped sum, worked out independently of the game's arithmetic.
long long Wrap32(long long sum) { return int32_t(uint32_t(uint64_t(sum))); }

Fields SettingsSection(std::vector<int> setting) {
    Fields f(setting.begin(), setting.end());
    long long sum = 0;
    for (int i = 0; i < 25; ++i) sum += (long long)i * setting[std::size_t(i)];
    f.push_back(Wrap32(sum));
    return f;
}

Fields BadgeSection(std::vector<long long> words) {
    Fields f = words;
    long long sum = 0;
    for (long long w : words) sum += w;
    f.push_back(Wrap32(sum));
    return f;
}

// Table t from its best and recent lists.
Fields TableSection(int t, std::vector<int> best, std::vector<int> recent) {
    Fields f;
    long long sum = 0;
    for (int i = 0; i < 10; ++i) {
        f.push_back(best[std::size_t(i)]);
        f.push_back(recent[std::size_t(i)]);
        sum += (long long)best[std::size_t(i)] * (i + 4) + (long long)recent[std::size_t(i)] * (t + 3 + i);
    }
    f.push_back(Wrap32(sum));
    return f;
}

Fields operator+(Fields a, const Fields& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<int> Settings(std::initializer_list<std::pair<int, int>> slots) {
    std::vector<int> s(25);
    for (auto [slot, value] : slots) s[std::size_t(slot)] = value;
    return s;
}

const std::vector<int> kNoScores(10);
const std::vector<int> kBest{900, 800, 700, 600, 500, 400, 300, 200, 100, 50};
const std::vector<int> kRecent{5, 60, 700, 8000, 90000, 1, 2, 3, 4, 5};
// What the game keeps after its first load on the desktop with nothing stored.
const std::vector<int> kFirstSettings = Settings({{5, 1}, {10, 64}, {11, 64}, {12, 10}, {14, 1}});

// A full text: settings, one badge word, and table 0 to 2 of scores; tables 3 to 7 as a save
// writes them (their lists overlap the recent lists of tables 0 to 2).
Fields FullText(std::vector<int> setting, long long word0, const std::vector<int>& best,
                const std::vector<int>& recent) {
    Fields f = SettingsSection(setting) + BadgeSection({word0, 0, 0, 0, 0, 0, 0, 0}) +
               TableSection(0, best, kNoScores) + TableSection(1, kNoScores, kNoScores) +
               TableSection(2, kNoScores, recent);
    for (int t = 3; t < 8; ++t) f = f + TableSection(t, t == 5 ? recent : kNoScores, kNoScores);
    return f;
}

class Saved : public gametest::GameTest {
  protected:
    std::string StateFile() const { return readFile(dir / ".cobaltstate"); }

    // A new game in this folder, then its load of `stored`; the lines the load printed.
    Lines LoadFrom(const std::string& stored) {
        writeFile(dir / ".cobaltstate", stored);
        app = FreshApp();
        return Printed([&] { app->p_Load(); });
    }

    template <class F> Lines Printed(F f) {
        testing::internal::CaptureStdout();
        f();
        std::string out = testing::internal::GetCapturedStdout();
        Lines lines;
        for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
            lines.push_back(out.substr(at, end - at));
        return lines;
    }

    std::vector<int> SettingsNow() const {
        return std::vector<int>(app->m_Setting.begin(), app->m_Setting.end());
    }
    std::vector<int> BadgesNow() const {
        std::vector<int> on;
        for (int b = 0; b < BadgeCount; ++b)
            if (app->m_Badge[b]) on.push_back(b);
        return on;
    }
    std::vector<int> ScoresNow(int from) const {
        return std::vector<int>(&app->m_HiScore[from], &app->m_HiScore[from] + ScoreTableEntries);
    }
};

TEST_F(Saved, AFirstStartSavesTheDefaultTextToTheStateFileAndPrintsItInDebugMode) {
    EXPECT_EQ(LoadFrom(""), Lines{"Highscores Loaded"}) << "nothing stored";
    EXPECT_EQ(SettingsNow(), kFirstSettings);
    DebugMode = 1;
    Lines printed = Printed([&] { app->p_Save(); });

    std::string expected = Text(SettingsSection(kFirstSettings) + Fields(9) + Fields(168));
    EXPECT_EQ(Split(expected)[25], "1483");
    EXPECT_EQ(Split(expected).size(), 204u) << "203 fields, each ended by |";
    EXPECT_EQ(StateFile(), expected);
    EXPECT_EQ(printed, Lines{expected});
    EXPECT_FALSE(std::filesystem::exists(dir / ".cobaltstate.tmp"));
}

TEST_F(Saved, SavedTextsLoadBackWhole) {
    struct Case {
        const char* name;
        std::vector<int> setting;
        std::vector<int> badges;
        int bigScore;
        const char* firstWord; // field 26, which is also the badge checksum when the other words are 0
    } cases[] = {
        {"badge 31 alone makes the first word negative", kFirstSettings, {31}, 0, "-2147483648"},
        {"badges at both ends", kFirstSettings, {0, 255}, 0, "1"},
        {"sums that wrap around",
         Settings({{5, 3}, {10, INT_MAX}, {11, 64}, {12, INT_MAX}, {14, 1}, {24, INT_MIN}}),
         {1, 31, 32, 200},
         INT_MAX,
         "-2147483646"},
        {"negative values",
         Settings({{0, -5}, {5, 2}, {10, 64}, {11, 900}, {12, 8}, {14, 1}}),
         {},
         INT_MIN,
         "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir / ".cobaltstate");
        app = FreshApp();
        for (int i = 0; i < SettingCount; ++i) app->m_Setting[i] = c.setting[std::size_t(i)];
        for (int b : c.badges) app->m_Badge[b] = true;
        for (int i = 0; i < 60; ++i) app->m_HiScore[i] = i * 1000 - 7;
        app->m_HiScore[9] = app->m_HiScore[59] = c.bigScore;
        app->p_Save();
        EXPECT_EQ(Split(StateFile())[26], c.firstWord);
        if (c.badges.size() == 1) {
            EXPECT_EQ(Split(StateFile())[34], c.firstWord) << "the badge checksum";
        }

        EXPECT_EQ(LoadFrom(StateFile()), (Lines{"Settings Loaded", "Badges Loaded", "Highscores Loaded"}));
        EXPECT_EQ(SettingsNow(), c.setting);
        EXPECT_EQ(BadgesNow(), c.badges);
        for (int i = 0; i < 60; ++i)
            EXPECT_EQ(app->m_HiScore[i], i == 9 || i == 59 ? c.bigScore : i * 1000 - 7) << "score " << i;
    }
}

// Each section stands alone: an edit fails only the checksum of the section it is in.
TEST_F(Saved, AnEditedSectionFallsBackToItsDefaultsAlone) {
    const Fields stored =
        FullText(Settings({{3, 7}, {5, 2}, {10, 100}, {11, 64}, {12, 9}, {14, 1}}), 1 << 5, kBest, kRecent);
    struct Case {
        const char* name;
        int field;
        long long value;
        bool settings, badges, table0, table2;
    } cases[] = {
        {"nothing changed", 0, 0, true, true, true, true},
        {"one setting digit", 3, 8, false, true, true, true},
        {"the settings checksum", 25, 0, false, true, true, true},
        {"a badge word", 27, 1, true, false, true, true},
        {"a best score of table 0", 35 + 4, 701, true, true, false, true},
        {"a recent score of table 2", 77 + 2 * 4 + 1, 90001, true, true, true, false},
        {"the checksum of table 2", 97, 1, true, true, true, false},
        {"table 5, which is not read back", 140, 1, true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fields edited = stored;
        if (c.field > 0) edited[std::size_t(c.field)] = c.value;
        Lines printed = LoadFrom(Text(edited));
        EXPECT_EQ(printed,
                  (Lines{c.settings ? "Settings Loaded" : "Settings Checksum Invalid",
                         c.badges ? "Badges Loaded" : "Badge Checksum Invalid", "Highscores Loaded"}));
        EXPECT_EQ(SettingsNow(), c.settings
                                     ? Settings({{3, 7}, {5, 2}, {10, 100}, {11, 64}, {12, 9}, {14, 1}})
                                     : kFirstSettings);
        EXPECT_EQ(BadgesNow(), c.badges ? std::vector<int>{5} : std::vector<int>{});
        EXPECT_EQ(ScoresNow(0), c.table0 ? kBest : kNoScores);
        EXPECT_EQ(ScoresNow(30), kNoScores);
        EXPECT_EQ(ScoresNow(20), kNoScores);
        EXPECT_EQ(ScoresNow(50), c.table2 ? kRecent : kNoScores);
    }
}

TEST_F(Saved, ShorterTextsLoadTheSectionsTheyHold) {
    const std::vector<int> stored = Settings({{2, 4}, {5, 3}, {10, 70}, {11, 80}, {12, 12}, {14, 1}});
    EXPECT_EQ(LoadFrom(Text(SettingsSection(stored))), (Lines{"Settings Loaded", "Highscores Loaded"}))
        << "the 25 settings and their checksum";
    EXPECT_EQ(SettingsNow(), stored);
    EXPECT_EQ(BadgesNow(), std::vector<int>{});

    // The older layout starts with the badges (and cannot hold a score table: 25 fields would make it
    // the newer one); the settings stay as they were.
    app->m_Setting[2] = 9;
    writeFile(dir / ".cobaltstate", Text(BadgeSection({0, 0, 0, 1 << 2, 0, 0, 0, 0})));
    EXPECT_EQ(Printed([&] { app->p_Load(); }), (Lines{"Badges Loaded", "Highscores Loaded"}));
    EXPECT_EQ(SettingsNow(), Settings({{2, 9}, {5, 3}, {10, 70}, {11, 80}, {12, 12}, {14, 1}}));
    EXPECT_EQ(BadgesNow(), std::vector<int>{98});

    // Cut short before the settings checksum: without the checksum nothing vouches for them.
    std::string cut = Text(SettingsSection(stored));
    cut.resize(cut.rfind('|', cut.size() - 2));
    EXPECT_EQ(LoadFrom(cut), (Lines{"Settings Checksum Invalid", "Highscores Loaded"}));
    EXPECT_EQ(SettingsNow(), kFirstSettings);
}

TEST_F(Saved, TheBorderSettingIsTheOverscanOnTheConsoleOnly) {
    struct Case {
        int ouya, stored, slot14;
        float overscan;
    } cases[] = {{0, 32, 1, 0}, {0, 0, 1, 0}, {1, 32, 32, 32}, {1, 0, 64, 64}, {1, -3, 64, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "console " << c.ouya << ", stored " << c.stored);
        std::string stored =
            Text(SettingsSection(Settings({{5, 1}, {10, 64}, {11, 64}, {12, 10}, {14, c.stored}})));
        writeFile(dir / ".cobaltstate", stored);
        app = FreshApp();
        isOuya = c.ouya;
        overscan = 5;
        Printed([&] { app->p_Load(); });
        EXPECT_EQ(app->m_Setting[SetOverscan], c.slot14);
        EXPECT_EQ(overscan, c.overscan);
    }
}

TEST_F(Saved, TheSettingLimitsApplyToLoadedSettings) {
    LoadFrom(Text(SettingsSection(Settings({{5, 1}, {10, 63}, {11, -1}, {12, 7}, {14, 5}}))));
    EXPECT_EQ(SettingsNow(), kFirstSettings);
    LoadFrom(Text(SettingsSection(Settings({{5, 1}, {10, 65}, {11, 64}, {12, 8}, {14, 5}}))));
    EXPECT_EQ(SettingsNow(), Settings({{5, 1}, {10, 65}, {11, 64}, {12, 8}, {14, 1}}));
}

// Whatever is in the file, a load ends and keeps only what its checksums vouch for.
TEST_F(Saved, HostileTextsLoadWithoutHarm) {
    std::string valid =
        Text(FullText(Settings({{5, 2}, {10, 64}, {11, 64}, {12, 10}, {14, 1}}), -1, kBest, kRecent));
    // Binary bytes after every number end the number, as they end atoi's reading.
    std::string binaryTail;
    for (char c : valid) binaryTail += c == '|' ? std::string("\x01\xff\x80\x00|", 5) : std::string(1, c);
    std::vector<std::string> parts = Split(valid);
    parts[25] = "\xff" + parts[25];
    std::string binaryChecksum = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i) binaryChecksum += "|" + parts[i];
    std::string manyFields;
    for (int i = 0; i < 100000; ++i) manyFields += "1|";
    std::string sixtyThree(62, '0'), sixtyFour(63, '0');
    struct Case {
        const char* name;
        std::string stored;
        Lines printed;
        std::vector<int> setting;
        std::vector<int> best0;
    } cases[] = {
        {"binary after every number",
         binaryTail,
         {"Settings Loaded", "Badges Loaded", "Highscores Loaded"},
         Settings({{5, 2}, {10, 64}, {11, 64}, {12, 10}, {14, 1}}),
         kBest},
        {"binary in front of the settings checksum",
         binaryChecksum,
         {"Settings Checksum Invalid", "Badges Loaded", "Highscores Loaded"},
         kFirstSettings,
         kBest},
        {"one huge number", std::string(4 << 20, '9'), {"Highscores Loaded"}, kFirstSettings, kNoScores},
        {"a hundred thousand fields",
         manyFields,
         {"Settings Checksum Invalid", "Badge Checksum Invalid", "Highscores Loaded"},
         kFirstSettings,
         kNoScores},
        {"only separators",
         std::string(100000, '|'),
         {"Settings Loaded", "Badges Loaded", "Highscores Loaded"},
         Settings({{10, 64}, {11, 64}, {12, 10}, {14, 1}}),
         kNoScores},
        {"a valid text followed by thousands of fields",
         valid + manyFields,
         {"Settings Loaded", "Badges Loaded", "Highscores Loaded"},
         Settings({{5, 2}, {10, 64}, {11, 64}, {12, 10}, {14, 1}}),
         kBest},
        {"numbers beyond the int range saturate",
         "0|99999999999999999999|-99999999999999|" + Text(Fields(22)) +
             std::to_string(Wrap32(1LL * INT_MAX + 2LL * INT_MIN)) + "|",
         {"Settings Loaded", "Highscores Loaded"},
         Settings({{1, INT_MAX}, {2, INT_MIN}, {10, 64}, {11, 64}, {12, 10}, {14, 1}}),
         kNoScores},
        {"blanks, signs and trailing text read as atoi does",
         " \t+12abc|" + Text(Fields(24)) + "0|",
         {"Settings Loaded", "Highscores Loaded"},
         Settings({{0, 12}, {10, 64}, {11, 64}, {12, 10}, {14, 1}}),
         kNoScores},
        {"only the first 63 characters count",
         "0|" + sixtyThree + "5|" + sixtyFour + "5|" + Text(Fields(22)) + "5|",
         {"Settings Loaded", "Highscores Loaded"},
         Settings({{1, 5}, {10, 64}, {11, 64}, {12, 10}, {14, 1}}),
         kNoScores},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LoadFrom(c.stored), c.printed);
        EXPECT_EQ(SettingsNow(), c.setting);
        EXPECT_EQ(ScoresNow(0), c.best0);
    }
}

TEST_F(Saved, ALoadInDebugModePrintsTheStoredTextFirst) {
    std::string stored = Text(SettingsSection(kFirstSettings));
    writeFile(dir / ".cobaltstate", stored);
    app = FreshApp();
    DebugMode = 1;
    EXPECT_EQ(Printed([&] { app->p_Load(); }), (Lines{stored, "Settings Loaded", "Highscores Loaded"}));
}

TEST_F(Saved, BadgeTextsSplitIntoNameAndDetail) {
    struct Case {
        int id;
        String name, detail;
    } cases[] = {{0, u"Test Badge", u"This is a Test Badge which has no purpose."},
                 {7, u"Odd Badge", u"This badge hasn't been defined!"},
                 {255, u"Odd Badge", u"This badge hasn't been defined!"},
                 {-1, u"Odd Badge", u"This badge hasn't been defined!"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_TRUE(app->p_BadgeID(c.id) == c.name + String(u"|") + c.detail);
        EXPECT_TRUE(app->p_BadgeName(c.id) == c.name);
        EXPECT_TRUE(app->p_BadgeDetail(c.id) == c.detail);
    }
}

} // namespace
