#include "app/SnapshotDiffRows.h"

#include "snapshot/SnapshotDiff.h"

std::vector<SnapshotDiffRow> SnapshotDiffRows(const Snapshot& then, const Snapshot& now) {
    std::vector<SnapshotDiffRow> rows;
    // The parameter rows in their own columns...
    Snapshot thenRest = then;
    Snapshot nowRest = now;
    thenRest.parameters.clear();
    nowRest.parameters.clear();
    Snapshot thenParameters;
    Snapshot nowParameters;
    thenParameters.parameters = then.parameters;
    nowParameters.parameters = now.parameters;
    thenParameters.description = then.description;
    nowParameters.description = now.description;
    for (const std::string& line :
         SnapshotDiff::Compare(thenParameters, nowParameters, "then", "now")) {
        // "AGC > AGC Drive: 5.0 dB -> 7.0 dB", or a parameter on one side only.
        const std::size_t colon = line.rfind(": ");
        const std::size_t arrow = line.find(" -> ", colon == std::string::npos ? 0 : colon);
        if (colon == std::string::npos || arrow == std::string::npos) {
            if (line.rfind("control description", 0) != 0) {
                rows.push_back({line, "", ""});
            }
            continue;
        }
        rows.push_back({line.substr(0, colon), line.substr(colon + 2, arrow - colon - 2),
                        line.substr(arrow + 4)});
    }
    // ...then the processor, its state and the presets, as the comparison names them.
    for (const std::string& line : SnapshotDiff::Compare(thenRest, nowRest, "then", "now")) {
        const std::size_t colon = line.find(": ");
        const std::size_t arrow = line.find(" -> ");
        if (colon != std::string::npos && arrow != std::string::npos && arrow > colon &&
            line.find(',', arrow) == std::string::npos) {
            std::string what = line.substr(0, colon);
            std::string from = line.substr(colon + 2, arrow - colon - 2);
            if (from.rfind("renamed ", 0) == 0) {
                what += " renamed";
                from = from.substr(8);
            }
            rows.push_back({what, from, line.substr(arrow + 4)});
        } else {
            rows.push_back({line, "", ""});
        }
    }
    return rows;
}
