#include "interface/accessmode.h"

namespace AccessMode {

namespace {
struct Word
{
    const char* text;
    int flags;
};
constexpr Word words[] = {
    {"read", Read},
    {"write", Write},
    {"mutable", Mutable},
    {"read_mutable", Read | Mutable},
    {"read_write", Read | Write},
    {"read_write_mutable", Read | Write | Mutable},
};
}  // namespace

int fromText(const QString& word)
{
    for (const Word& w : words) {
        if (word == QLatin1String(w.text))
            return w.flags;
    }
    return ReadWrite;
}

QString toText(int mode)
{
    for (const Word& w : words) {
        if (mode == w.flags)
            return QString::fromLatin1(w.text);
    }
    return QStringLiteral("read_write");
}

}  // namespace AccessMode
