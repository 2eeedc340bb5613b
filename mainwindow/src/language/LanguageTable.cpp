// Language identifiers and POSIX locale names, both ways.
#include "mainwindow/LanguageSelector.h"

#include <array>
#include <string_view>

namespace language
{
namespace
{
struct Entry
{
    std::uint16_t id;
    std::string_view name;
};

// Primary languages (sublanguage 0): the bare language code.
constexpr Entry kPrimary[] = {
    {0x01, "ar"}, {0x02, "bg"}, {0x03, "ca"}, {0x04, "zh"}, {0x05, "cs"}, {0x06, "da"},
    {0x07, "de"}, {0x08, "el"}, {0x09, "en"}, {0x0A, "es"}, {0x0B, "fi"}, {0x0C, "fr"},
    {0x0D, "he"}, {0x0E, "hu"}, {0x0F, "is"}, {0x10, "it"}, {0x11, "ja"}, {0x12, "ko"},
    {0x13, "nl"}, {0x14, "nb"}, {0x15, "pl"}, {0x16, "pt"}, {0x18, "ro"}, {0x19, "ru"},
    {0x1A, "hr"}, {0x1B, "sk"}, {0x1D, "sv"}, {0x1E, "th"}, {0x1F, "tr"}, {0x21, "id"},
    {0x22, "uk"}, {0x24, "sl"}, {0x25, "et"}, {0x26, "lv"}, {0x27, "lt"}, {0x2A, "vi"},
};

// Languages of a country. Where two identifiers share a name, the first one
// here is what the name reads as.
constexpr Entry kCountry[] = {
    {0x0401, "ar_SA"}, {0x0402, "bg_BG"}, {0x0403, "ca_ES"}, {0x0404, "zh_TW"}, {0x0804, "zh_CN"},
    {0x0C04, "zh_HK"}, {0x1004, "zh_SG"}, {0x0405, "cs_CZ"}, {0x0406, "da_DK"}, {0x0407, "de_DE"},
    {0x0807, "de_CH"}, {0x0C07, "de_AT"}, {0x1007, "de_LU"}, {0x1407, "de_LI"}, {0x0408, "el_GR"},
    {0x0409, "en_US"}, {0x0809, "en_GB"}, {0x0C09, "en_AU"}, {0x1009, "en_CA"}, {0x1409, "en_NZ"},
    {0x1809, "en_IE"}, {0x0C0A, "es_ES"}, {0x040A, "es_ES"}, {0x080A, "es_MX"}, {0x2C0A, "es_AR"},
    {0x040B, "fi_FI"}, {0x040C, "fr_FR"}, {0x080C, "fr_BE"}, {0x0C0C, "fr_CA"}, {0x100C, "fr_CH"},
    {0x140C, "fr_LU"}, {0x040D, "he_IL"}, {0x040E, "hu_HU"}, {0x040F, "is_IS"}, {0x0410, "it_IT"},
    {0x0810, "it_CH"}, {0x0411, "ja_JP"}, {0x0412, "ko_KR"}, {0x0413, "nl_NL"}, {0x0813, "nl_BE"},
    {0x0414, "nb_NO"}, {0x0415, "pl_PL"}, {0x0416, "pt_BR"}, {0x0816, "pt_PT"}, {0x0418, "ro_RO"},
    {0x0419, "ru_RU"}, {0x041A, "hr_HR"}, {0x041B, "sk_SK"}, {0x041D, "sv_SE"}, {0x081D, "sv_FI"},
    {0x041E, "th_TH"}, {0x041F, "tr_TR"}, {0x0421, "id_ID"}, {0x0422, "uk_UA"}, {0x0424, "sl_SI"},
    {0x0425, "et_EE"}, {0x0426, "lv_LV"}, {0x0427, "lt_LT"}, {0x042A, "vi_VN"},
};

template <size_t N> std::string_view NameOf(const Entry (&table)[N], std::uint16_t id)
{
    for (const Entry& entry : table)
    {
        if (entry.id == id)
            return entry.name;
    }
    return {};
}

template <size_t N> std::uint16_t IdOf(const Entry (&table)[N], std::string_view name)
{
    for (const Entry& entry : table)
    {
        if (entry.name == name)
            return entry.id;
    }
    return 0;
}
} // namespace

std::string PosixName(std::uint16_t id)
{
    if (id < 0x400)
        return std::string(NameOf(kPrimary, id));
    return std::string(NameOf(kCountry, id));
}

std::uint16_t IdFromPosix(const std::string& locale)
{
    std::string name = locale.substr(0, locale.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX")
        return 0;
    if (std::uint16_t id = IdOf(kCountry, name))
        return id;
    // A country we do not list still names its language.
    return IdOf(kPrimary, name.substr(0, name.find('_')));
}
} // namespace language
