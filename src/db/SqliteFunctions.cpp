#include "db/SqliteFunctions.h"

#include "app/Errors.h"

#include <QChar>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <functional>
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

// A compiled pattern: its folded code points with wildcards marked, and the
// literal between the wildcards when the pattern is the common "%literal%".
struct TCompiledPattern {
    enum : char32_t { AnyRun = 0xFFFFFFFF, AnyOne = 0xFFFFFFFE };
    std::vector<char32_t> tokens;
    bool containsForm = false;           // "%literal%"
    std::vector<char32_t> literal;
    bool exactForm = false;              // no wildcard at all
};

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
    thread_local std::vector<char32_t> folded;
    FoldText(text, len, folded);
    if (cp.containsForm) {
        if (cp.literal.empty())
            return true;
        return std::search(folded.begin(), folded.end(),
                           std::boyer_moore_horspool_searcher(cp.literal.begin(), cp.literal.end()))
               != folded.end();
    }
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
    if (rc != SQLITE_OK)
        throw EDatabaseError(QStringLiteral("Could not register text functions: %1")
                                 .arg(QString::fromUtf8(sqlite3_errmsg(handle))));
}
