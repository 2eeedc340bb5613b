#include "XmlEntityNames.h"
#include "foundation/uHtmlEntities.h"

#include <unordered_map>

namespace xmlentities
{
namespace
{

struct Entity
{
    const char* name;
    long codePoint;
};

// HTML 4.01: symbols, mathematics and Greek letters. "lang" and "rang" take
// the HTML5 code points (U+27E8, U+27E9): the HTML 4.01 ones are deprecated
// and show the same brackets.
constexpr Entity kSymbols[] = {
    {"fnof", 402},     {"Alpha", 913},   {"Beta", 914},    {"Gamma", 915},    {"Delta", 916},
    {"Epsilon", 917},  {"Zeta", 918},    {"Eta", 919},     {"Theta", 920},    {"Iota", 921},
    {"Kappa", 922},    {"Lambda", 923},  {"Mu", 924},      {"Nu", 925},       {"Xi", 926},
    {"Omicron", 927},  {"Pi", 928},      {"Rho", 929},     {"Sigma", 931},    {"Tau", 932},
    {"Upsilon", 933},  {"Phi", 934},     {"Chi", 935},     {"Psi", 936},      {"Omega", 937},
    {"alpha", 945},    {"beta", 946},    {"gamma", 947},   {"delta", 948},    {"epsilon", 949},
    {"zeta", 950},     {"eta", 951},     {"theta", 952},   {"iota", 953},     {"kappa", 954},
    {"lambda", 955},   {"mu", 956},      {"nu", 957},      {"xi", 958},       {"omicron", 959},
    {"pi", 960},       {"rho", 961},     {"sigmaf", 962},  {"sigma", 963},    {"tau", 964},
    {"upsilon", 965},  {"phi", 966},     {"chi", 967},     {"psi", 968},      {"omega", 969},
    {"thetasym", 977}, {"upsih", 978},   {"piv", 982},     {"bull", 8226},    {"hellip", 8230},
    {"prime", 8242},   {"Prime", 8243},  {"oline", 8254},  {"frasl", 8260},   {"weierp", 8472},
    {"image", 8465},   {"real", 8476},   {"trade", 8482},  {"alefsym", 8501}, {"larr", 8592},
    {"uarr", 8593},    {"rarr", 8594},   {"darr", 8595},   {"harr", 8596},    {"crarr", 8629},
    {"lArr", 8656},    {"uArr", 8657},   {"rArr", 8658},   {"dArr", 8659},    {"hArr", 8660},
    {"forall", 8704},  {"part", 8706},   {"exist", 8707},  {"empty", 8709},   {"nabla", 8711},
    {"isin", 8712},    {"notin", 8713},  {"ni", 8715},     {"prod", 8719},    {"sum", 8721},
    {"minus", 8722},   {"lowast", 8727}, {"radic", 8730},  {"prop", 8733},    {"infin", 8734},
    {"ang", 8736},     {"and", 8743},    {"or", 8744},     {"cap", 8745},     {"cup", 8746},
    {"int", 8747},     {"there4", 8756}, {"sim", 8764},    {"cong", 8773},    {"asymp", 8776},
    {"ne", 8800},      {"equiv", 8801},  {"le", 8804},     {"ge", 8805},      {"sub", 8834},
    {"sup", 8835},     {"nsub", 8836},   {"sube", 8838},   {"supe", 8839},    {"oplus", 8853},
    {"otimes", 8855},  {"perp", 8869},   {"sdot", 8901},   {"lceil", 8968},   {"rceil", 8969},
    {"lfloor", 8970},  {"rfloor", 8971}, {"lang", 10216},  {"rang", 10217},   {"loz", 9674},
    {"spades", 9824},  {"clubs", 9827},  {"hearts", 9829}, {"diams", 9830},
};

// HTML 4.01: markup-significant and internationalisation characters.
constexpr Entity kSpecial[] = {
    {"quot", 34},     {"amp", 38},      {"lt", 60},       {"gt", 62},       {"OElig", 338},
    {"oelig", 339},   {"Scaron", 352},  {"scaron", 353},  {"Yuml", 376},    {"circ", 710},
    {"tilde", 732},   {"ensp", 8194},   {"emsp", 8195},   {"thinsp", 8201}, {"zwnj", 8204},
    {"zwj", 8205},    {"lrm", 8206},    {"rlm", 8207},    {"ndash", 8211},  {"mdash", 8212},
    {"lsquo", 8216},  {"rsquo", 8217},  {"sbquo", 8218},  {"ldquo", 8220},  {"rdquo", 8221},
    {"bdquo", 8222},  {"dagger", 8224}, {"Dagger", 8225}, {"permil", 8240}, {"lsaquo", 8249},
    {"rsaquo", 8250}, {"euro", 8364},
};

// HTML5 names common in published text.
constexpr Entity kHtml5[] = {
    {"Tab", 9},
    {"NewLine", 10},
    {"excl", 33},
    {"QUOT", 34},
    {"num", 35},
    {"dollar", 36},
    {"percnt", 37},
    {"AMP", 38},
    {"apos", 39},
    {"lpar", 40},
    {"rpar", 41},
    {"ast", 42},
    {"midast", 42},
    {"plus", 43},
    {"comma", 44},
    {"period", 46},
    {"sol", 47},
    {"colon", 58},
    {"semi", 59},
    {"LT", 60},
    {"equals", 61},
    {"GT", 62},
    {"quest", 63},
    {"commat", 64},
    {"lsqb", 91},
    {"lbrack", 91},
    {"bsol", 92},
    {"rsqb", 93},
    {"rbrack", 93},
    {"Hat", 94},
    {"lowbar", 95},
    {"UnderBar", 95},
    {"grave", 96},
    {"lcub", 123},
    {"lbrace", 123},
    {"verbar", 124},
    {"vert", 124},
    {"VerticalLine", 124},
    {"rcub", 125},
    {"rbrace", 125},
    {"NonBreakingSpace", 160},
    {"COPY", 169},
    {"REG", 174},
    {"pm", 177},
    {"PlusMinus", 177},
    {"centerdot", 183},
    {"half", 189},
    {"angst", 197},
    {"div", 247},
    {"breve", 728},
    {"dot", 729},
    {"ring", 730},
    {"ogon", 731},
    {"dblac", 733},
    {"ohm", 937},
    {"epsi", 949},
    {"upsi", 965},
    {"thetav", 977},
    {"Upsi", 978},
    {"phiv", 981},
    {"varpi", 982},
    {"emsp13", 8196},
    {"emsp14", 8197},
    {"numsp", 8199},
    {"puncsp", 8200},
    {"ThinSpace", 8201},
    {"hairsp", 8202},
    {"ZeroWidthSpace", 8203},
    {"hyphen", 8208},
    {"dash", 8208},
    {"horbar", 8213},
    {"Vert", 8214},
    {"Verbar", 8214},
    {"OpenCurlyQuote", 8216},
    {"rsquor", 8217},
    {"CloseCurlyQuote", 8217},
    {"lsquor", 8218},
    {"OpenCurlyDoubleQuote", 8220},
    {"rdquor", 8221},
    {"CloseCurlyDoubleQuote", 8221},
    {"ldquor", 8222},
    {"ddagger", 8225},
    {"bullet", 8226},
    {"nldr", 8229},
    {"mldr", 8230},
    {"bprime", 8245},
    {"caret", 8257},
    {"hybull", 8259},
    {"MediumSpace", 8287},
    {"NoBreak", 8288},
    {"incare", 8453},
    {"ell", 8467},
    {"numero", 8470},
    {"copysr", 8471},
    {"TRADE", 8482},
    {"frac13", 8531},
    {"frac23", 8532},
    {"frac15", 8533},
    {"frac25", 8534},
    {"frac35", 8535},
    {"frac45", 8536},
    {"frac16", 8537},
    {"frac56", 8538},
    {"frac18", 8539},
    {"frac38", 8540},
    {"frac58", 8541},
    {"frac78", 8542},
    {"leftarrow", 8592},
    {"uparrow", 8593},
    {"rightarrow", 8594},
    {"downarrow", 8595},
    {"leftrightarrow", 8596},
    {"Leftarrow", 8656},
    {"Uparrow", 8657},
    {"Rightarrow", 8658},
    {"Downarrow", 8659},
    {"Leftrightarrow", 8660},
    {"emptyset", 8709},
    {"varnothing", 8709},
    {"in", 8712},
    {"Product", 8719},
    {"Sum", 8721},
    {"setminus", 8726},
    {"Sqrt", 8730},
    {"mid", 8739},
    {"par", 8741},
    {"parallel", 8741},
    {"Integral", 8747},
    {"therefore", 8756},
    {"because", 8757},
    {"approx", 8776},
    {"NotEqual", 8800},
    {"leq", 8804},
    {"geq", 8805},
    {"frown", 8994},
    {"smile", 8995},
    {"squ", 9633},
    {"square", 9633},
    {"blacksquare", 9642},
    {"squf", 9642},
    {"utri", 9653},
    {"rtri", 9657},
    {"dtri", 9663},
    {"ltri", 9667},
    {"cir", 9675},
    {"starf", 9733},
    {"bigstar", 9733},
    {"star", 9734},
    {"phone", 9742},
    {"female", 9792},
    {"male", 9794},
    {"spadesuit", 9824},
    {"clubsuit", 9827},
    {"heartsuit", 9829},
    {"diamondsuit", 9830},
    {"sung", 9834},
    {"flat", 9837},
    {"natural", 9838},
    {"sharp", 9839},
    {"check", 10003},
    {"checkmark", 10003},
    {"cross", 10007},
};

const std::unordered_map<std::string_view, long>& Table()
{
    static const std::unordered_map<std::string_view, long> table = []
    {
        std::unordered_map<std::string_view, long> byName;
        auto add = [&](const auto& entities)
        {
            for (const Entity& entity : entities)
                byName.emplace(entity.name, entity.codePoint);
        };
        add(kSymbols);
        add(kSpecial);
        add(kHtml5);
        return byName;
    }();
    return table;
}

} // namespace

long Lookup(std::string_view name)
{
    const auto& table = Table();
    const auto found = table.find(name);
    return found == table.end() ? html::LookupEntity(name) : found->second;
}

} // namespace xmlentities
