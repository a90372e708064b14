#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "ctl/CCtlOptions.h"
#include "ctl/CLinkSession.h"
#include "link/CConnectionSettings.h"

// Runs one solvei-ctl command: connects, does the work, disconnects, and gives the exit code.
class CCtlCommands {
public:
    enum Exit {
        kDone = 0,
        kUsage = 1,
        kNoResponse = 2, // no connection, no response, or the processor did not keep the data
        kRefused = 3,    // the processor refused the request (a wrong lock code included)
        kBadFile = 4,
        kInternal = 5, // something failed that should not: the message says what
    };

    // Whole transfers broken off (stray bytes cancel them) are tried again this often.
    static constexpr int kTransferRetries = 3;
    // No preset is larger; a bigger file is not a preset.
    static constexpr std::size_t kMaxPresetBytes = 64 * 1024;
    static constexpr std::size_t kMaxUpgradeBytes = 16 * 1024 * 1024;
    static constexpr std::size_t kMaxDescriptionBytes = 4 * 1024 * 1024;

    // settings: the saved connection settings, already overridden by the options.
    // errTerminal: err is a terminal, where a person waits and is told what happens.
    CCtlCommands(const CCtlOptions& options, CConnectionSettings& settings, std::ostream& out,
                 std::ostream& err, bool errTerminal, const volatile bool& stop);

    int Run();

private:
    using Handler = int (CCtlCommands::*)(CLinkSession&);
    struct Entry {
        std::size_t minArgs;
        std::size_t maxArgs;
        Handler handler;
        int fileArg = -1;             // the argument naming a file to send, read before connecting
        std::size_t maxFileBytes = 0; // its largest size
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

    // Runs a transfer, again while it is broken off, up to kTransferRetries more times.
    CLinkSession::Status Transfer(const std::string& what,
                                  const std::function<CLinkSession::Status()>& attempt);

    int Failed(CLinkSession::Status status, CLinkSession& s, const std::string& what);
    int Usage(const std::string& message);
    int BadFile(const std::string& message);
    bool Number(std::size_t arg, long min, long max, int& out);
    bool Preset(std::size_t arg, bool userOnly, int& out);
    // The result: the JSON with --json, else the text (a line each, when not empty).
    void Report(const nlohmann::ordered_json& json, const std::string& text);
    [[nodiscard]] std::string Where() const;
    static std::string PresetLabel(int number);

    const CCtlOptions& m_options;
    CConnectionSettings& m_settings;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_errTerminal;
    const volatile bool& m_stop;
    ByteString m_file; // the file the command sends
};
