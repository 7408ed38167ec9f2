#include "FuzzCheck.h"
#include "model/KeyboardShortcut.h"

#include <cstddef>
#include <cstdint>

// Any text as a shortcut: what the editor shows for the parsed shortcut
// parses back to it. The text form upper-cases the key, so the key comes
// back upper-cased; without a key nothing is shown and nothing comes back.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const KeyboardShortcut parsed = parseShortcutText(text);
    const QString shown = parsed.displayString();
    FUZZ_CHECK(shown.isEmpty() == parsed.key.isEmpty());
    if (shown.isEmpty())
        return 0;
    const KeyboardShortcut again = parseShortcutText(shown);
    FUZZ_CHECK(again == (KeyboardShortcut{parsed.key.toUpper(), parsed.modifiers}));
    FUZZ_CHECK(again.displayString() == shown);
    return 0;
}
