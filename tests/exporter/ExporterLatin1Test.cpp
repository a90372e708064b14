#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "description/Latin1Text.h"
#include "exporter/CStatusPage.h"
#include "exporter/ExporterHarness.h"

using namespace std::chrono_literals;

namespace {

constexpr int kNameBytes = 15;
constexpr int kPresets = 17; // 17 names of 15 bytes hold every byte 0x01..0xFF once

// The raw Latin-1 name of preset n: the bytes 15n+1 .. 15n+15.
std::string RawName(int n) {
    std::string name;
    for (int i = 1; i <= kNameBytes; ++i) {
        name += static_cast<char>(n * kNameBytes + i);
    }
    return name;
}

std::string Hex(const std::string& bytes) {
    std::string text;
    char pair[3];
    for (const char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
        text += pair;
    }
    return text;
}

bool ValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int more = c < 0x80           ? 0
                         : (c >> 5) == 0x6  ? 1
                         : (c >> 4) == 0xE  ? 2
                         : (c >> 3) == 0x1E ? 3
                                            : -1;
        if (more < 0 || i + static_cast<std::size_t>(more) >= text.size()) {
            return false;
        }
        for (int k = 1; k <= more; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) {
                return false;
            }
        }
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

// The labels of one exposition line, unescaped as Prometheus reads them; nullopt when the
// label part is malformed (an unescaped quote or newline would make it so).
std::optional<std::map<std::string, std::string>> Labels(const std::string& line) {
    std::map<std::string, std::string> labels;
    std::size_t i = line.find('{');
    if (i == std::string::npos) {
        return labels;
    }
    ++i;
    while (i < line.size() && line[i] != '}') {
        const auto eq = line.find("=\"", i);
        if (eq == std::string::npos) {
            return std::nullopt;
        }
        const std::string key = line.substr(i, eq - i);
        std::string value;
        std::size_t j = eq + 2;
        for (; j < line.size() && line[j] != '"'; ++j) {
            if (line[j] == '\\' && j + 1 < line.size()) {
                const char e = line[++j];
                value += e == 'n' ? '\n' : e;
            } else {
                value += line[j];
            }
        }
        if (j >= line.size()) {
            return std::nullopt;
        }
        labels[key] = value;
        i = j + 1;
        if (i < line.size() && line[i] == ',') {
            ++i;
        }
    }
    return labels;
}

// name label by preset number, from every solvei_preset_info line.
std::map<int, std::string> PresetNames(const std::string& text) {
    std::map<int, std::string> names;
    std::istringstream in(text);
    std::string line;
    // Lines end at '\n' only; an escaped newline inside a label is "\\n", not a break.
    while (std::getline(in, line)) {
        if (line.rfind("solvei_preset_info{", 0) != 0) {
            continue;
        }
        const auto labels = Labels(line);
        if (labels && labels->count("number") && labels->count("name")) {
            names[std::stoi(labels->at("number"))] = labels->at("name");
        }
    }
    return names;
}

} // namespace

// Every byte a processor may put in a preset name or its version arrives at Prometheus and
// on the status page as the character it stands for in Latin-1, in valid UTF-8 with the
// exposition's escapes: one byte outside ASCII must not make Prometheus drop the target.
TEST(ExporterLatin1, EveryNameByteReachesLabelsAndPageAsUtf8) {
    ExporterHarness h("latin1");
    {
        std::ofstream state(h.Path("state"));
        state << "solvei-sim-state 1\ncurrent 13\n";
        for (int n = 0; n < kPresets; ++n) {
            state << "preset " << n << " " << Hex(RawName(n)) << "0000\n";
        }
    }
    const std::string version = "\xE9\"\\"; // é, a quote and a backslash
    auto sim = h.StartSim({"--udp", "127.0.0.1:0", "--presets", std::to_string(kPresets), "--state",
                           h.Path("state"), "--firmware", version});
    ASSERT_EQ(sim.ports.size(), 1u);
    ASSERT_TRUE(h.StartExporter({"--interval", "0.2", "--timeout", "100", "--processor",
                                 "fm=127.0.0.1:" + std::to_string(sim.ports[0])}));

    std::string scrape;
    ASSERT_TRUE(ExporterHarness::WaitFor(
        [&] {
            scrape = h.Get("/metrics").value_or("");
            const auto names = PresetNames(scrape);
            return names.size() == kPresets && !names.rbegin()->second.empty();
        },
        20s))
        << scrape;

    EXPECT_TRUE(ValidUtf8(scrape));
    const auto names = PresetNames(scrape);
    for (int n = 0; n < kPresets; ++n) {
        EXPECT_EQ(names.at(n), Latin1Text::ToUtf8(RawName(n))) << "preset " << n;
    }
    std::map<std::string, std::string> info;
    std::istringstream lines(scrape);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("solvei_info{", 0) == 0) {
            info = Labels(line).value_or(info);
        }
    }
    EXPECT_EQ(info["version"], "\xC3\xA9\"\\");

#ifdef SOLVEI_PROMTOOL_PATH
    {
        std::ofstream(h.Path("scrape.txt")) << scrape;
        const auto check = TestProcess::Run(
            {"/bin/sh", "-c",
             std::string(SOLVEI_PROMTOOL_PATH) + " check metrics < " + h.Path("scrape.txt")},
            {});
        // 1 is a parse failure; 3 is lint advice about names, not a scrape Prometheus refuses.
        EXPECT_TRUE(check.exitCode == 0 || check.exitCode == 3) << check.err << check.out;
        EXPECT_EQ(check.err.find("error while linting"), std::string::npos) << check.err;
    }
#endif

    const auto page = h.Get("/");
    ASSERT_TRUE(page);
    EXPECT_TRUE(ValidUtf8(*page));
    // Preset 13 (0xC4..0xD2, "ÄÅÆÇÈÉ...") is on air.
    EXPECT_NE(page->find(CStatusPage::Escape(Latin1Text::ToUtf8(RawName(13)))), std::string::npos);
    EXPECT_NE(page->find("\xC3\xA9&quot;\\"), std::string::npos);
}
