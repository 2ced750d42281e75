// The web page viewer: a light rich-text view of the page at the model's
// address. The page is fetched off the UI thread, through the page fetch and
// its rules (proxies from the environment, loopback always direct, http and
// https only), so start-up never waits for it; the view runs no scripts,
// loads nothing the page refers to, shows no dialogs and follows no links.
//
// The page is fetched again as its <meta http-equiv="refresh" content="N">
// asks (N kept within 10 s .. 1 h; every 5 minutes without one), so a banner
// of what is on now stays current. Only a whole page with a 2xx answer is
// shown: a reload that fails keeps the text of the last good one.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include <QTextBrowser>
#include <QTimer>

#include "runtime/backend/qt/qt_control_widget.h"
#include "runtime/http/fetch_worker.h"
#include "runtime/values/value.h"

namespace rt::qt {

class HtmlViewerWidget : public QTextBrowser, public ControlWidget {
  public:
    HtmlViewerWidget(QtBackend& backend, ControlRef ref, QWidget* parent);
    ~HtmlViewerWidget() override;
    QWidget* asWidget() override { return this; }
    void sync(const Control& c, Change what) override;
    void applyGeometry(const Control& c) override;

    const Text& loadedAddress() const { return shown_; }
    bool loading() const { return job_ && !job_->finished(); }
    int pagesShown() const { return pagesShown_; }  // good pages put on view so far

    // A page's bytes as text: UTF-8 when the page says so, else GBK.
    static QString decodePage(const QByteArray& body);

  protected:
    QVariant loadResource(int type, const QUrl& name) override;

  private:
    void navigate(const Text& address);
    void fetch();
    void finished(std::uint64_t fetch);

    std::unique_ptr<FetchWorker> worker_;
    std::shared_ptr<FetchWorker::Job> job_;  // the fetch under way, if any
    std::uint64_t fetches_ = 0;              // started so far
    QTimer reload_;
    std::chrono::seconds interval_;  // as the last good page asked
    Text shown_;                     // the address being shown or fetched
    int pagesShown_ = 0;
};

}  // namespace rt::qt
