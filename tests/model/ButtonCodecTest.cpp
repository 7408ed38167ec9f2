#include "RequiredTool.h"
#include "model/ButtonCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <algorithm>

namespace {
const QUuid firstId = QUuid::fromString(QStringLiteral("1B4E28BA-2FA1-11D2-883F-0016D3CCA427"));
const QUuid secondId = QUuid::fromString(QStringLiteral("6FA459EA-EE8A-3CA4-894E-DB77E160355E"));

LaunchButtonList decodeOk(const QByteArray &json)
{
    auto result = ButtonCodec::decode(json);
    if (auto *error = std::get_if<QString>(&result))
        ADD_FAILURE() << "unexpected error: " << error->toStdString();
    return std::get_if<LaunchButtonList>(&result) ? std::get<LaunchButtonList>(result) : LaunchButtonList{};
}

QString decodeError(const QByteArray &json)
{
    auto result = ButtonCodec::decode(json);
    return std::holds_alternative<QString>(result) ? std::get<QString>(result) : QString();
}

TEST(ButtonCodecWriting, IsCompactWithFixedMemberOrderEscapesAndUpperCaseIds)
{
    const LaunchButtonList buttons{
        LaunchButton(firstId, QStringLiteral("Mail \"work\"\\\n\t\x01"), QStringLiteral("⌘ + ⇧ + M"),
                     QUrl(QStringLiteral("file:///usr/share/applications/My Mail.desktop"))),
        LaunchButton(secondId, QString(), QString(), std::nullopt)};
    EXPECT_EQ(ButtonCodec::encode(buttons),
              QByteArray(R"([{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"Mail \"work\"\\\n\t\u0001",)"
                         R"("shortcut":"⌘ + ⇧ + M","appURLString":"file:///usr/share/applications/My%20Mail.desktop"},)"
                         R"({"id":"6FA459EA-EE8A-3CA4-894E-DB77E160355E","name":"","shortcut":""}])"));
    EXPECT_EQ(ButtonCodec::encode({}), QByteArray("[]"));
}

// Names and targets come from anywhere (a pasted name, a hand-edited file):
// each control character is written escaped, and a strict reader (Python's
// json, as other tools read the file) gets back exactly what was saved.
TEST(ButtonCodecWriting, EveryControlCharacterIsEscapedAndAStrictParserReadsItBack)
{
    LaunchButtonList buttons;
    for (char16_t c = 0; c < 0x20; ++c) {
        const QString text = QStringLiteral("a") + QChar(c) + QStringLiteral("b");
        const LaunchButton button = LaunchButton::withTargetText(QUuid::createUuid(), text, QStringLiteral("⌘ + A"), text);
        const QByteArray written = ButtonCodec::encode({button});
        EXPECT_FALSE(std::any_of(written.cbegin(), written.cend(), [](char b) { return uchar(b) < 0x20; }))
            << "U+" << std::hex << unsigned(c) << ": " << written.toStdString();
        buttons.append(button);
    }

    VANTOREL_REQUIRE_PROGRAM("python3");
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write(ButtonCodec::encode(buttons));
    file.close();
    // Every name and target as its code points, read with json's strict
    // defaults (a raw control character in a string is an error there).
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QStringLiteral("import json, sys\n"
                                                       "buttons = json.load(open(sys.argv[1], encoding='utf-8'))\n"
                                                       "print(json.dumps([[ord(c) for c in b['name'] + b['appURLString']]"
                                                       " for b in buttons]))"),
                  file.fileName()});
    ASSERT_TRUE(python.waitForFinished(10000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray read = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(read.size(), 0x20);
    for (char16_t c = 0; c < 0x20; ++c) {
        const QJsonArray expected{'a', int(c), 'b', 'a', int(c), 'b'};
        EXPECT_EQ(read.at(c).toArray(), expected) << "U+" << std::hex << unsigned(c);
    }
}

TEST(ButtonCodecWriting, KeepsUnpairedSurrogatesAsTheirEscapes)
{
    // The name as the file has it escaped, and as it is written back.
    const std::pair<QByteArray, QByteArray> cases[] = {
        {R"(a\uD800b)", R"(a\ud800b)"},          // a high surrogate alone
        {R"(a\udc00)", R"(a\udc00)"},            // a low surrogate alone, at the end
        {R"(\uDC00\uD800)", R"(\udc00\ud800)"}, // a pair the wrong way round
        {R"(\uD83D\uDE00!)", "\xF0\x9F\x98\x80!"}, // a real pair is plain UTF-8
    };
    for (const auto &[escaped, written] : cases) {
        const QByteArray file = R"([{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":")" + escaped + R"(","shortcut":"⌘ + A"}])";
        const LaunchButtonList loaded = decodeOk(file);
        ASSERT_EQ(loaded.size(), 1) << escaped.constData();
        const QByteArray saved = ButtonCodec::encode(loaded);
        // That it reads back the same is the button codec fuzzer's property, replayed on its corpus.
        EXPECT_TRUE(saved.contains(R"("name":")" + written + '"')) << saved.constData();
    }
}

TEST(ButtonCodecReading, AcceptsAHandWrittenFile)
{
    // other member order, unknown members of any JSON value, every escape, lower-case id, null target, pretty layout
    const LaunchButtonList buttons = decodeOk(R"([
      {"shortcut": "⌘ + \u2325", "comment": {"n": -1.5e+3, "t": true, "f": false, "z": 0, "deep": [[{"a": []}], {}]},
       "appURLString": "https:\/\/example.org\/x", "name": "\u00e9\ud83d\ude80\"\\\/\b\f\n\r\t",
       "id": "1b4e28ba-2fa1-11d2-883f-0016d3cca427"},
      {"id": "6FA459EA-EE8A-3CA4-894E-DB77E160355E", "name": "None", "shortcut": "⌃ + F", "appURLString": null},
      {"id": "6FA459EA-EE8A-3CA4-894E-DB77E160355F", "name": "Missing", "shortcut": ""}
    ])");
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(buttons[0].id(), firstId);
    EXPECT_EQ(buttons[0].name, QStringLiteral("é🚀\"\\/\b\f\n\r\t"));
    EXPECT_EQ(buttons[0].shortcut, QStringLiteral("⌘ + ⌥"));
    EXPECT_EQ(buttons[0].appURLString, QStringLiteral("https://example.org/x"));
    EXPECT_EQ(buttons[1].appURLString, std::nullopt);
    EXPECT_EQ(buttons[2].appURLString, std::nullopt);
    // editors that write a byte order mark
    EXPECT_EQ(decodeOk("\xEF\xBB\xBF" + ButtonCodec::encode(buttons)).size(), 3);
}

TEST(ButtonCodecReading, RejectsTheWholeFileOnAnyDeviation)
{
    const QByteArray good = R"({"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"A","shortcut":"a"})";
    EXPECT_TRUE(decodeError("[" + good + R"(,{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","shortcut":"a"}])")
                    .contains(QStringLiteral("button 2: \"name\" is missing")));
    EXPECT_TRUE(decodeError(R"([{"id":"not-a-uuid","name":"A","shortcut":"a"}])").contains(QStringLiteral("UUID")));
    // wrong shapes and types, and malformed JSON anywhere, even in members nobody reads
    for (const QByteArray &bad : {QByteArray(), QByteArray("{not json"), QByteArray(R"({"id":"x"})"), QByteArray("[1]"),
                                  QByteArray(R"([{"id":"{1B4E28BA-2FA1-11D2-883F-0016D3CCA427}","name":"A","shortcut":"a"}])"),
                                  QByteArray(R"([{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":5,"shortcut":"a"}])"),
                                  QByteArray("[" + good.chopped(1) + R"(,"appURLString":3}])"), QByteArray("[] x"), QByteArray("[,]"),
                                  QByteArray(R"([{"x":01}])"), QByteArray(R"([{"x":tru}])"), QByteArray(R"([{"x":"\q"}])"),
                                  QByteArray("[{\"x\":\"a\nb\"}]"), QByteArray(R"([{"x":[1,]}])"),
                                  QByteArray("[\"\xC3\x28\"]"), QByteArray(2000, '[') + QByteArray(2000, ']'), QByteArray("[" + good)})
        EXPECT_FALSE(decodeError(bad).isEmpty()) << bad.left(60).toStdString();
}
} // namespace
