#include "app/CInstanceLock.h"

#include <QDir>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

std::string CInstanceLock::FileName() {
#ifdef Q_OS_UNIX
    return std::string(kName) + "-" + std::to_string(::getuid());
#else
    return std::string(kName) + "-" + qEnvironmentVariable("USERNAME").toStdString();
#endif
}

CInstanceLock::CInstanceLock(const std::string& folder)
    : path_(QDir(QString::fromStdString(folder))
                .filePath(QString::fromStdString(FileName()))
                .toStdString()) {
    file_ = std::make_unique<QLockFile>(QString::fromStdString(path_));
}

std::string CInstanceLock::Reason() const {
    switch (file_->error()) {
    case QLockFile::NoError:
        return {};
    case QLockFile::LockFailedError:
        return "another copy holds " + path_;
    case QLockFile::PermissionError:
        return "no permission to create " + path_;
    case QLockFile::UnknownError:
        break;
    }
    return "the lock file " + path_ + " cannot be made";
}

CInstanceLock::~CInstanceLock() {
    Release();
}

bool CInstanceLock::TryAcquire() {
    if (!held_) {
        held_ = file_->tryLock(0);
        heldByAnother_ = !held_ && file_->error() == QLockFile::LockFailedError;
    }
    return held_;
}

void CInstanceLock::Release() {
    if (held_) {
        file_->unlock();
        held_ = false;
    }
}
