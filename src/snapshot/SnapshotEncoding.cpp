#include "snapshot/SnapshotEncoding.h"

#include <QByteArray>
#include <QCryptographicHash>

namespace SnapshotEncoding {

std::string Sha256(std::string_view text) {
    const auto digest =
        QCryptographicHash::hash(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())),
                                 QCryptographicHash::Sha256);
    return digest.toHex().toStdString();
}

std::string Sha256(const ByteString& bytes) {
    return Sha256(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string ToBase64(const ByteString& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()))
        .toBase64()
        .toStdString();
}

std::optional<ByteString> FromBase64(std::string_view text) {
    // Only what ToBase64 writes: whole groups of four, padded.
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    const auto result =
        QByteArray::fromBase64Encoding(QByteArray(text.data(), static_cast<qsizetype>(text.size())),
                                       QByteArray::AbortOnBase64DecodingErrors);
    if (!result) {
        return std::nullopt;
    }
    const QByteArray& decoded = *result;
    return ByteString(decoded.begin(), decoded.end());
}

} // namespace SnapshotEncoding
