#include "runtime/http/fetch_worker.h"

#include <new>
#include <utility>

#include "runtime/values/allocation_failure.h"

namespace rt {

bool FetchWorker::Job::finished() const {
    const std::lock_guard lock(mutex_);
    return finished_;
}

void FetchWorker::Job::cancel() {
    cancel_.cancel();
}

FetchResult FetchWorker::Job::take() {
    const std::lock_guard lock(mutex_);
    if (allocationFailed_) throw AllocationFailure(failedBytes_);
    return std::move(result_);
}

FetchWorker::FetchWorker(FetchLimits limits) : fetcher_(limits) {}

FetchWorker::~FetchWorker() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const auto& job : queue_) job->cancel();
        if (running_) running_->cancel();
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::shared_ptr<FetchWorker::Job> FetchWorker::start(Text url, std::function<void()> done) {
    auto job = std::make_shared<Job>();
    job->url_ = std::move(url);
    job->done_ = std::move(done);
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(job);
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    wake_.notify_one();
    return job;
}

void FetchWorker::run() {
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;  // stopping, and every job has had its turn
            job = std::move(queue_.front());
            queue_.pop_front();
            running_ = job;
        }
        FetchResult result;
        bool failed = false;
        std::size_t failedBytes = 0;
        try {
            result = fetcher_.fetchPage(job->url_, &job->cancel_);
        } catch (const std::bad_alloc& failure) {
            // Not thrown here, where nobody could report it: the thread that
            // takes the result reports it as its own.
            failed = true;
            failedBytes = failedAllocationSize(failure);
        }
        {
            const std::lock_guard lock(job->mutex_);
            job->result_ = std::move(result);
            job->allocationFailed_ = failed;
            job->failedBytes_ = failedBytes;
            job->finished_ = true;
        }
        {
            const std::lock_guard lock(mutex_);
            running_.reset();
        }
        if (job->done_) job->done_();
    }
}

}  // namespace rt
