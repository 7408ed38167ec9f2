#include "FuzzCheck.h"
#include "ui/EditButtonView.h"
#include "web/MarkedAddress.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {
// Plain text building: the marker is added once, at the end of the part
// before the first "#", and nothing else changes.
void checkMarkedText(const QString &address)
{
    const QString &marker = MarkedAddress::markerParameter;
    const QString marked = MarkedAddress::from(address);
    FUZZ_CHECK(marked.count(marker) == address.count(marker) + 1);

    const qsizetype fragmentStart = marked.indexOf(u'#');
    const QString beforeFragment = fragmentStart < 0 ? marked : marked.left(fragmentStart);
    FUZZ_CHECK(beforeFragment.endsWith(marker));
    const qsizetype added = marker.size() + 1;
    const QString separatorAndMarker = beforeFragment.right(added);
    const QString addressBeforeFragment = beforeFragment.chopped(added);
    FUZZ_CHECK(separatorAndMarker.front() == (addressBeforeFragment.contains(u'?') ? u'&' : u'?'));
    FUZZ_CHECK(addressBeforeFragment + marked.mid(beforeFragment.size()) == address);
}

// What the web window loads for a saved web address: still a valid absolute
// URL, the same page, the marker last in its query, the fragment untouched.
void checkMarkedURL(const QString &saved)
{
    const QUrl url(saved, QUrl::StrictMode);
    if (!url.isValid())
        return;
    const QUrl marked(MarkedAddress::from(saved), QUrl::StrictMode);
    FUZZ_CHECK(marked.isValid() && !marked.isRelative());
    FUZZ_CHECK(marked.scheme() == url.scheme() && marked.authority() == url.authority());
    FUZZ_CHECK(marked.path(QUrl::FullyEncoded) == url.path(QUrl::FullyEncoded));
    FUZZ_CHECK(marked.query(QUrl::FullyEncoded).endsWith(MarkedAddress::markerParameter));
    FUZZ_CHECK(marked.fragment(QUrl::FullyEncoded) == url.fragment(QUrl::FullyEncoded));
}

// The edit form takes an absolute path whole: the saved target, read back
// the way launching reads it, names that very file (with one leading slash,
// as Linux reads any number of them).
void checkAbsolutePath(const QString &typed)
{
    const std::optional<QUrl> target = EditButtonView::targetURL(typed);
    qsizetype extraSlashes = 0;
    while (extraSlashes + 1 < typed.size() && typed.at(extraSlashes + 1) == u'/')
        ++extraSlashes;
    const QString path = typed.mid(extraSlashes);
    FUZZ_CHECK(target && target->isLocalFile());
    FUZZ_CHECK(target->toLocalFile() == path);
    const QUrl saved(target->toString(QUrl::FullyEncoded), QUrl::StrictMode);
    FUZZ_CHECK(saved.isValid());
    // QUrl's percent-decoding turns Unicode noncharacters (U+FFFF, U+FDD0,
    // …) into U+FFFD; such a name cannot survive any URL text.
    const QList<uint> codePoints = path.toUcs4();
    if (std::none_of(codePoints.cbegin(), codePoints.cend(), [](uint c) { return QChar::isNonCharacter(c); }))
        FUZZ_CHECK(saved.toLocalFile() == path);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    checkMarkedText(text);
    if (text.startsWith(u'/')) {
        checkAbsolutePath(text);
        return 0;
    }
    const std::optional<QUrl> target = EditButtonView::targetURL(text);
    if (!target)
        return 0;
    // Launching reads the saved text strictly and skips what it cannot read.
    const QString saved = target->toString(QUrl::FullyEncoded);
    FUZZ_CHECK(QUrl(saved, QUrl::StrictMode).isValid());
    if (text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://")))
        checkMarkedURL(saved);
    else
        FUZZ_CHECK(target->scheme() == QLatin1String("file"));
    return 0;
}
