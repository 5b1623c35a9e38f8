#include <gtest/gtest.h>

#include "sim/SimOptions.h"

namespace lum::sim {
namespace {

TEST(SimOptions, DefaultsAndEveryOption) {
    const CommandLine plain = ParseCommandLine({});
    EXPECT_EQ(plain.options.model, 200);
    EXPECT_EQ(plain.options.interval.count(), 1000);
    EXPECT_FALSE(plain.options.chunked || plain.options.silent || plain.help || plain.seedGiven);

    const CommandLine all =
        ParseCommandLine({"--model",  "30",        "--interval", "100",    "--noise",  "0.05",   "--drop",
                          "1",        "--chunked", "--silent",   "--seed", "42",       "--link", "/tmp/x",
                          "--events", "105",       "--alarms",   "0",      "--window", "300"});
    EXPECT_EQ(all.options.model, 30);
    EXPECT_EQ(all.options.interval.count(), 100);
    EXPECT_DOUBLE_EQ(all.options.noise, 0.05);
    EXPECT_DOUBLE_EQ(all.options.drop, 1.0);
    EXPECT_TRUE(all.options.chunked && all.options.silent && all.seedGiven);
    EXPECT_EQ(all.options.seed, 42u);
    EXPECT_EQ(all.link, "/tmp/x");
    EXPECT_EQ(all.options.eventRecords, 105);
    EXPECT_EQ(all.options.alarmRecords, 0);
    EXPECT_EQ(all.options.listenWindow.count(), 300);
    EXPECT_FALSE(plain.options.ignoreWritesAt);
    EXPECT_EQ(ParseCommandLine({"--ignore-writes", "64"}).options.ignoreWritesAt, 64);
    EXPECT_NE(HelpText().find("--ignore-writes ADDR"), std::string::npos);
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    EXPECT_NE(HelpText().find("--noise RATE"), std::string::npos);
    EXPECT_NE(HelpText().find("--device PATH"), std::string::npos);
}

TEST(SimOptions, BadCommandLinesAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"--model", "7"},    {"--model", "200x"}, {"--interval", "5"}, {"--noise", "1.5"},
        {"--drop", "-0.1"},  {"--noise", "abc"},  {"--noise", "nan"},  {"--seed"},
        {"--events", "106"}, {"--alarms", "51"},  {"--frobnicate"},    {"--link", "a", "--device", "b"},
        {"--interval", ""}, {"--ignore-writes", "256"}, {"--ignore-writes"},
    };
    for (const auto& args : bad) {
        try {
            ParseCommandLine(args);
            ADD_FAILURE() << args[0] << " accepted";
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()), "");
        }
    }
}

}  // namespace
}  // namespace lum::sim
