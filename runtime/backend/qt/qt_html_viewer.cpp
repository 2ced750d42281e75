#include "runtime/backend/qt/qt_html_viewer.h"

#include <QRegularExpression>

#include "runtime/backend/qt/qt_backend.h"
#include "runtime/backend/qt/qt_text.h"
#include "runtime/http/page_refresh.h"
#include "runtime/values/gbk.h"

namespace rt::qt {

namespace {

// A banner page is a few kilobytes; its server is near, or not there at all.
FetchLimits bannerLimits() {
    FetchLimits limits;
    limits.connectTimeout = std::chrono::seconds(15);
    limits.stallTimeout = std::chrono::seconds(15);
    limits.deadline = std::chrono::seconds(60);
    limits.maxBodyBytes = 4u << 20;
    return limits;
}

}  // namespace

HtmlViewerWidget::HtmlViewerWidget(QtBackend& backend, ControlRef ref, QWidget* parent)
    : QTextBrowser(parent),
      ControlWidget(backend, ref),
      worker_(std::make_unique<FetchWorker>(bannerLimits())),
      interval_(kReloadWithoutRefresh) {
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setFrameShape(QFrame::NoFrame);
    reload_.setSingleShot(true);
    QObject::connect(&reload_, &QTimer::timeout, this, [this] { fetch(); });
}

HtmlViewerWidget::~HtmlViewerWidget() {
    // Joined here, while the widget is whole: no result is posted to it later.
    if (job_) job_->cancel();
    worker_.reset();
}

void HtmlViewerWidget::sync(const Control& c, Change what) {
    const HtmlViewer* v = c.as<HtmlViewer>();
    if (!v) return;
    if (what == Change::Other || what == Change::Page || shown_.empty()) {
        // Font size 0..4, the middle one being the usual 12 px.
        QFont f = font();
        f.setPixelSize(8 + 2 * std::clamp(v->design.fontSize, 0, 4));
        document()->setDefaultFont(f);
        if (v->url != shown_) navigate(v->url);
    }
}

// The template lays the banner out past its frame's edges (to hide its own
// border); laid out so, the scroll bar and the rows below the frame would
// be cut off with no way to reach them. The part that shows is the view.
void HtmlViewerWidget::applyGeometry(const Control& c) {
    QRect r(c.left, c.top, c.width, c.height);
    if (const QWidget* p = parentWidget(); p && p != window()) r = r.intersected(p->rect());
    setGeometry(r);
}

void HtmlViewerWidget::navigate(const Text& address) {
    shown_ = address;
    if (job_) job_->cancel();
    job_.reset();
    reload_.stop();
    interval_ = kReloadWithoutRefresh;
    clear();
    const QUrl url(toQString(address));
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return;
    fetch();
}

void HtmlViewerWidget::fetch() {
    const std::uint64_t fetch = ++fetches_;
    // The result comes back through the event queue, to the GUI thread.
    job_ = worker_->start(shown_, [this, fetch] {
        QMetaObject::invokeMethod(
            this, [this, fetch] { finished(fetch); }, Qt::QueuedConnection);
    });
}

void HtmlViewerWidget::finished(std::uint64_t fetch) {
    if (fetch != fetches_ || !job_) return;  // of an address replaced meanwhile
    const std::shared_ptr<FetchWorker::Job> job = std::move(job_);
    const FetchResult page = job->take();
    if (page.complete() && !page.body.empty()) {
        const QByteArray body(reinterpret_cast<const char*>(page.body.data()),
                              static_cast<qsizetype>(page.body.size()));
        setHtml(decodePage(body));
        ++pagesShown_;
        interval_ = reloadInterval(
            std::string_view(reinterpret_cast<const char*>(page.body.data()), page.body.size()));
    }
    reload_.start(backend_.pageReloadDelay(interval_));
}

QString HtmlViewerWidget::decodePage(const QByteArray& body) {
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?\\s*utf-?8"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QByteArray head = body.left(2048);
    if (charset.match(QString::fromLatin1(head)).hasMatch() || head.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(body);
    const std::string utf8 =
        toUtf8(std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Images, style sheets and frames the page names are not fetched: the view
// shows the page's own text and nothing from the disk or the network.
QVariant HtmlViewerWidget::loadResource(int, const QUrl&) {
    return {};
}

}  // namespace rt::qt
