#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <unistd.h>

#include <QSettings>

#include <gtest/gtest.h>

#include "ctl/TestProcess.h"
#include "station/CAddressBook.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// solvei-ctl --processor NAME against a real simulator on a free UDP port that wants lock
// code 4321, with the application's address book in a private settings folder and a station
// file beside it.
class CtlProcessorTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("solvei-ctl-processor-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "settings");
        const QString settings = QString::fromStdString((dir_ / "settings").string());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
        sim_ = std::make_unique<TestProcess>(
            std::vector<std::string>{SOLVEI_SIM_PATH, "--udp", "127.0.0.1:0", "--lock", "4321"},
            std::map<std::string, std::string>{});
        const auto line = sim_->ReadLine(10s);
        ASSERT_TRUE(line.has_value());
        std::smatch match;
        ASSERT_TRUE(std::regex_match(*line, match, std::regex("udp 127\\.0\\.0\\.1:(\\d+)")));
        port_ = match[1].str();
    }

    void TearDown() override {
        if (sim_) {
            EXPECT_EQ(sim_->Stop(SIGTERM, 10s), 0);
        }
        fs::remove_all(dir_);
    }

    TestProcess::Result Ctl(const std::vector<std::string>& args, const char* timeout = "300") {
        std::vector<std::string> argv = {SOLVEI_CTL_PATH, "--timeout", timeout};
        argv.insert(argv.end(), args.begin(), args.end());
        return TestProcess::Run(argv,
                                {{"SOLVEI_SETTINGS_DIR", (dir_ / "settings").string()},
                                 {"SOLVEI_STATION_FILE", (dir_ / "station.json").string()}},
                                120s);
    }

    static AddressEntry Udp(const std::string& name, const std::string& port, std::uint32_t lock) {
        AddressEntry entry;
        entry.name = name;
        entry.host = "127.0.0.1";
        entry.port = static_cast<std::uint32_t>(std::stoul(port));
        entry.lockCode = lock;
        return entry;
    }

    fs::path dir_;
    std::unique_ptr<TestProcess> sim_;
    std::string port_;
};

TEST_F(CtlProcessorTest, ANameReachesTheProcessorOfTheBookOrTheStationFile) {
    CAddressBook book;
    book.Load();
    ASSERT_EQ(book.Save(Udp("FM main", port_, 4321)), CAddressBook::Result::Done);
    // The own entry hides the station's entry of the same name: this one leads nowhere.
    ASSERT_EQ(book.Save(Udp("standby", "9", 4321)), CAddressBook::Result::Done);
    std::ofstream(dir_ / "station.json")
        << R"({"processors": [{"name": "stl", "host": "127.0.0.1", "port": )" << port_
        << R"(, "lock_code": 4321}, {"name": "standby", "host": "127.0.0.1", "port": )" << port_
        << "}]}";
    const std::string other = (dir_ / "other.json").string();
    std::ofstream(other) << R"({"processors": [{"name": "spare", "host": "127.0.0.1", "port": )"
                         << port_ << R"(, "lock_code": 4321}]})";

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* says; // searched in stdout, or in stderr when the run fails
    };
    const Case cases[] = {
        // The book's way and its lock code (describe presents it).
        {{"--processor", "fm MAIN", "describe"}, 0, "\"pages\"|\"children\"|\\{"},
        {{"--processor", "stl", "describe"}, 0, "\\{"},
        {{"--station", other, "--processor", "spare", "version"}, 0, "^\\w{3}\n$"},
        {{"--processor", "standby", "version"}, 2, "."},
        // --lock wins over the entry's lock code.
        {{"--processor", "stl", "--lock", "7", "describe"}, 3, "Incorrect Password"},
        {{"--processor", "tv", "version"}, 1, "no processor named \"tv\".*known: .*FM main"},
        {{"--processor", "stl", "--port", "1203", "version"}, 1, "cannot be combined"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) {
            line += a + " ";
        }
        const auto result = Ctl(c.args, c.exitCode == 2 ? "30" : "300");
        EXPECT_EQ(result.exitCode, c.exitCode) << line << "\nstderr: " << result.err;
        const std::string& text = c.exitCode == 0 ? result.out : result.err;
        EXPECT_TRUE(std::regex_search(text, std::regex(c.says))) << line << "\n" << text;
    }
}

} // namespace
