#include "link/CIoThread.h"

#include <future>

#include <asio/post.hpp>

CIoThread::CIoThread() : work_(asio::make_work_guard(io_)) {
    thread_ = std::thread([this] { Loop(); });
}

CIoThread::~CIoThread() {
    Stop();
}

void CIoThread::Loop() {
    // run_one waits; poll_one then serves what became ready meanwhile without waiting again.
    while (io_.run_one() > 0) {
        wakeups_.fetch_add(1, std::memory_order_relaxed);
        while (io_.poll_one() > 0) {
        }
    }
}

bool CIoThread::IsCurrent() {
    return stopped_.load() || io_.get_executor().running_in_this_thread();
}

void CIoThread::Run(const std::function<void()>& fn) {
    if (IsCurrent()) {
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

void CIoThread::Dispatch(std::function<void()> fn) {
    if (IsCurrent()) {
        fn();
        return;
    }
    asio::post(io_, std::move(fn));
}

void CIoThread::Stop() {
    work_.reset();
    io_.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
    stopped_ = true;
}
