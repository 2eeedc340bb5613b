#include "FeedStoreRows.h"
#include "feeds/FeedSearchCriteria.h"
#include "feeds/FeedStore.h"

#include <cstdlib>
#include <utility>

// The item search of the search dialog and the news watches, and the list of
// downloaded enclosure files.

namespace
{

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The LIKE pattern of a text for the match mode; the text travels as a
// literal, so no character of it is taken for SQL.
uString Pattern(const uString& text, int32_t matchMode)
{
    const uString literal = SqlHexLiteral(text);
    uString pattern;
    switch (matchMode)
    {
    case CFeedSearchCriteria::kStartsWith:
        pattern.format("%s+'%%'", literal.c_str());
        break;
    case CFeedSearchCriteria::kEndsWith:
        pattern.format("'%%'+%s", literal.c_str());
        break;
    default:
        pattern.format("'%%'+%s+'%%'", literal.c_str());
        break;
    }
    return pattern;
}

} // namespace

void CFeedStore::SplitSearchWords(uString& phrase, std::list<uString>& words, bool& anyWord)
{
    words.clear();
    phrase.trim();
    anyWord = false;
    bool first = true;
    const char* p = phrase.c_str();
    const char* end = p + phrase.getLength();
    while (p < end)
    {
        const char* start = p;
        bool quoted = false;
        if (*p == '"')
        {
            quoted = true;
            start = ++p;
            while (p < end && *p != '"')
                ++p;
        }
        else
        {
            while (p < end && !IsBlank(*p))
                ++p;
        }
        const uString word(start, 0, static_cast<int>(p - start));
        if (quoted && p < end)
            ++p; // the closing quote
        while (p < end && IsBlank(*p))
            ++p;
        const bool last = p >= end;
        const bool joiner = !first && (word.equalsNoCase("or") || word.equalsNoCase("and"));
        // A trailing "or" joins nothing, so it does not switch to any-word.
        if (!first && word.equalsNoCase("or") && (quoted || !last))
            anyWord = true;
        if (!word.isEmpty() && !joiner)
            words.push_back(word);
        first = false;
    }
}

uString CFeedStore::BuildFieldQuery(CFeedSearchCriteria& criteria, const char* column)
{
    uString dates;
    if (!criteria.startDate.isEmpty())
        dates.format("DateDiff('d','%s',i.createdate)>=0", SqlQuote(criteria.startDate).c_str());
    if (!criteria.endDate.isEmpty())
    {
        if (!dates.isEmpty())
            dates += " and";
        uString end;
        end.format(" DateDiff('d',i.createdate,'%s')>=0", SqlQuote(criteria.endDate).c_str());
        dates += end;
    }
    if (!dates.isEmpty())
        dates += " and ";

    uString where;
    if (!column)
    {
        const bool grouped = !dates.isEmpty();
        where.format(", enclosure AS e WHERE %s%se.feed = i.link and e.localfile LIKE %s%s", dates.c_str(),
                     grouped ? "(" : "", Pattern(criteria.phrase, criteria.matchMode).c_str(),
                     grouped ? ")" : "");
    }
    else
    {
        std::list<uString> words;
        bool anyWord = false;
        SplitSearchWords(criteria.phrase, words, anyWord);
        // The word tests are always grouped: joined by " or ", an ungrouped
        // list would leave the conditions that follow on its last word only.
        where.format("WHERE %s(", dates.c_str());
        bool firstWord = true;
        for (const uString& word : words)
        {
            if (!firstWord)
                where += anyWord ? " or " : " and ";
            uString test;
            test.format("i.%s LIKE %s", column, Pattern(word, criteria.matchMode).c_str());
            where += test;
            firstWord = false;
        }
        where += ")";
    }
    if (!criteria.condition.isEmpty())
    {
        where += " and ";
        where += criteria.condition;
    }
    // Items the user deleted are found neither by the count nor by the list.
    where += " and i.attributes>=0";

    uString sql;
    sql.format("SELECT i.link, i.title, i.description, i.author, i.category, i.pubdate, i.readstatus, "
               "i.enclosure, i.attributes FROM item AS i %s",
               where.c_str());
    return sql;
}

void CFeedStore::BuildSearchSql(CFeedSearchCriteria& criteria, uString& sql)
{
    sql.setEmpty();
    static const char* const kAny[] = {"title", "description", "author", "category", nullptr};
    static const char* const kTitleAndDescription[] = {"title", "description", nullptr};
    static const char* const kTitle[] = {"title", nullptr};
    static const char* const kDescription[] = {"description", nullptr};
    static const char* const kAuthor[] = {"author", nullptr};
    static const char* const kCategory[] = {"category", nullptr};
    const char* const* columns = nullptr;
    switch (criteria.field)
    {
    case CFeedSearchCriteria::kAnyField:
        columns = kAny;
        break;
    case CFeedSearchCriteria::kTitleAndDescription:
        columns = kTitleAndDescription;
        break;
    case CFeedSearchCriteria::kTitle:
        columns = kTitle;
        break;
    case CFeedSearchCriteria::kDescription:
        columns = kDescription;
        break;
    case CFeedSearchCriteria::kAuthor:
        columns = kAuthor;
        break;
    case CFeedSearchCriteria::kCategory:
        columns = kCategory;
        break;
    case CFeedSearchCriteria::kDownload:
        sql = BuildFieldQuery(criteria, nullptr);
        return;
    default:
        return;
    }
    for (; *columns; ++columns)
    {
        if (!sql.isEmpty())
            sql += " UNION ";
        sql += BuildFieldQuery(criteria, *columns);
    }
}

int CFeedStore::OpenSearch(CFeedSearchCriteria& criteria)
{
    EnsureOpen(false);
    uString sql;
    BuildSearchSql(criteria, sql);
    return dataObject.executeCount(sql.c_str());
}

bool CFeedStore::LoadSearchResults(CFeedSearchCriteria& criteria, bool clearFirst)
{
    if (clearFirst)
        items.clear();
    EnsureOpen(false);
    uString sql;
    BuildSearchSql(criteria, sql);
    if (!dataObject.query(sql.c_str()))
    {
        FailDisplayRead();
        return false;
    }
    std::vector<std::pair<CItemRecord, bool>> rows; // record, has enclosure
    do
    {
        CItemRecord item;
        uString enclosure;
        uString attributes;
        if (!feedrows::ReadRow(dataObject, {{0, &item.link},
                                            {1, &item.title},
                                            {2, &item.description},
                                            {3, &item.author},
                                            {4, &item.category},
                                            {5, &item.pubDate},
                                            {6, &item.readStatus},
                                            {7, &enclosure},
                                            {8, &attributes}}))
            break;
        const int value = std::atoi(attributes.c_str());
        if (value < 0)
            continue;
        item.kept = (value & 1) != 0;
        item.database = databaseName;
        rows.emplace_back(std::move(item), !(enclosure == "0"));
    } while (dataObject.moveNext());
    dataObject.closeQuery();
    feedrows::AppendWithEnclosures(GetSubscriptionFolder(), databaseName, rows, items);
    return !items.empty();
}

bool CFeedStore::GetEnclosureFileList(const uString& database, std::list<uString>& files)
{
    SetDatabase(database);
    EnsureOpen(false);
    std::list<uString> localFiles;
    if (!dataObject.selectStringList("enclosure", "localfile", localFiles, nullptr, nullptr))
        return false;
    for (uString& file : localFiles)
        if (!file.isEmpty())
            files.push_back(std::move(file));
    return !localFiles.empty();
}

bool FindEnclosureFiles(const std::vector<uString>& databases, std::list<uString>& files)
{
    files.clear();
    CFeedStore store;
    for (const uString& database : databases)
        store.GetEnclosureFileList(database, files);
    files.unique();
    return true;
}
