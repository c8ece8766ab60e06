// The translations in resources/lang against the English resources (Kestrova.rc's templates and
// menu, EnglishTexts.inc's strings): the same
// texts, the same placeholders and lines, nothing left in English but names, the same controls,
// access keys that do not clash, plural forms as each language counts.
#include "Language.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const fs::path Resources = KESTROVA_RESOURCES_DIR;

struct TResources {
    std::string Language;                     // the LANGUAGE statement's arguments
    std::map<std::string, std::string> Texts; // "IDS_X", "IDD_MAIN/IDC_Y", "IDM_POPUP/IDM_Z"
    std::map<std::string, std::vector<std::string>> Windows; // dialog or menu: its texts' keys
    std::vector<std::string> Structure; // every template line with its text taken out
    std::vector<std::string> Includes;
};

std::string Trim(const std::string& Text) {
    size_t First = Text.find_first_not_of(" \t\r");
    size_t Last = Text.find_last_not_of(" \t\r");
    return First == std::string::npos ? "" : Text.substr(First, Last - First + 1);
}

// The resource compiler's string at Line[Pos] (on its opening quote); Pos moves past it.
std::string QuotedAt(const std::string& Line, size_t& Pos) {
    std::string Text;
    for (++Pos; Pos < Line.size(); ++Pos) {
        char c = Line[Pos];
        if (c == '"') {
            if (Pos + 1 < Line.size() && Line[Pos + 1] == '"') {
                Text += '"';
                ++Pos;
                continue;
            }
            ++Pos;
            return Text;
        }
        if (c == '\\' && Pos + 1 < Line.size() && Line[Pos + 1] >= '0' && Line[Pos + 1] <= '7') {
            // An octal escape, as in \042 for a double quote.
            int Code = 0;
            for (int Digits = 0; Digits < 3 && Pos + 1 < Line.size() && Line[Pos + 1] >= '0' &&
                                 Line[Pos + 1] <= '7';
                 ++Digits)
                Code = Code * 8 + (Line[++Pos] - '0');
            Text += static_cast<char>(Code);
            continue;
        }
        if (c == '\\' && Pos + 1 < Line.size()) {
            char e = Line[++Pos];
            Text += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
            continue;
        }
        Text += c;
    }
    ADD_FAILURE() << "unterminated string: " << Line;
    return Text;
}

// Adjacent strings at Line[Pos] joined, as the compilers join them; a macro between them (the
// version) stands as its own name. Pos moves past the last string.
std::string JoinedAt(const std::string& Line, size_t& Pos) {
    std::string Text = QuotedAt(Line, Pos);
    for (;;) {
        size_t Next = Line.find_first_not_of(" \t", Pos);
        if (Next == std::string::npos)
            return Text;
        if (Line[Next] == '"') {
            Pos = Next;
            Text += QuotedAt(Line, Pos);
            continue;
        }
        size_t End = Line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_", Next);
        if (End == Next || End == std::string::npos)
            return Text;
        size_t After = Line.find_first_not_of(" \t", End);
        if (After == std::string::npos || Line[After] != '"')
            return Text;
        Text += Line.substr(Next, End - Next);
        Pos = After;
        Text += QuotedAt(Line, Pos);
    }
}

std::string FirstWord(const std::string& Text) {
    size_t End = Text.find_first_of(" \t,");
    return Text.substr(0, End);
}

// Only English's own part of Kestrova.rc is read when Stop is true: up to its first #include of a
// translation.
TResources Read(const fs::path& File, bool StopAtTranslations) {
    std::ifstream In(File);
    EXPECT_TRUE(In) << "cannot read " << File;
    TResources Out;
    std::string Line, Window;
    while (std::getline(In, Line)) {
        std::string Stripped = Trim(Line);
        if (Stripped.rfind("#include \"lang/", 0) == 0) {
            Out.Includes.push_back(Stripped.substr(10, Stripped.size() - 11));
            if (StopAtTranslations)
                continue;
        }
        if (Stripped.empty() || Stripped.rfind("//", 0) == 0 || Stripped[0] == '#')
            continue;
        if (Stripped.rfind("FONT ", 0) == 0) {
            Out.Structure.push_back(Stripped); // the font is the same in every language
            continue;
        }
        if (Stripped.rfind("LANGUAGE ", 0) == 0) {
            Out.Language = Stripped.substr(9);
            continue;
        }
        std::string Word = FirstWord(Stripped);
        if (Stripped.find(" DIALOGEX ") != std::string::npos ||
            Stripped.find(" MENU") == Word.size()) {
            Window = Word;
            Out.Structure.push_back(Stripped);
            continue;
        }
        if (Stripped == "STRINGTABLE" || Stripped.rfind("VS_VERSION_INFO", 0) == 0 ||
            Stripped.find(" ICON ") != std::string::npos ||
            Stripped.find(" RT_MANIFEST ") != std::string::npos) {
            Window = Stripped == "STRINGTABLE" ? "" : "-";
            continue;
        }
        if (Window == "-")
            continue; // version information and the like: not translated
        size_t Quote = Stripped.find('"');
        if (Quote == std::string::npos) {
            if (!Window.empty())
                Out.Structure.push_back(Stripped);
            continue;
        }
        size_t Pos = Quote;
        std::string Text = JoinedAt(Stripped, Pos);
        std::string Rest = Trim(Stripped.substr(Pos));
        if (!Rest.empty() && Rest[0] == ',')
            Rest = Trim(Rest.substr(1));
        std::string Key;
        if (Window.empty())
            Key = Word; // a string: IDS_X "text"
        else if (Word == "CAPTION")
            Key = Window + "/CAPTION";
        else if (Word == "POPUP")
            Key = Window + "/POPUP";
        else
            Key = Window + "/" + FirstWord(Rest);
        EXPECT_EQ(Out.Texts.count(Key), 0u) << Key << " twice in " << File;
        Out.Texts[Key] = Text;
        if (!Window.empty()) {
            Out.Windows[Window].push_back(Key);
            Out.Structure.push_back(Stripped.substr(0, Quote) + "<text>" + Stripped.substr(Pos));
        }
    }
    return Out;
}

// The string table's English texts, from the list both Kestrova.rc and the core take them from:
// KESTROVA_TEXT(IDS_X, "text" "more") and KESTROVA_BUILT_TEXT alike, over one line or several.
std::map<std::string, std::string> ReadEnglishTexts(const fs::path& File) {
    std::ifstream In(File);
    EXPECT_TRUE(In) << "cannot read " << File;
    std::string All, Line;
    while (std::getline(In, Line))
        if (Trim(Line).rfind("//", 0) != 0)
            All += Trim(Line) + " ";
    std::map<std::string, std::string> Texts;
    for (size_t At = 0; (At = All.find("KESTROVA_", At)) != std::string::npos;) {
        size_t Open = All.find('(', At);
        std::string Macro = All.substr(At, Open - At);
        At = Open;
        if (Macro != "KESTROVA_TEXT" && Macro != "KESTROVA_BUILT_TEXT")
            continue;
        size_t Comma = All.find(',', Open);
        std::string Id = Trim(All.substr(Open + 1, Comma - Open - 1));
        size_t Pos = All.find('"', Comma);
        EXPECT_EQ(Texts.count(Id), 0u) << Id << " twice in " << File;
        Texts[Id] = JoinedAt(All, Pos);
        At = Pos;
    }
    return Texts;
}

// The placeholders a text uses, each once.
std::set<std::string> Placeholders(const std::string& Text) {
    std::set<std::string> Found;
    for (size_t i = 0; i + 1 < Text.size(); ++i)
        if (Text[i] == '%' && Text[i + 1] >= '1' && Text[i + 1] <= '9')
            Found.insert(Text.substr(i, 2));
    return Found;
}

size_t Count(const std::string& Text, char c) {
    return static_cast<size_t>(std::count(Text.begin(), Text.end(), c));
}

// "{1:a|b|c}" parts: the number they follow, how many forms.
std::vector<std::pair<char, size_t>> PluralParts(const std::string& Text) {
    std::vector<std::pair<char, size_t>> Parts;
    for (size_t i = 0; i + 2 < Text.size(); ++i) {
        if (Text[i] != '{' || Text[i + 2] != ':')
            continue;
        size_t Close = Text.find('}', i);
        if (Close == std::string::npos)
            break;
        Parts.emplace_back(Text[i + 1], Count(Text.substr(i, Close - i), '|') + 1);
    }
    return Parts;
}

// Names, the converter's name and the like stay as they are in every language.
bool OnlyNames(std::string Text) {
    for (const char* Name :
         {"KESTROVA_VERSION_TEXT", "Tamblin Software", "Kestrova", "Orvanet", "FFmpeg", "WebM",
          "AVI", "https://www.orvanet.example/", "lblCurFile", "OK", "webm", "GB"}) {
        for (size_t At; (At = Text.find(Name)) != std::string::npos;)
            Text.erase(At, std::string(Name).size());
    }
    for (size_t i = 0; i + 1 < Text.size(); ++i)
        if (Text[i] == '%' && isdigit(static_cast<unsigned char>(Text[i + 1])))
            Text.erase(i, 2);
    return std::none_of(Text.begin(), Text.end(),
                        [](char c) { return isalpha(static_cast<unsigned char>(c)); });
}

// Words Windows itself uses alike in English and in the language.
const std::set<std::pair<std::string, std::string>> SameAsEnglish = {
    {"de", "IDS_COLUMNNAME"},
    {"de", "IDD_DETAILS/CAPTION"},
    {"de", "IDM_POPUP/IDM_DETAILS"},
};

const std::map<std::string, std::string> LanguageStatements = {
    {"de", "LANG_GERMAN, SUBLANG_GERMAN"},
    {"fr", "LANG_FRENCH, SUBLANG_FRENCH"},
    {"es", "LANG_SPANISH, SUBLANG_SPANISH_MODERN"},
    {"it", "LANG_ITALIAN, SUBLANG_ITALIAN"},
    {"pt-BR", "LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN"},
    {"ru", "LANG_RUSSIAN, SUBLANG_DEFAULT"},
    {"uk", "LANG_UKRAINIAN, SUBLANG_DEFAULT"},
    {"pl", "LANG_POLISH, SUBLANG_DEFAULT"},
    {"tr", "LANG_TURKISH, SUBLANG_DEFAULT"},
    {"ja", "LANG_JAPANESE, SUBLANG_DEFAULT"},
    {"zh-CN", "LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED"},
    {"ko", "LANG_KOREAN, SUBLANG_KOREAN"},
};

size_t FormsOf(TPluralRule Rule) {
    switch (Rule) {
    case TPluralRule::None:
        return 1;
    case TPluralRule::OneOther:
    case TPluralRule::ZeroOneOther:
        return 2;
    case TPluralRule::EastSlavic:
    case TPluralRule::Polish:
        return 3;
    }
    return 0;
}

class Translation : public testing::TestWithParam<std::string> {
protected:
    static const TResources& English() {
        static const TResources Resources = [] {
            TResources Read = ::Read(::Resources / "Kestrova.rc", true);
            for (auto& [Key, Text] : ReadEnglishTexts(::Resources / "EnglishTexts.inc"))
                Read.Texts.emplace(Key, Text);
            return Read;
        }();
        return Resources;
    }
    TResources Translated = Read(::Resources / "lang" / (GetParam() + ".rc"), false);
    std::string Tag = GetParam();
};

} // namespace

TEST(Translations, EveryLanguageHeldHasItsFileIncludedAndNoOtherIs) {
    TResources English = Read(Resources / "Kestrova.rc", true);
    ASSERT_FALSE(English.Texts.empty());
    std::set<std::string> Included(English.Includes.begin(), English.Includes.end());
    std::set<std::string> Expected;
    for (const TLanguage& Language : SupportedLanguages())
        if (&Language != &EnglishLanguage())
            Expected.insert("lang/" +
                            std::string(Language.Tag, Language.Tag + wcslen(Language.Tag)) + ".rc");
    EXPECT_EQ(Included, Expected);
    std::set<std::string> Files;
    for (const auto& Entry : fs::directory_iterator(Resources / "lang"))
        Files.insert("lang/" + Entry.path().filename().string());
    EXPECT_EQ(Files, Expected);
}

TEST_P(Translation, StatesTheLanguageTheProgramLoads) {
    EXPECT_EQ(Translated.Language, LanguageStatements.at(Tag));
    EXPECT_NE(FindLanguage(std::wstring(Tag.begin(), Tag.end())), nullptr);
}

TEST_P(Translation, HasEveryTextOfEnglishAndNoOther) {
    for (const auto& [Key, Text] : English().Texts)
        EXPECT_EQ(Translated.Texts.count(Key), 1u) << Tag << " lacks " << Key;
    for (const auto& [Key, Text] : Translated.Texts)
        EXPECT_EQ(English().Texts.count(Key), 1u) << Tag << " has " << Key << ", English has not";
}

TEST_P(Translation, KeepsTheTemplatesControlsStylesAndOrder) {
    EXPECT_EQ(Translated.Structure, English().Structure);
}

TEST_P(Translation, KeepsEveryPlaceholderAndLine) {
    for (const auto& [Key, Text] : Translated.Texts) {
        auto Original = English().Texts.find(Key);
        if (Original == English().Texts.end())
            continue;
        EXPECT_EQ(Placeholders(Text), Placeholders(Original->second)) << Tag << " " << Key;
        EXPECT_EQ(Count(Text, '\n'), Count(Original->second, '\n')) << Tag << " " << Key;
        EXPECT_EQ(Count(Text, '\r'), Count(Original->second, '\r')) << Tag << " " << Key;
        EXPECT_EQ(
            Count(Text, '|'), Count(Original->second, '|') +
                                  [&] {
                                      size_t Bars = 0;
                                      for (auto [N, Forms] : PluralParts(Text))
                                          Bars += Forms - 1;
                                      return Bars;
                                  }())
            << Tag << " " << Key << ": a filter's bars";
    }
}

TEST_P(Translation, GivesEachNumberAsManyFormsAsTheLanguageHas) {
    const TLanguage* Language = FindLanguage(std::wstring(Tag.begin(), Tag.end()));
    ASSERT_NE(Language, nullptr);
    for (const auto& [Key, Text] : Translated.Texts) {
        for (auto [Number, Forms] : PluralParts(Text)) {
            EXPECT_EQ(Forms, FormsOf(Language->Plural)) << Tag << " " << Key;
            EXPECT_TRUE(Placeholders(English().Texts.at(Key)).count(std::string("%") + Number))
                << Tag << " " << Key << " counts a number it is not given";
        }
    }
}

TEST_P(Translation, LeavesNothingInEnglishButNames) {
    for (const auto& [Key, Text] : Translated.Texts) {
        auto Original = English().Texts.find(Key);
        if (Original == English().Texts.end() || Text != Original->second || OnlyNames(Text) ||
            SameAsEnglish.count({Tag, Key}))
            continue;
        ADD_FAILURE() << Tag << " " << Key << " is still English: " << Text;
    }
}

// Strings the program puts on a window's controls, beside the template's own texts: one of each
// list at a time (the countdown's button says Sleep Now or Shut Down Now).
const std::map<std::string, std::vector<std::string>> StringsShownIn = {
    {"IDD_COUNTDOWN", {"IDS_SLEEPNOW", "IDS_SHUTDOWNNOW"}},
};

TEST_P(Translation, GivesEachAccessKeyOnceAWindow) {
    for (const auto& [Window, TemplateKeys] : Translated.Windows) {
        std::vector<std::vector<std::string>> Variants;
        auto Shown = StringsShownIn.find(Window);
        if (Shown == StringsShownIn.end())
            Variants.push_back(TemplateKeys);
        else
            for (const std::string& String : Shown->second) {
                Variants.push_back(TemplateKeys);
                Variants.back().push_back(String);
            }
        for (const std::vector<std::string>& Keys : Variants) {
            std::map<std::string, std::string> Used;
            for (const std::string& Key : Keys) {
                const std::string& Text = Translated.Texts.at(Key);
                for (size_t i = 0; i + 1 < Text.size(); ++i) {
                    if (Text[i] != '&')
                        continue;
                    if (Text[i + 1] == '&') {
                        ++i;
                        continue;
                    }
                    // The key is the character after "&", in any case; a multi-byte one whole.
                    size_t Length = 1;
                    while (i + 1 + Length < Text.size() &&
                           (static_cast<unsigned char>(Text[i + 1 + Length]) & 0xC0) == 0x80)
                        ++Length;
                    std::string Letter = Text.substr(i + 1, Length);
                    if (Length == 1)
                        Letter[0] =
                            static_cast<char>(tolower(static_cast<unsigned char>(Letter[0])));
                    auto [At, Fresh] = Used.emplace(Letter, Key);
                    EXPECT_TRUE(Fresh) << Tag << " " << Window << ": &" << Letter << " in " << Key
                                       << " and " << At->second;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, Translation,
                         testing::Values("de", "fr", "es", "it", "pt-BR", "ru", "uk", "pl", "tr",
                                         "ja", "zh-CN", "ko"),
                         [](const testing::TestParamInfo<std::string>& Info) {
                             std::string Name = Info.param;
                             Name.erase(std::remove(Name.begin(), Name.end(), '-'), Name.end());
                             return Name;
                         });
