#include "link/CIoThread.h"

#include <future>

#include <asio/post.hpp>

CIoThread::CIoThread() : work_(asio::make_work_guard(io_)) {
    thread_ = std::thread([this] { io_.run(); });
}

CIoThread::~CIoThread() {
    Stop();
}

void CIoThread::Run(const std::function<void()>& fn) {
    if (io_.get_executor().running_in_this_thread() || io_.stopped()) {
        fn();
        return;
    }
    std::promise<void> done;
    asio::post(io_, [&] {
        fn();
        done.set_value();
    });
    done.get_future().wait();
}

void CIoThread::Stop() {
    work_.reset();
    io_.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}
