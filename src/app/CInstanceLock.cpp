#include "app/CInstanceLock.h"

#include <QDir>
#include <QLockFile>

CInstanceLock::CInstanceLock(const std::string& folder)
    : file_(std::make_unique<QLockFile>(
          QDir(QString::fromStdString(folder)).filePath(QString::fromLatin1(kName)))) {}

CInstanceLock::~CInstanceLock() {
    Release();
}

bool CInstanceLock::TryAcquire() {
    if (!held_) {
        held_ = file_->tryLock(0);
    }
    return held_;
}

void CInstanceLock::Release() {
    if (held_) {
        file_->unlock();
        held_ = false;
    }
}
