#include "X11KeyTable.h"

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

#include <array>

namespace {
// US positions are evdev scan codes + 8, as X numbers them.
constexpr std::array keys{
    X11Key{0, XK_a, 38, "A"},
    X11Key{1, XK_s, 39, "S"},
    X11Key{2, XK_d, 40, "D"},
    X11Key{3, XK_f, 41, "F"},
    X11Key{4, XK_h, 43, "H"},
    X11Key{5, XK_g, 42, "G"},
    X11Key{6, XK_z, 52, "Z"},
    X11Key{7, XK_x, 53, "X"},
    X11Key{8, XK_c, 54, "C"},
    X11Key{9, XK_v, 55, "V"},
    X11Key{11, XK_b, 56, "B"},
    X11Key{12, XK_q, 24, "Q"},
    X11Key{13, XK_w, 25, "W"},
    X11Key{14, XK_e, 26, "E"},
    X11Key{15, XK_r, 27, "R"},
    X11Key{16, XK_y, 29, "Y"},
    X11Key{17, XK_t, 28, "T"},
    X11Key{18, XK_1, 10, "1"},
    X11Key{19, XK_2, 11, "2"},
    X11Key{20, XK_3, 12, "3"},
    X11Key{21, XK_4, 13, "4"},
    X11Key{22, XK_6, 15, "6"},
    X11Key{23, XK_5, 14, "5"},
    X11Key{24, XK_equal, 21, "="},
    X11Key{25, XK_9, 18, "9"},
    X11Key{26, XK_7, 16, "7"},
    X11Key{27, XK_minus, 20, "-"},
    X11Key{28, XK_8, 17, "8"},
    X11Key{29, XK_0, 19, "0"},
    X11Key{30, XK_bracketright, 35, "]"},
    X11Key{31, XK_o, 32, "O"},
    X11Key{32, XK_u, 30, "U"},
    X11Key{33, XK_bracketleft, 34, "["},
    X11Key{34, XK_i, 31, "I"},
    X11Key{35, XK_p, 33, "P"},
    X11Key{36, XK_Return, 36, "Return"},
    X11Key{37, XK_l, 46, "L"},
    X11Key{38, XK_j, 44, "J"},
    X11Key{39, XK_apostrophe, 48, "'"},
    X11Key{40, XK_k, 45, "K"},
    X11Key{41, XK_semicolon, 47, ";"},
    X11Key{42, XK_backslash, 51, "\\"},
    X11Key{43, XK_comma, 59, ","},
    X11Key{44, XK_slash, 61, "/"},
    X11Key{45, XK_n, 57, "N"},
    X11Key{46, XK_m, 58, "M"},
    X11Key{47, XK_period, 60, "."},
    X11Key{48, XK_Tab, 23, "Tab"},
    X11Key{49, XK_space, 65, "Space"},
    X11Key{50, XK_grave, 49, "`"},
    X11Key{53, XK_Escape, 9, "Escape"},
    X11Key{96, XK_F5, 71, "F5"},
    X11Key{97, XK_F6, 72, "F6"},
    X11Key{98, XK_F7, 73, "F7"},
    X11Key{99, XK_F3, 69, "F3"},
    X11Key{100, XK_F8, 74, "F8"},
    X11Key{101, XK_F9, 75, "F9"},
    X11Key{103, XK_F11, 95, "F11"},
    X11Key{109, XK_F10, 76, "F10"},
    X11Key{111, XK_F12, 96, "F12"},
    X11Key{118, XK_F4, 70, "F4"},
    X11Key{120, XK_F2, 68, "F2"},
    X11Key{122, XK_F1, 67, "F1"},
    X11Key{123, XK_Left, 113, "Left"},
    X11Key{124, XK_Right, 114, "Right"},
    X11Key{125, XK_Down, 116, "Down"},
    X11Key{126, XK_Up, 111, "Up"},
};
} // namespace

std::optional<X11Key> X11KeyTable::find(quint32 keyCode)
{
    for (const X11Key &key : keys) {
        if (key.keyCode == keyCode)
            return key;
    }
    return std::nullopt;
}
