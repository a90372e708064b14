#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <string>

#include "ctl/CCtlOptions.h"
#include "ctl/CLinkSession.h"
#include "link/CConnectionSettings.h"

// Runs one solvei-ctl command: connects, does the work, disconnects, and gives the exit code.
class CCtlCommands {
public:
    enum Exit { kDone = 0, kUsage = 1, kNoResponse = 2, kRefused = 3, kBadFile = 4 };

    // settings: the saved connection settings, already overridden by the options.
    CCtlCommands(const CCtlOptions& options, CConnectionSettings& settings, std::ostream& out,
                 std::ostream& err, const volatile bool& stop);

    int Run();

private:
    using Handler = int (CCtlCommands::*)(CLinkSession&);
    struct Entry {
        std::size_t minArgs;
        std::size_t maxArgs;
        Handler handler;
    };
    static const std::map<std::string, Entry>& Table();

    int Version(CLinkSession& s);
    int Read(CLinkSession& s);
    int Write(CLinkSession& s);
    int Leds(CLinkSession& s);
    int Watch(CLinkSession& s);
    int Bypass(CLinkSession& s);
    int MetersFlip(CLinkSession& s);
    int Compare(CLinkSession& s);
    int Revert(CLinkSession& s);
    int Describe(CLinkSession& s);
    int Presets(CLinkSession& s);
    int PresetGet(CLinkSession& s);
    int PresetSend(CLinkSession& s);
    int PresetLoad(CLinkSession& s);
    int PresetSave(CLinkSession& s);
    int PresetRename(CLinkSession& s);
    int Upgrade(CLinkSession& s);

    // Commands that need no processor.
    int DescribeFile(const std::string& path);

    int Failed(CLinkSession::Status status, CLinkSession& s, const std::string& what);
    int Usage(const std::string& message);
    int BadFile(const std::string& message);
    bool Number(std::size_t arg, long min, long max, int& out);
    bool Preset(std::size_t arg, bool userOnly, int& out);
    void Done(const std::string& json);
    static std::string PresetLabel(int number);

    const CCtlOptions& m_options;
    CConnectionSettings& m_settings;
    std::ostream& m_out;
    std::ostream& m_err;
    const volatile bool& m_stop;
};
