// Page fetches on a thread of their own, so the thread that asks for one can
// keep its window painting, moving and closing while the page downloads.
//
//   rt::FetchWorker worker;
//   auto job = worker.start(url, [&] { backend.wake(); });  // `done` runs on the worker
//   while (!job->finished()) waitForSomething();
//   rt::FetchResult page = job->take();
//
// Fetches run one at a time, in the order they were started, through one
// PageFetcher: its body rules, time-outs, proxy rules and connection reuse.
// A job may be cancelled from any thread; its fetch then ends at once with
// the outcome Cancelled. The destructor cancels whatever is queued or running
// and joins the thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "runtime/http/page_fetcher.h"

namespace rt {

class FetchWorker {
  public:
    class Job {
      public:
        bool finished() const;  // any thread
        void cancel();          // any thread
        // The result, once finished. An allocation that failed on the worker
        // (a body that could not be held) is thrown here, on the caller's
        // thread, as rt::AllocationFailure with the size asked for.
        FetchResult take();

      private:
        friend class FetchWorker;
        Text url_;
        std::function<void()> done_;
        FetchCancel cancel_;
        mutable std::mutex mutex_;
        bool finished_ = false;
        FetchResult result_;
        bool allocationFailed_ = false;
        std::size_t failedBytes_ = 0;
    };

    explicit FetchWorker(FetchLimits limits = {});
    ~FetchWorker();
    FetchWorker(const FetchWorker&) = delete;
    FetchWorker& operator=(const FetchWorker&) = delete;

    // Queues a fetch of `url`. `done`, if given, runs on the worker thread
    // once the job has finished (cancelled ones too); it must not throw.
    std::shared_ptr<Job> start(Text url, std::function<void()> done = {});

  private:
    void run();

    PageFetcher fetcher_;  // used on the worker thread only
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::shared_ptr<Job> running_;
    bool stopping_ = false;
    std::thread thread_;  // started with the first job
};

}  // namespace rt
