// The web page viewer: a light rich-text view of the page at the model's
// address. The page is fetched in the background, so start-up never waits
// for it; the view runs no scripts, loads nothing the page refers to, shows
// no dialogs and follows no links.
#pragma once

#include <QPointer>
#include <QTextBrowser>

#include "runtime/backend/qt/qt_control_widget.h"
#include "runtime/values/value.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace rt::qt {

class HtmlViewerWidget : public QTextBrowser, public ControlWidget {
  public:
    HtmlViewerWidget(QtBackend& backend, ControlRef ref, QWidget* parent);
    ~HtmlViewerWidget() override;
    QWidget* asWidget() override { return this; }
    void sync(const Control& c, Change what) override;

    const Text& loadedAddress() const { return shown_; }
    bool loading() const { return !reply_.isNull(); }

    // A page's bytes as text: UTF-8 when the page says so, else GBK.
    static QString decodePage(const QByteArray& body);

  protected:
    QVariant loadResource(int type, const QUrl& name) override;

  private:
    void navigate(const Text& address);
    void finished(QNetworkReply* reply);
    void dropReply();

    QNetworkAccessManager* network_ = nullptr;
    QPointer<QNetworkReply> reply_;
    Text shown_;  // the address being shown or fetched
};

}  // namespace rt::qt
