#include "interface/jsontextkeys.h"

#include <QSet>
#include <QString>

#include <vector>

namespace {

struct Level {
    bool object = false;
    bool expectKey = false;
    QSet<QString> keys;
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The string starting after the quote at `i`; `i` ends on the closing
// quote (or past the end). Escapes that are not JSON keep their bytes.
QString readString(const QByteArray& text, int& i)
{
    QString result;
    QByteArray run;  // raw UTF-8 bytes since the last escape
    const auto flush = [&] {
        result += QString::fromUtf8(run);
        run.clear();
    };
    for (++i; i < text.size() && text.at(i) != '"'; ++i) {
        const char c = text.at(i);
        if (c != '\\' || i + 1 >= text.size()) {
            run += c;
            continue;
        }
        const char escaped = text.at(++i);
        switch (escaped) {
        case 'b': run += '\b'; break;
        case 'f': run += '\f'; break;
        case 'n': run += '\n'; break;
        case 'r': run += '\r'; break;
        case 't': run += '\t'; break;
        case 'u': {
            int unit = 0;
            int digits = 0;
            for (; digits < 4 && i + 1 < text.size() && hexValue(text.at(i + 1)) >= 0; ++digits)
                unit = unit * 16 + hexValue(text.at(++i));
            flush();
            // A pair of surrogates is one character, as in the raw form.
            result += QChar(ushort(unit));
            break;
        }
        default: run += escaped; break;
        }
    }
    flush();
    return result;
}

} // namespace

bool CVNJsonTextKeys::hasDuplicateKey(const QByteArray& text)
{
    std::vector<Level> levels;
    for (int i = 0; i < text.size(); ++i) {
        switch (text.at(i)) {
        case '{':
            levels.push_back({true, true, {}});
            break;
        case '[':
            levels.push_back({false, false, {}});
            break;
        case '}':
        case ']':
            if (!levels.empty())
                levels.pop_back();
            break;
        case ',':
            if (!levels.empty() && levels.back().object)
                levels.back().expectKey = true;
            break;
        case ':':
            if (!levels.empty())
                levels.back().expectKey = false;
            break;
        case '"': {
            const QString string = readString(text, i);
            if (levels.empty() || !levels.back().expectKey)
                break;
            Level& level = levels.back();
            if (level.keys.contains(string))
                return true;
            level.keys.insert(string);
            level.expectKey = false;
            break;
        }
        default:
            break;
        }
    }
    return false;
}
