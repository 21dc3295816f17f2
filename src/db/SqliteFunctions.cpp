#include "db/SqliteFunctions.h"

#include "app/Errors.h"

#include <QChar>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <array>
#include <string>
#include <sqlite3.h>
#include <string_view>
#include <vector>

namespace {

// Decodes one UTF-8 sequence; invalid bytes stand for themselves so that any
// byte string still compares deterministically.
inline char32_t DecodeUtf8(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char c = *p++;
    if (c < 0x80)
        return c;
    int extra = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        return 0xDC00 | c;   // lone continuation or invalid lead byte
    }
    if (end - p < extra)
        return 0xDC00 | c;
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0xDC00 | c;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    p += extra;
    return cp;
}

inline char32_t Fold(char32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    return QChar::toCaseFolded(cp);
}

// Folds a UTF-8 text into code points; returns false when the text had only ASCII.
inline void FoldText(const unsigned char* s, int len, std::vector<char32_t>& out)
{
    out.clear();
    out.reserve(size_t(len));
    const unsigned char* end = s + len;
    while (s < end) {
        if (*s < 0x80) {
            const unsigned char c = *s++;
            out.push_back((c >= 'A' && c <= 'Z') ? c + 32 : c);
        } else {
            out.push_back(Fold(DecodeUtf8(s, end)));
        }
    }
}

// Appends the UTF-8 form of a folded code point. The stand-ins DecodeUtf8
// gives for invalid bytes go back as those bytes, the same way in patterns
// and in texts.
inline void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp >= 0xDC80 && cp <= 0xDCFF) {
        out += char(cp & 0xFF);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// The text with every letter folded, as UTF-8 bytes: the folded form of a
// "%literal%" pattern is then found in it byte by byte, without decoding the
// text into code points first.
inline void FoldUtf8(const unsigned char* s, int len, std::string& out)
{
    out.clear();
    out.reserve(size_t(len) + 8);
    const unsigned char* end = s + len;
    while (s < end) {
        if (*s < 0x80) {
            const unsigned char c = *s++;
            out += char((c >= 'A' && c <= 'Z') ? c + 32 : c);
        } else {
            AppendUtf8(out, Fold(DecodeUtf8(s, end)));
        }
    }
}

// The few letters outside ASCII whose fold is an ASCII letter (KELVIN SIGN
// folds to "k", LATIN SMALL LETTER LONG S to "s"), as UTF-8, by the ASCII
// letter they fold to. Found once from the folding table itself.
const std::array<std::vector<std::string>, 128>& NonAsciiFoldingToAscii()
{
    static const std::array<std::vector<std::string>, 128> table = [] {
        std::array<std::vector<std::string>, 128> result;
        for (char32_t cp = 0x80; cp <= 0x10FFFF; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF)
                continue;
            const char32_t folded = QChar::toCaseFolded(cp);
            if (folded < 0x80) {
                std::string utf8;
                AppendUtf8(utf8, cp);
                result[folded].push_back(utf8);
            }
        }
        return result;
    }();
    return table;
}

// A compiled pattern: its folded code points with wildcards marked, and the
// literal between the wildcards when the pattern is the common "%literal%".
struct TCompiledPattern {
    enum : char32_t { AnyRun = 0xFFFFFFFF, AnyOne = 0xFFFFFFFE };
    std::vector<char32_t> tokens;
    bool containsForm = false;           // "%literal%"
    std::vector<char32_t> literal;
    bool exactForm = false;              // no wildcard at all

    // For the contains form: the folded literal as UTF-8 and its skip table
    // (Boyer-Moore-Horspool over bytes, ASCII letters in either case).
    std::string needle;
    std::array<unsigned char, 256> skip{};
    bool asciiNeedle = false;
    // Letters outside ASCII that fold onto a letter of an ASCII needle: only a
    // text holding one of them needs folding before the search.
    std::vector<std::string> foldingOntoNeedle;
};

inline unsigned char AsciiLower(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

void PrepareNeedle(TCompiledPattern& cp)
{
    for (const char32_t c : cp.literal)
        AppendUtf8(cp.needle, c);
    const size_t m = cp.needle.size();
    cp.asciiNeedle = std::all_of(cp.literal.begin(), cp.literal.end(), [](char32_t c) { return c < 0x80; });
    const size_t shift = std::min<size_t>(m, 255);
    cp.skip.fill((unsigned char)shift);
    for (size_t i = 0; m > 0 && i + 1 < m; ++i) {
        const unsigned char c = (unsigned char)cp.needle[i];
        const unsigned char distance = (unsigned char)std::min<size_t>(m - 1 - i, 255);
        cp.skip[c] = distance;
        if (c >= 'a' && c <= 'z')
            cp.skip[c - 32] = distance;
    }
    if (cp.asciiNeedle) {
        const auto& table = NonAsciiFoldingToAscii();
        for (const char32_t c : cp.literal)
            for (const std::string& letter : table[c])
                if (std::find(cp.foldingOntoNeedle.begin(), cp.foldingOntoNeedle.end(), letter) == cp.foldingOntoNeedle.end())
                    cp.foldingOntoNeedle.push_back(letter);
    }
}

// Finds the needle in a text whose letters outside ASCII are already folded
// (or that holds none the needle could match); ASCII letters match in either
// case.
bool FindNeedle(const TCompiledPattern& cp, const unsigned char* text, size_t n)
{
    const auto* needle = reinterpret_cast<const unsigned char*>(cp.needle.data());
    const size_t m = cp.needle.size();
    if (m == 0)
        return true;
    if (n < m)
        return false;
    const unsigned char lastNeedle = needle[m - 1];
    for (size_t pos = 0; pos + m <= n;) {
        const unsigned char last = text[pos + m - 1];
        if (AsciiLower(last) == lastNeedle) {
            size_t j = 0;
            while (j + 1 < m && AsciiLower(text[pos + j]) == needle[j])
                ++j;
            if (j + 1 >= m)
                return true;
        }
        pos += cp.skip[last];
    }
    return false;
}

TCompiledPattern Compile(const unsigned char* p, int len, char32_t escape)
{
    TCompiledPattern cp;
    const unsigned char* end = p + len;
    while (p < end) {
        char32_t c = DecodeUtf8(p, end);
        if (escape && c == escape && p < end) {
            cp.tokens.push_back(Fold(DecodeUtf8(p, end)));
            continue;
        }
        if (c == '%') {
            if (cp.tokens.empty() || cp.tokens.back() != TCompiledPattern::AnyRun)
                cp.tokens.push_back(TCompiledPattern::AnyRun);
        } else if (c == '_') {
            cp.tokens.push_back(TCompiledPattern::AnyOne);
        } else {
            cp.tokens.push_back(Fold(c));
        }
    }
    const auto& t = cp.tokens;
    const auto isWild = [](char32_t c) { return c == TCompiledPattern::AnyRun || c == TCompiledPattern::AnyOne; };
    if (t.size() >= 2 && t.front() == TCompiledPattern::AnyRun && t.back() == TCompiledPattern::AnyRun
        && std::none_of(t.begin() + 1, t.end() - 1, isWild)) {
        cp.containsForm = true;
        cp.literal.assign(t.begin() + 1, t.end() - 1);
    }
    cp.exactForm = std::none_of(t.begin(), t.end(), isWild);
    if (cp.containsForm)
        PrepareNeedle(cp);
    return cp;
}

// Iterative wildcard match with backtracking to the last "%": linear for the
// usual patterns, never recursive.
bool MatchTokens(const std::vector<char32_t>& pat, const std::vector<char32_t>& text)
{
    size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pat.size() && pat[p] == TCompiledPattern::AnyRun) {
            starP = p++;
            starT = t;
        } else if (p < pat.size() && (pat[p] == TCompiledPattern::AnyOne || pat[p] == text[t])) {
            ++p;
            ++t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == TCompiledPattern::AnyRun)
        ++p;
    return p == pat.size();
}

bool Matches(const TCompiledPattern& cp, const unsigned char* text, int len)
{
    if (cp.containsForm) {
        // The usual search pattern. An ASCII needle is looked for in the
        // stored bytes as they are: bytes of other letters never equal its
        // bytes, so only a text holding a letter that folds onto an ASCII
        // one (the Kelvin sign, the long s) needs the folded comparison.
        if (cp.asciiNeedle) {
            if (FindNeedle(cp, text, size_t(len)))
                return true;
            const std::string_view view(reinterpret_cast<const char*>(text), size_t(len));
            if (std::none_of(cp.foldingOntoNeedle.begin(), cp.foldingOntoNeedle.end(),
                             [&](const std::string& letter) { return view.find(letter) != std::string_view::npos; }))
                return false;
        }
        thread_local std::string foldedBytes;
        FoldUtf8(text, len, foldedBytes);
        return FindNeedle(cp, reinterpret_cast<const unsigned char*>(foldedBytes.data()), foldedBytes.size());
    }
    thread_local std::vector<char32_t> folded;
    FoldText(text, len, folded);
    if (cp.exactForm)
        return folded == cp.tokens;
    return MatchTokens(cp.tokens, folded);
}

void DeletePattern(void* p)
{
    delete static_cast<TCompiledPattern*>(p);
}

void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    // like(pattern, text [, escape]): NULL in gives NULL out, as SQLite's own
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return;
    char32_t escape = 0;
    if (argc == 3) {
        const unsigned char* e = sqlite3_value_text(argv[2]);
        const int elen = sqlite3_value_bytes(argv[2]);
        if (e && elen > 0) {
            const unsigned char* p = e;
            escape = DecodeUtf8(p, e + elen);
            if (p != e + elen) {
                sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
                return;
            }
        }
    }
    auto* compiled = static_cast<TCompiledPattern*>(sqlite3_get_auxdata(ctx, 0));
    if (!compiled) {
        const unsigned char* p = sqlite3_value_text(argv[0]);
        compiled = new TCompiledPattern(Compile(p, sqlite3_value_bytes(argv[0]), escape));
        sqlite3_set_auxdata(ctx, 0, compiled, DeletePattern);
        compiled = static_cast<TCompiledPattern*>(sqlite3_get_auxdata(ctx, 0));
        if (!compiled) {   // SQLite may drop auxdata at once: compile per call then
            const TCompiledPattern local = Compile(p, sqlite3_value_bytes(argv[0]), escape);
            const unsigned char* t = sqlite3_value_text(argv[1]);
            sqlite3_result_int(ctx, Matches(local, t, sqlite3_value_bytes(argv[1])) ? 1 : 0);
            return;
        }
    }
    const unsigned char* t = sqlite3_value_text(argv[1]);
    sqlite3_result_int(ctx, Matches(*compiled, t, sqlite3_value_bytes(argv[1])) ? 1 : 0);
}

template <bool Upper>
void CaseFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    const unsigned char* s = sqlite3_value_text(argv[0]);
    const int len = sqlite3_value_bytes(argv[0]);
    bool ascii = true;
    for (int i = 0; i < len && ascii; ++i)
        ascii = s[i] < 0x80;
    if (ascii) {
        std::string out(reinterpret_cast<const char*>(s), size_t(len));
        for (char& c : out) {
            if (Upper && c >= 'a' && c <= 'z')
                c = char(c - 32);
            else if (!Upper && c >= 'A' && c <= 'Z')
                c = char(c + 32);
        }
        sqlite3_result_text(ctx, out.data(), int(out.size()), SQLITE_TRANSIENT);
        return;
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(s), len);
    const QByteArray out = (Upper ? text.toUpper() : text.toLower()).toUtf8();
    sqlite3_result_text(ctx, out.constData(), int(out.size()), SQLITE_TRANSIENT);
}

// fold(text): the text with every letter folded exactly as like() folds it,
// so a copy folded here and a key folded here compare as like() compares
// them. The substring index holds such copies.
void FoldFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    thread_local std::string folded;
    FoldUtf8(sqlite3_value_text(argv[0]), sqlite3_value_bytes(argv[0]), folded);
    sqlite3_result_text(ctx, folded.data(), int(folded.size()), SQLITE_TRANSIENT);
}

} // namespace

bool SqlLikeMatch(const char* pattern, int patternLen, const char* text, int textLen, char32_t escape)
{
    const TCompiledPattern cp = Compile(reinterpret_cast<const unsigned char*>(pattern), patternLen, escape);
    return Matches(cp, reinterpret_cast<const unsigned char*>(text), textLen);
}

void RegisterSqliteFunctions(QSqlDatabase& db)
{
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        throw EDatabaseError(QStringLiteral("The database handle is not a SQLite connection"));
    sqlite3* handle = *static_cast<sqlite3* const*>(v.data());
    if (!handle)
        throw EDatabaseError(QStringLiteral("The SQLite connection is not open"));
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function(handle, "like", 2, flags, nullptr, LikeFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(handle, "like", 3, flags, nullptr, LikeFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(handle, "lower", 1, flags, nullptr, CaseFunction<false>, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(handle, "upper", 1, flags, nullptr, CaseFunction<true>, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(handle, kSqliteFoldFunction, 1, flags, nullptr, FoldFunction, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw EDatabaseError(QStringLiteral("Could not register text functions: %1")
                                 .arg(QString::fromUtf8(sqlite3_errmsg(handle))));
}
