#pragma once

#include <cstddef>
#include <cstdint>

#include "link/ByteString.h"

// Reads the fuzzer's input as a run of pieces: a length byte, then up to that many bytes.
class FuzzPieces {
public:
    FuzzPieces(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Next(ByteString& piece) {
        if (pos_ >= size_) {
            return false;
        }
        const std::size_t want = data_[pos_++] % 160;
        const std::size_t take = want < size_ - pos_ ? want : size_ - pos_;
        piece.assign(data_ + pos_, data_ + pos_ + take);
        pos_ += take;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};
