// The sample listings served in this process on a fixed clock, in Beijing
// time, and a reading of its day pages that knows nothing of the guide's
// schedule model: the oracle the schedule features are checked against.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/schedule/schedule_parse.h"
#include "catalogue/catalogue.h"
#include "runtime/http/page_fetcher.h"
#include "server/http/http_server.h"
#include "server/site/site.h"
#include "server/sources/sample_listings.h"

class SampleEpg {
  public:
    explicit SampleEpg(epg::Seconds now) {
        const epg::Zone beijing = *epg::Zone::named("Asia/Shanghai");
        auto site = std::make_shared<epg::Site>(std::make_shared<epg::SampleListings>(beijing),
                                                epg::fixedClock(now), beijing);
        http_ = std::make_unique<epg::HttpServer>(site);
        error_ = http_->listen("127.0.0.1", 0);
        if (error_.empty()) http_->start();
    }
    const std::string& error() const { return error_; }
    std::string root() const { return "http://127.0.0.1:" + std::to_string(http_->port()) + "/"; }

    // The rows of a channel's day page, as the list shows them.
    std::vector<app::ScheduleRow> rows(std::string_view path, int day) {
        const rt::Bytes body =
            fetcher_.fetch(root() + std::string(path) + "W" + std::to_string(day) + ".htm");
        std::string page(body.begin(), body.end());
        return app::parseSchedule(page.substr(0, page.find('\0')));
    }

  private:
    std::unique_ptr<epg::HttpServer> http_;
    std::string error_;
    rt::PageFetcher fetcher_;
};
