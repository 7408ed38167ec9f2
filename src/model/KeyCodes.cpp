#include "KeyCodes.h"

#include <QHash>
#include <QString>

namespace {
const QHash<QString, quint32> &keyCodeTable()
{
    static const QHash<QString, quint32> table{
        // letters
        {QStringLiteral("a"), 0}, {QStringLiteral("s"), 1}, {QStringLiteral("d"), 2},
        {QStringLiteral("f"), 3}, {QStringLiteral("h"), 4}, {QStringLiteral("g"), 5},
        {QStringLiteral("z"), 6}, {QStringLiteral("x"), 7}, {QStringLiteral("c"), 8},
        {QStringLiteral("v"), 9}, {QStringLiteral("b"), 11}, {QStringLiteral("q"), 12},
        {QStringLiteral("w"), 13}, {QStringLiteral("e"), 14}, {QStringLiteral("r"), 15},
        {QStringLiteral("y"), 16}, {QStringLiteral("t"), 17}, {QStringLiteral("o"), 31},
        {QStringLiteral("u"), 32}, {QStringLiteral("i"), 34}, {QStringLiteral("p"), 35},
        {QStringLiteral("l"), 37}, {QStringLiteral("j"), 38}, {QStringLiteral("k"), 40},
        {QStringLiteral("n"), 45}, {QStringLiteral("m"), 46},
        // digits
        {QStringLiteral("1"), 18}, {QStringLiteral("2"), 19}, {QStringLiteral("3"), 20},
        {QStringLiteral("4"), 21}, {QStringLiteral("6"), 22}, {QStringLiteral("5"), 23},
        {QStringLiteral("9"), 25}, {QStringLiteral("7"), 26}, {QStringLiteral("8"), 28},
        {QStringLiteral("0"), 29},
        // function keys
        {QStringLiteral("f1"), 122}, {QStringLiteral("f2"), 120}, {QStringLiteral("f3"), 99},
        {QStringLiteral("f4"), 118}, {QStringLiteral("f5"), 96}, {QStringLiteral("f6"), 97},
        {QStringLiteral("f7"), 98}, {QStringLiteral("f8"), 100}, {QStringLiteral("f9"), 101},
        {QStringLiteral("f10"), 109}, {QStringLiteral("f11"), 103}, {QStringLiteral("f12"), 111},
        // named keys, and the characters that some of them type
        {QStringLiteral("space"), 49}, {QStringLiteral(" "), 49},
        {QStringLiteral("return"), 36}, {QStringLiteral("\r"), 36},
        {QStringLiteral("tab"), 48}, {QStringLiteral("\t"), 48},
        {QStringLiteral("escape"), 53}, {QStringLiteral("\x1b"), 53},
        {QStringLiteral("left"), 123}, {QStringLiteral("right"), 124},
        {QStringLiteral("down"), 125}, {QStringLiteral("up"), 126},
        // punctuation, by its place on the US layout; "+" shares the "=" key
        {QStringLiteral("plus"), 24}, {QStringLiteral("="), 24}, {QStringLiteral("-"), 27},
        {QStringLiteral("]"), 30}, {QStringLiteral("["), 33}, {QStringLiteral("'"), 39},
        {QStringLiteral(";"), 41}, {QStringLiteral("\\"), 42}, {QStringLiteral(","), 43},
        {QStringLiteral("/"), 44}, {QStringLiteral("."), 47}, {QStringLiteral("`"), 50},
        // what Shift types on those keys on the US layout, as a recorded
        // Shift combination names them
        {QStringLiteral("!"), 18}, {QStringLiteral("@"), 19}, {QStringLiteral("#"), 20},
        {QStringLiteral("$"), 21}, {QStringLiteral("^"), 22}, {QStringLiteral("%"), 23},
        {QStringLiteral("("), 25}, {QStringLiteral("&"), 26}, {QStringLiteral("*"), 28},
        {QStringLiteral(")"), 29}, {QStringLiteral("_"), 27}, {QStringLiteral("}"), 30},
        {QStringLiteral("{"), 33}, {QStringLiteral("\""), 39}, {QStringLiteral(":"), 41},
        {QStringLiteral("|"), 42}, {QStringLiteral("<"), 43}, {QStringLiteral("?"), 44},
        {QStringLiteral(">"), 47}, {QStringLiteral("~"), 50},
    };
    return table;
}
} // namespace

std::optional<quint32> keyCode(QStringView key)
{
    const auto found = keyCodeTable().constFind(key.toString().toLower());
    if (found == keyCodeTable().constEnd())
        return std::nullopt;
    return *found;
}
