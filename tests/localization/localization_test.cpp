#include "localization/localization.h"

#include <gtest/gtest.h>

#include <set>

namespace zelmar {
namespace {

constexpr AppLanguage kBoth[] = { AppLanguage::zhTW, AppLanguage::enUS };

TEST(Localization, EveryKeyHasTextInBothLanguages)
{
    for (int k = 0; k < l10nKeyCount; ++k) {
        const auto key = static_cast<L10nKey>(k);
        for (AppLanguage lang : kBoth) {
            const auto text = L10n::text(key, lang);
            EXPECT_FALSE(text.empty()) << k;
        }
    }
    EXPECT_EQ(static_cast<int>(L10nKey::overload), l10nKeyCount - 1);
    EXPECT_EQ(L10n::text(L10nKey::overload, AppLanguage::enUS), "OL");
    EXPECT_EQ(L10n::text(L10nKey::appName, AppLanguage::zhTW), "ZELMAR DMM-5174K");
    EXPECT_EQ(
        L10n::text(L10nKey::viewLanguage, AppLanguage::zhTW), L10n::text(L10nKey::viewLanguage, AppLanguage::enUS));
    EXPECT_EQ(L10n::text(L10nKey::fileOpen, AppLanguage::zhTW), "開啟(&O)...\tCtrl+O");
    EXPECT_EQ(L10n::text(L10nKey::dialogLimitReachedBody, AppLanguage::enUS),
        "The 600,000-record limit has been reached. Please save or start a new file.");
}

TEST(Localization, MenusKeepMnemonicsAndAcceleratorTabs)
{
    const L10nKey withAccelerator[] = { L10nKey::fileNew, L10nKey::fileOpen, L10nKey::fileSave, L10nKey::fileExit,
        L10nKey::editCopySelectedRows, L10nKey::editSelectAll, L10nKey::editDeleteSelectedRows };
    for (L10nKey key : withAccelerator) {
        const auto zh = L10n::text(key, AppLanguage::zhTW);
        const auto en = L10n::text(key, AppLanguage::enUS);
        ASSERT_NE(zh.find('\t'), std::string_view::npos);
        EXPECT_EQ(zh.substr(zh.find('\t')), en.substr(en.find('\t')));
    }
    const char mnemonics[] = { 'F', 'E', 'V', 'H' };
    for (int k = 0; k < 4; ++k) {
        const auto zh = L10n::text(static_cast<L10nKey>(k), AppLanguage::zhTW);
        EXPECT_NE(zh.find(std::string("(&") + mnemonics[k] + ")"), std::string_view::npos) << zh;
        EXPECT_EQ(L10n::text(static_cast<L10nKey>(k), AppLanguage::enUS)[0], '&');
    }
}

TEST(Localization, FunctionNames)
{
    std::set<std::string> zh, en;
    for (int code = 0; code < DmmFunction::knownCodeCount; ++code) {
        const DmmFunction f(static_cast<std::uint8_t>(code));
        zh.insert(L10n::functionName(f, AppLanguage::zhTW));
        en.insert(L10n::functionName(f, AppLanguage::enUS));
        if (f.kind() == DmmFunction::Case::acAClamp || f.kind() == DmmFunction::Case::inrush) {
            EXPECT_NE(L10n::functionName(f, AppLanguage::zhTW).find("（鉗形表）"), std::string::npos);
            EXPECT_NE(L10n::functionName(f, AppLanguage::enUS).find("(Clamp)"), std::string::npos);
        }
    }
    EXPECT_EQ(zh.size(), 31u); // every name distinct
    EXPECT_EQ(en.size(), 31u);
    EXPECT_EQ(L10n::functionName(DmmFunction(0x3F), AppLanguage::enUS), "Unknown (0x3F)");
    EXPECT_EQ(L10n::functionName(DmmFunction(0x3F), AppLanguage::zhTW), "未知檔位(0x3F)");
    EXPECT_EQ(L10n::functionName(DmmFunction::unknown(5), AppLanguage::enUS), "Unknown (0x05)");
    EXPECT_EQ(L10n::functionName(DmmFunction(16), AppLanguage::enUS), "DC Current (10A)");
    EXPECT_EQ(L10n::functionName(DmmFunction(0), AppLanguage::zhTW), "交流電壓");
}

TEST(Localization, ComposedTexts)
{
    using L = AppLanguage;
    EXPECT_EQ(L10n::windowTitle("a.zmd", true), "a.zmd * - ZELMAR DMM-5174K");
    EXPECT_EQ(L10n::windowTitle("a.zmd", false), "a.zmd - ZELMAR DMM-5174K");
    EXPECT_EQ(L10n::windowTitle(std::nullopt, true), "ZELMAR DMM-5174K");
    EXPECT_EQ(L10n::statusConnected(L::zhTW, "DMM-5174K"), "已連線: DMM-5174K");
    EXPECT_EQ(L10n::statusRecording(L::enUS, 599001, true), "Recording: #599001 (Near Limit)");
    EXPECT_EQ(L10n::statusRecording(L::zhTW, 12, false), "記錄中：第 12 筆");
    EXPECT_EQ(L10n::recoveryQuestion(L::enUS, 1, "A", "B"),
        "Detected 1 record(s) left from the last unexpected shutdown (time range A - B). Restore this data?");
    EXPECT_EQ(L10n::recoveryQuestion(L::zhTW, 1200, "A", "B"),
        "偵測到上次程式未正常結束所留下的 1200 筆記錄（時間範圍 A～B）。是否恢復這些資料？");
    EXPECT_EQ(L10n::openRefusedOtherModel(L::enUS, "DMM-9"),
        "This file contains measurement data from \"DMM-9\", which this software does not support.");
    EXPECT_EQ(L10n::updatePromptVersions(L::zhTW, "1.0.0", "1.1.0"), "目前版本：1.0.0\u3000→\u3000新版本：1.1.0");
    EXPECT_EQ(L10n::updatePromptVersions(L::enUS, "1.0.0", "1.1.0"), "Current version: 1.0.0  →  New version: 1.1.0");
    EXPECT_EQ(L10n::updatePromptFacts(L::enUS, "2025-01-02", "1.5 MB"), "Release date: 2025-01-02   Size: 1.5 MB");
    EXPECT_EQ(L10n::downloadProgress(L::zhTW, "1.0 MB", "2.0 MB", 50), "已下載 1.0 MB／2.0 MB（50%）");
    EXPECT_EQ(L10n::manifestHttpStatus(L::enUS, 404),
        "The update server has no update information for this software yet. Please try again later. (HTTP 404)");
    EXPECT_NE(L10n::manifestHttpStatus(L::enUS, 500).find("(HTTP 500). The server may"), std::string::npos);
    EXPECT_EQ(L10n::manifestNetworkError(L::zhTW, 12029),
        "無法連線到更新伺服器，請確認網路連線後再試一次。（錯誤代碼 12029）");
    EXPECT_EQ(L10n::downloadingPercent(L::enUS, 7), "Downloading update... 7%");
    EXPECT_EQ(L10n::upToDate(L::enUS, "1.0.0"), "You're using the latest version (1.0.0).");
    EXPECT_EQ(L10n::installerLaunchFailed(L::zhTW, 5), "無法啟動安裝程式（錯誤代碼 5），未安裝更新。");
}

TEST(Localization, ByteSizesAndLanguageCodes)
{
    EXPECT_EQ(L10n::byteSize(0), "0 KB");
    EXPECT_EQ(L10n::byteSize(1), "1 KB");
    EXPECT_EQ(L10n::byteSize(1'048'575), "1024 KB");
    EXPECT_EQ(L10n::byteSize(1'048'576), "1.0 MB");
    EXPECT_EQ(L10n::byteSize(1'572'864), "1.5 MB");
    EXPECT_EQ(L10n::byteSize(1'101'005), "1.1 MB"); // from 1.05 MB on, half up
    EXPECT_EQ(L10n::byteSize(1'101'004), "1.0 MB");

    EXPECT_EQ(parseLanguageCode("zh-TW"), AppLanguage::zhTW);
    EXPECT_EQ(parseLanguageCode("en-US"), AppLanguage::enUS);
    for (const char* bad : { "zh-tw", "en", "en-GB", "", " zh-TW" })
        EXPECT_EQ(parseLanguageCode(bad), std::nullopt) << bad;
    EXPECT_EQ(languageCode(AppLanguage::enUS), "en-US");
}

} // namespace
} // namespace zelmar
