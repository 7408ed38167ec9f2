#include "front/FrontArguments.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

// The `vantorel` command answers only the starts it fully understands and
// hands every other one to the program, whose parser knows all options.
namespace {
// The action, and the target it names ("(none)" for none).
std::pair<FrontArguments::Action, std::string> read(std::vector<std::string> words)
{
    words.insert(words.begin(), "vantorel");
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const FrontArguments arguments = FrontArguments::read(int(words.size()), argv.data());
    return {arguments.action, arguments.target ? arguments.target : "(none)"};
}

TEST(FrontArgumentsTest, AnswersWhatItKnowsAndHandsOverTheRest)
{
    using Action = FrontArguments::Action;
    const struct {
        std::vector<std::string> words;
        Action action;
        std::string target;
    } cases[] = {
        {{}, Action::program, ""},
        {{"--activate", "Mail"}, Action::activate, "Mail"},
        {{"--activate=Mail & more"}, Action::activate, "Mail & more"},
        {{"--activate="}, Action::activate, ""},
        {{"--activate", "--help"}, Action::activate, "--help"}, // a value, whatever it looks like
        {{"--activate", "A", "--activate", "B"}, Action::activate, "B"},
        {{"--activate", "Mail", "--help"}, Action::help, "Mail"},
        {{"-v", "--activate", "Mail"}, Action::version, "Mail"},
        {{"-h"}, Action::help, ""},
        {{"-?"}, Action::help, ""},
        {{"--help-all"}, Action::help, ""},
        {{"--version", "--help"}, Action::help, ""},
        {{"--version"}, Action::version, ""},
        {{"--activate"}, Action::program, ""}, // the program says what is missing
        {{"--activate", "Mail", "-platform", "xcb"}, Action::program, ""},
        {{"--help", "--add-desktop-shortcuts"}, Action::program, ""},
        {{"-hv"}, Action::program, ""},
        {{"Mail"}, Action::program, ""},
        {{"--"}, Action::program, ""},
    };
    for (const auto &c : cases) {
        const auto [action, target] = read(c.words);
        EXPECT_EQ(action, c.action) << ::testing::PrintToString(c.words);
        if (c.action == Action::activate) {
            EXPECT_EQ(target, c.target) << ::testing::PrintToString(c.words);
        }
    }
}
} // namespace
