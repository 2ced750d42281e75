#include "app/program.h"

#include <cstdio>

#include "app/banner_address.h"
#include "app/delay.h"
#include "app/main_window.h"
#include "runtime/values/date_time.h"
#include "runtime/window/template/template_codec.h"

namespace app {

GuideProgram::GuideProgram(rt::Backend& backend, ProgramOptions options)
    : backend_(backend),
      options_(std::move(options)),
      environment_(backend),
      pageZone_(options_.pageZone ? *options_.pageZone
                                  : PageZone::named(kDefaultPageZone).value_or(PageZone::local())),
      fetcher_(options_.fetchLimits),
      guide_(options_.epgRoot, services()) {
    if (options_.cacheDirectory) {
        cache_.emplace(*options_.cacheDirectory, PageCacheLimits{}, [](const std::string& why) {
            std::fprintf(stderr, "offline copies not kept: %s\n", why.c_str());
        });
        if (cache_->usable()) {
            cache_->prune(now());
        } else {
            std::fprintf(stderr, "offline copies not kept: %s\n", cache_->error().c_str());
            cache_.reset();
        }
    }
    // A template that cannot be read is the runtime's fatal report; read here
    // only to move the banner onto the configured server.
    auto tpl = rt::readTemplate(ui::mainWindowTemplateBlock());
    if (tpl.value) {
        moveBannerToRoot(*tpl.value, options_.epgRoot);
        runtime_.emplace(std::move(*tpl.value), guide_.handlers(), backend_);
    } else {
        runtime_.emplace(ui::mainWindowTemplateBlock(), guide_.handlers(), backend_);
    }
    fatalReporter_.emplace(*runtime_);
    skin_ = skin::SkinSystem::create(environment_, *fatalReporter_, skin::notAttachedOnStderr());
    runtime_->setExitRoutine([this] { exitRoutine(); });
    if (skin_) skin_->mapEmbeddedLibrary();
}

GuideProgram::~GuideProgram() = default;

void GuideProgram::loadStartWindow() {
    runtime_->loadStartWindow(ui::kMainWindowId);
}

rt::DateTime GuideProgram::now() const {
    return options_.now ? options_.now() : rt::currentDateTime();
}

GuideServices GuideProgram::services() {
    GuideServices s;
    s.fetch = [this](const rt::Text& url) {
        if (options_.onFetch) options_.onFetch(url);
        return fetchWhileTheWindowLives(url);
    };
    s.now = [this] { return now(); };
    s.pageNow = [this] { return pageZone_.fromHostLocal(now()); };
    s.zone = pageZone_;
    s.keepCopy = [this](const rt::Text& url, const rt::Bytes& body) {
        if (cache_) cache_->keep(url, body, now());
    };
    s.recallCopy = [this](const rt::Text& url) -> std::optional<KeptPage> {
        return cache_ ? cache_->recall(url) : std::nullopt;
    };
    s.delay = [this](rt::Runtime& rt, int milliseconds) { pause(rt, milliseconds); };
    s.attachSkin = [this](rt::Runtime&) {
        if (skin_) skin_->attachEmbeddedSkin(keptSkin_);
    };
    return s;
}

rt::FetchResult GuideProgram::fetchWhileTheWindowLives(const rt::Text& url) {
    const auto job = fetcher_.start(url, [this] { backend_.wake(); });
    if (runtime_->waitForWork([&job] { return job->finished(); })) return job->take();
    // The window has closed: nobody will see the page.
    job->cancel();
    rt::FetchResult none;
    none.outcome = rt::FetchOutcome::Cancelled;
    return none;
}

// Delay through the declared timer functions; without the skin objects (no
// guest space) the same wait straight on the backend. That one ends early
// once the main window is gone: the quit message that closing leaves queued
// would otherwise wake the wait again and again.
void GuideProgram::pause(rt::Runtime& rt, int milliseconds) {
    if (skin_) {
        app::delay(
            skin_->declarations(), [&rt] { rt.processPendingMessages(); }, milliseconds);
        return;
    }
    const auto deadline = backend_.now() + std::chrono::milliseconds(milliseconds);
    while (rt.windowLoaded(ui::kMainWindowId) && backend_.waitForMessage(deadline))
        rt.processPendingMessages();
}

void GuideProgram::exitRoutine() {
    guide_.release();
    keptSkin_ = {};
}

}  // namespace app
