#include "FuzzCheck.h"
#include "model/ButtonCodec.h"

#include <cstddef>
#include <cstdint>

namespace {
bool sameButtons(const LaunchButtonList &a, const LaunchButtonList &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].id() != b[i].id() || a[i].name != b[i].name || a[i].shortcut != b[i].shortcut
            || a[i].appURLString != b[i].appURLString)
            return false;
    }
    return true;
}
} // namespace

// Any bytes as a button file: the reader either names a problem or gives a
// list that the writer writes and the reader reads back unchanged.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto decoded = ButtonCodec::decode(file);
    if (const auto *problem = std::get_if<QString>(&decoded)) {
        FUZZ_CHECK(!problem->isEmpty());
        return 0;
    }
    const LaunchButtonList &buttons = std::get<LaunchButtonList>(decoded);
    const QByteArray written = ButtonCodec::encode(buttons);
    const auto reread = ButtonCodec::decode(written);
    FUZZ_CHECK(std::holds_alternative<LaunchButtonList>(reread));
    FUZZ_CHECK(sameButtons(std::get<LaunchButtonList>(reread), buttons));
    return 0;
}
