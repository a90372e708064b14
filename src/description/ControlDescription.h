#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "description/ControlNode.h"

class IDescriptionReporter;

// Parses the processor's control description into a tree of pages, groups and parameters.
// The tree is shared: Load replaces the root, while earlier trees live on for as long as
// someone still holds their root.
class ControlDescription {
public:
    // Groups nested deeper than this stop the parse (real descriptions are a few levels deep;
    // the limit keeps recursion bounded for corrupt data).
    static constexpr int kMaxGroupDepth = 100;
    // Index error texts kept per parse; a corrupt description could otherwise produce
    // hundreds of megabytes of them. One closing line says that more were dropped.
    static constexpr std::size_t kMaxIndexErrorTexts = 1000;

    // reporter may be null; it receives the first index error in the life of this object and
    // every stopped parse.
    explicit ControlDescription(IDescriptionReporter* reporter = nullptr);

    // Reads and parses the file; false (and no root) when it cannot be opened or read whole.
    [[nodiscard]] bool Load(const std::string& path);
    // Parses a description held in memory; always yields a root.
    void Parse(std::span<const std::uint8_t> data);

    [[nodiscard]] std::shared_ptr<ControlNode> Root() const { return root_; }
    // Every error text of the last parse, in order.
    [[nodiscard]] const std::vector<std::string>& Errors() const { return errors_; }

private:
    std::size_t ParseGroup(std::size_t pos, ControlNode& parent, int depth);
    std::size_t ParseSet(std::size_t pos, ControlNode& node);
    bool ParseItem(std::size_t& pos, ParamItem& item);
    void ReadStringTable();
    // True when count bytes stand at pos; otherwise stops the parse as truncated.
    bool Need(std::size_t pos, std::size_t count) {
        if (pos <= data_.size() && count <= data_.size() - pos) {
            return true;
        }
        StopTruncated(pos);
        return false;
    }
    void StopTruncated(std::size_t pos);
    bool ReadString(std::size_t& pos, std::string& out);
    bool ReadCondition(std::size_t& pos, VisibilityCondition& out);
    void AddEntry(ParamItem& item, int index, std::size_t fieldEnd);
    void Stop(const std::string& text);

    IDescriptionReporter* reporter_;
    bool indexErrorReported_ = false;
    std::shared_ptr<ControlNode> root_;
    std::vector<std::string> errors_;

    // Parse state, valid during Parse only.
    std::span<const std::uint8_t> data_;
    std::vector<std::string> strings_;
    bool stopped_ = false;
    std::size_t indexErrors_ = 0;
    bool hasCurrentCondition_ = false;
    VisibilityCondition currentCondition_;
    std::int64_t budget_ = 0; // records left that inherit the current condition
};
