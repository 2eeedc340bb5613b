#include "mainwindow/LanguageSelector.h"

#include "foundation/uTranslation.h"
#include "mainwindow/ProfileStore.h"
#include "support/MsgfmtCatalog.h"
#include "support/TempDir.h"

#include <clocale>
#include <filesystem>
#include <gtest/gtest.h>

using testsupport::TempDir;

namespace
{
class FakeEnvironment : public ILocaleEnvironment
{
public:
    std::string user, system, userDefault;
    std::string UserInterfaceLocale() const override { return user; }
    std::string SystemInterfaceLocale() const override { return system; }
    std::string UserDefaultLocale() const override { return userDefault; }
};

using testsupport::HaveMsgfmt;

// A catalog compiled by the real msgfmt.
std::string Compile(const TempDir& dir, const std::string& name, const std::string& language,
                    const std::string& endianness = "little")
{
    return testsupport::CompileCatalog(dir, name, language, endianness);
}

class LanguageSelectorTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!HaveMsgfmt())
            GTEST_SKIP() << "msgfmt (gettext) is not installed";
    }
    void TearDown() override { uSetCatalog(nullptr); }

    std::unique_ptr<CLanguageSelector> Selector(CProfileStore* profile = nullptr)
    {
        return std::make_unique<CLanguageSelector>(m_dir.file("languages"), profile, m_environment);
    }
    std::vector<std::string> Tried(const CLanguageSelector& selector) const
    {
        std::vector<std::string> names;
        for (const std::string& path : selector.GetTriedFiles())
            names.push_back(std::filesystem::path(path).filename().string());
        return names;
    }

    TempDir m_dir;
    std::shared_ptr<FakeEnvironment> m_environment = std::make_shared<FakeEnvironment>();
};
} // namespace

TEST_F(LanguageSelectorTest, ACountrysLanguageFallsBackToTheLanguageAndItsDefaultCountry)
{
    CProfileStore profile(m_dir.file("profile.ini"));
    profile.WriteProfileInt("", "LanguageId", 0x0C07); // de_AT
    std::filesystem::create_directories(m_dir.file("languages"));
    {
        auto selector = Selector(&profile);
        EXPECT_TRUE(selector->ChooseLanguage());
        EXPECT_EQ(Tried(*selector), (std::vector<std::string>{"de_AT.mo", "de.mo", "de_DE.mo"}));
        EXPECT_EQ(selector->GetCurrentLanguage(), CLanguageSelector::kOwnLanguage);
        EXPECT_EQ(uTr("&File"), "&File");
    }
    Compile(m_dir, "languages/de.mo", "de");
    {
        auto selector = Selector(&profile);
        EXPECT_TRUE(selector->ChooseLanguage());
        EXPECT_EQ(Tried(*selector), (std::vector<std::string>{"de_AT.mo", "de.mo"}));
        EXPECT_EQ(selector->GetCurrentLanguage(), 0x0007);
        EXPECT_EQ(uTr("&File"), "&Datei");
    }
    EXPECT_EQ(uTr("&File"), "&File") << "the program's own texts once the selector is gone";

    // The default country is not tried twice; the own language loads nothing.
    profile.WriteProfileInt("", "LanguageId", 0x0407);
    std::filesystem::remove(m_dir.file("languages/de.mo"));
    auto selector = Selector(&profile);
    selector->ChooseLanguage();
    EXPECT_EQ(Tried(*selector), (std::vector<std::string>{"de_DE.mo", "de.mo"}));
    profile.WriteProfileInt("", "LanguageId", 0x0409);
    auto own = Selector(&profile);
    EXPECT_TRUE(own->ChooseLanguage());
    EXPECT_TRUE(own->GetTriedFiles().empty());
}

TEST_F(LanguageSelectorTest, WithoutAStoredChoiceTheUsersThenTheSystemsLanguageCounts)
{
    Compile(m_dir, "languages/de.mo", "de");
    Compile(m_dir, "languages/fr_CA.mo", "fr_CA");
    const std::string numericBefore = std::setlocale(LC_NUMERIC, nullptr);

    m_environment->user = "de_AT.UTF-8@euro";
    m_environment->system = "fr_CA.UTF-8";
    auto user = Selector();
    user->ChooseLanguage();
    EXPECT_EQ(user->GetCurrentLanguage(), 0x0007);

    m_environment->user = "C";
    auto system = Selector();
    system->ChooseLanguage();
    EXPECT_EQ(system->GetCurrentLanguage(), 0x0C0C);
    EXPECT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), numericBefore) << "numbers keep their locale";
}

TEST_F(LanguageSelectorTest, TheMenuListsCatalogsWithAKnownLanguageAndAPickIsStored)
{
    Compile(m_dir, "languages/de.mo", "de");
    Compile(m_dir, "languages/FR.MO", "fr_FR");
    Compile(m_dir, "languages/plain.mo", "");
    Compile(m_dir, "languages/klingon.mo", "tlh");
    m_dir.write("languages/de.po", "not a catalog");

    CProfileStore profile(m_dir.file("profile.ini"));
    auto selector = Selector(&profile);
    selector->ChooseLanguage();
    selector->RefreshLanguages();
    EXPECT_EQ(selector->GetLanguages(), (std::vector<std::uint16_t>{0x0409, 0x040C, 0x0007}));

    EXPECT_FALSE(selector->SelectLanguage(CLanguageSelector::kFirstCommand + 3));
    EXPECT_TRUE(selector->SelectLanguage(CLanguageSelector::kFirstCommand + 2));
    EXPECT_EQ(selector->GetCurrentLanguage(), 0x0007);
    EXPECT_EQ(CProfileStore(m_dir.file("profile.ini")).GetProfileInt("", "LanguageId", 0), 0x0007);
    EXPECT_EQ(uTr("&File"), "&Datei");
    EXPECT_TRUE(selector->SelectLanguage(CLanguageSelector::kFirstCommand));
    EXPECT_EQ(uTr("&File"), "&File");
}
