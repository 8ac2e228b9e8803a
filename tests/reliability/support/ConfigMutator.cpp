#include "ConfigMutator.h"

#include "ConfigScramble.h"

#include <cctype>
#include <iterator>

namespace
{
const char* const mutationNames[] = {
    "truncated",         "random bytes",     "inserted bytes",
    "deleted range",     "duplicated range", "token",
    "deep nesting",      "huge attribute",   "wrong encoding",
    "stray node in Run", "entity expansion",
};
static_assert(std::size(mutationNames) == static_cast<size_t>(Mutation::Count),
              "a name for every mutation");

// Pieces of XML and of the test task's own vocabulary.
const char* const tokens[] = {
    "<",
    ">",
    "/>",
    "</",
    "</Run>",
    "<Run>",
    "<Run/>",
    "<Task/>",
    "\"",
    "'",
    "=",
    "&",
    "&amp;",
    "&#0;",
    "&#x0;",
    "&#xD800;",
    "&#xFFFE;",
    "&#1114112;",
    "&undefined;",
    "]]>",
    "<!--",
    "-->",
    "<?xml version=\"1.0\"?>",
    "<!DOCTYPE Config>",
    "",
    "\xff\xfe",
    "\xef\xbb\xbf",
    "\xfe\xff",
    " xmlns=\"urn:x\"",
    " xmlns:a=\"urn:a\"",
    " a:CLSID=\"x\"",
    " CLSID=\"\"",
    " CLSID=\"{98E17549-817C-4595-B7A8-7253DF8E12CE}\"",
    " CLSID=\"{00000000-0000-0000-0000-000000000000}\"",
    " CLSID=\"98E17549-817C-4595-B7A8-7253DF8E12CE\"",
    " Name=\"x\"",
    " InitResult=\"0x80004005\"",
    " InitResult=\"1\"",
    " RunResult=\"0x8000FFFF\"",
    " RunResult=\"1\"",
    " RunResult=\"garbage\"",
    "\xc3\x28",
    "\x81",
    "\x82\xa0",
    "\r\n",
    "\t",
    " xml:space=\"preserve\"",
    "<Run> </Run>",
    "<Task CLSID=\"{98E17549-817C-4595-B7A8-7253DF8E12CE}\"/>",
};

const char* const encodings[] = {
    "UTF-16",   "UTF-16LE",    "UTF-16BE",  "UTF-32", "UCS-4",        "Shift_JIS",
    "EUC-JP",   "ISO-2022-JP", "EBCDIC-US", "UTF-7",  "windows-1252", "ISO-8859-5",
    "US-ASCII", "bogus",       "",          "UTF-8 ",
};

const char* const strayNodes[] = {
    "<!-- stray comment -->",
    "<?stray instruction?>",
    "<![CDATA[stray]]>",
    "stray text",
    "&amp;",
    "&#65;",
    "<Stray/>",
    "<Stray CLSID=\"nonsense\"/>",
    "<Run/>",
};
} // namespace

const char* MutationName(Mutation eMutation)
{
    return mutationNames[static_cast<size_t>(eMutation)];
}

size_t CConfigMutator::Below(size_t n)
{
    return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(m_rng);
}

std::string CConfigMutator::RandomBytes(size_t cb)
{
    std::string bytes(cb, '\0');
    for (char& ch : bytes)
        ch = static_cast<char>(Below(256));
    return bytes;
}

size_t CConfigMutator::TagBoundary(const std::string& doc)
{
    // Right after a '>' that follows a random place: between nodes, where an
    // insertion keeps the document well-formed more often than not.
    const size_t iClose = doc.find('>', Below(doc.size() + 1));
    return iClose == std::string::npos ? doc.size() : iClose + 1;
}

size_t CConfigMutator::InsertionPoint(const std::string& doc)
{
    return Below(2) ? TagBoundary(doc) : Below(doc.size() + 1);
}

std::string CConfigMutator::Mutate(std::string doc, unsigned long counts[])
{
    // Mostly one or two mutations: more documents stay well-formed, so that
    // the runner, not only the parser, meets them.
    const size_t cMutations = Below(8) == 0 ? 0 : Below(2) ? 1 : Below(2) ? 2 : 3 + Below(2);
    for (size_t i = 0; i < cMutations; ++i)
    {
        // The costly kinds are rarer, so that thousands of documents stay quick.
        Mutation eMutation = static_cast<Mutation>(Below(static_cast<size_t>(Mutation::Count)));
        if ((eMutation == Mutation::HugeAttribute || eMutation == Mutation::DeepNesting ||
             eMutation == Mutation::EntityExpansion) &&
            Below(4) != 0)
            eMutation = Mutation::Token;
        Apply(eMutation, doc);
        ++counts[static_cast<size_t>(eMutation)];
    }
    return doc;
}

void CConfigMutator::Apply(Mutation eMutation, std::string& doc)
{
    const size_t iAt = Below(doc.size() + 1);
    switch (eMutation)
    {
    case Mutation::Truncate:
        doc.resize(iAt);
        break;
    case Mutation::RandomBytes:
        for (size_t c = 1 + Below(16); c > 0 && !doc.empty(); --c)
            doc[Below(doc.size())] = static_cast<char>(Below(256));
        break;
    case Mutation::InsertBytes:
        doc.insert(iAt, RandomBytes(1 + Below(64)));
        break;
    case Mutation::DeleteRange:
        doc.erase(iAt, 1 + Below(64));
        break;
    case Mutation::DuplicateRange:
        if (!doc.empty())
        {
            const size_t iFrom = Below(doc.size());
            doc.insert(iAt, doc.substr(iFrom, 1 + Below(256)));
        }
        break;
    case Mutation::Token:
    {
        const char* pszToken = tokens[Below(std::size(tokens))];
        // The NUL token is the one empty C string: it stands for one zero byte.
        doc.insert(InsertionPoint(doc), *pszToken ? std::string(pszToken) : std::string(1, '\0'));
        break;
    }
    case Mutation::DeepNesting:
    {
        const size_t cLevels = size_t(1) << (6 + Below(12)); // 64 .. 131072
        std::string open, close;
        for (size_t i = 0; i < cLevels; ++i)
            open += "<d>";
        if (Below(2))
            for (size_t i = 0; i < cLevels; ++i)
                close += "</d>";
        const size_t iRun = doc.find("<Run>");
        const size_t iInsert =
            iRun != std::string::npos && Below(2) ? iRun + 5 : InsertionPoint(doc);
        doc.insert(iInsert, open + close);
        break;
    }
    case Mutation::HugeAttribute:
    {
        const size_t cb = size_t(1) << (10 + Below(14)); // 1 KB .. 8 MB
        const char* const names[] = {" Huge=\"", " CLSID=\"{", " Name=\""};
        // No '-': Wine's parser reports every "--" inside a comment and takes
        // quadratic time over them (256 KB of dashes: 13 s), which would
        // measure the platform's parser, not the launcher.
        const std::string attribute =
            names[Below(std::size(names))] + std::string(cb, "A9_\xe9"[Below(4)]) + "\"";
        const size_t iTask = doc.find("<Task", Below(doc.size() + 1));
        doc.insert(iTask != std::string::npos && Below(4) ? iTask + 5 : iAt, attribute);
        break;
    }
    case Mutation::WrongEncoding:
        ChangeEncoding(doc);
        break;
    case Mutation::StrayNodeInRun:
        InsertStrayNode(doc);
        break;
    case Mutation::EntityExpansion:
    {
        // Entities that each hold ten of the one before: the DOM must refuse
        // or bound the expansion.
        const size_t cLevels = 2 + Below(8);
        std::string dtd = "<!DOCTYPE Config [<!ENTITY e0 \"ha\">";
        for (size_t i = 1; i <= cLevels; ++i)
        {
            dtd += "<!ENTITY e" + std::to_string(i) + " \"";
            for (int j = 0; j < 10; ++j)
                dtd += "&e" + std::to_string(i - 1) + ";";
            dtd += "\">";
        }
        dtd += "]>";
        doc = "<?xml version=\"1.0\"?>" + dtd + "<Config><Run><Task CLSID=\"&e" +
              std::to_string(cLevels) + ";\" Name=\"&e" + std::to_string(cLevels) +
              ";\"/></Run></Config>";
        break;
    }
    case Mutation::Count:
        break;
    }
}

void CConfigMutator::ChangeEncoding(std::string& doc)
{
    switch (Below(4))
    {
    case 0: // a declaration that names another encoding than the bytes have
    {
        const std::string declaration = std::string("<?xml version=\"1.0\" encoding=\"") +
                                        encodings[Below(std::size(encodings))] + "\"?>";
        const size_t iEnd = doc.compare(0, 5, "<?xml") == 0 ? doc.find("?>") : std::string::npos;
        if (iEnd != std::string::npos)
            doc.replace(0, iEnd + 2, declaration);
        else
            doc.insert(0, declaration);
        break;
    }
    case 1: // a byte order mark of another encoding
    {
        const char* const boms[] = {"\xef\xbb\xbf", "\xff\xfe", "\xfe\xff", "\xff\xfe\0\0",
                                    "\0\0\xfe\xff"};
        const size_t cbBoms[] = {3, 2, 2, 4, 4};
        const size_t iBom = Below(std::size(boms));
        doc.insert(0, std::string(boms[iBom], cbBoms[iBom]));
        break;
    }
    default: // every byte widened to UTF-16, little or big endian, with or without a mark
    {
        const bool fBigEndian = Below(2) != 0;
        std::string wide = Below(2) ? (fBigEndian ? "\xfe\xff" : "\xff\xfe") : "";
        for (const char ch : doc)
        {
            wide += fBigEndian ? '\0' : ch;
            wide += fBigEndian ? ch : '\0';
        }
        if (Below(4) == 0 && !wide.empty())
            wide.pop_back(); // an odd length
        doc.swap(wide);
        break;
    }
    }
}

void CConfigMutator::InsertStrayNode(std::string& doc)
{
    const size_t iRun = doc.find("<Run>");
    const size_t iRunEnd = doc.find("</Run>");
    std::string node = strayNodes[Below(std::size(strayNodes))];
    if (iRun == std::string::npos || iRunEnd == std::string::npos || iRunEnd < iRun)
    {
        doc.insert(InsertionPoint(doc), node);
        return;
    }
    // Right after <Run>, right before </Run>, or after one of the tasks.
    size_t iInsert = iRun + 5;
    switch (Below(3))
    {
    case 0:
        break;
    case 1:
        iInsert = iRunEnd;
        break;
    default:
    {
        const size_t iTaskEnd = doc.find("/>", iRun + Below(iRunEnd - iRun));
        if (iTaskEnd != std::string::npos && iTaskEnd < iRunEnd)
            iInsert = iTaskEnd + 2;
        break;
    }
    }
    doc.insert(iInsert, node);
}

std::string CConfigMutator::Scramble(const std::string& doc, const char* pszName)
{
    std::string name = pszName;
    // The marker ignores the case of ASCII letters.
    for (char& ch : name)
    {
        if (Below(2))
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    if (Below(8) == 0)
        name.pop_back(); // a marker that does not match: the bytes are plain garbage
    return ScrambleConfig(doc, name);
}
