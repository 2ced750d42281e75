#include "app/program.h"

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
      guide_(options_.epgRoot, services()) {
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

GuideServices GuideProgram::services() {
    GuideServices s;
    s.fetch = [this](const rt::Text& url) {
        if (options_.onFetch) options_.onFetch(url);
        return fetcher_.fetch(url);
    };
    s.now = [this] { return options_.now ? options_.now() : rt::currentDateTime(); };
    s.delay = [this](rt::Runtime& rt, int milliseconds) { pause(rt, milliseconds); };
    s.attachSkin = [this](rt::Runtime&) {
        if (skin_) skin_->attachEmbeddedSkin(keptSkin_);
    };
    return s;
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
