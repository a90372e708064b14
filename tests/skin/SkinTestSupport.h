#pragma once

#include <fstream>
#include <string>
#include <vector>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "skin/IMessageBox.h"

// Records message boxes instead of showing them.
class RecordingMessageBox : public IMessageBox {
public:
    struct Message {
        std::string text;
        std::string caption;
        Icon icon;
    };
    void Show(const std::string& text, const std::string& caption, Icon icon) override {
        messages.push_back({text, caption, icon});
    }
    std::vector<Message> messages;
};

// A scratch folder deleted with the test.
class ScratchDir {
public:
    [[nodiscard]] std::string Path() const { return dir_.path().toStdString(); }
    [[nodiscard]] std::string File(const std::string& relative) const {
        return Path() + "/" + relative;
    }
    // Writes a file below the folder, creating its folders.
    std::string Write(const std::string& relative, const std::string& bytes) const {
        const std::string path = File(relative);
        QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

private:
    QTemporaryDir dir_;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
