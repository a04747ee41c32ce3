#pragma once

#include "browser/document.h"

#include <QObject>
#include <QString>

namespace papyrant {

// The embedded browser as the search window and the login panel use it. The live one runs on
// Qt WebEngine (browser/ui/webenginebrowser.h); tests may put a browser over static pages in its
// place.
//
// Events come as signals, in the order a page load gives them: BeforeNavigate2 for every
// navigation of the top-level page (the navigation always proceeds), TitleChange and
// StatusTextChange as they happen, DocumentComplete when a document has loaded (topLevel is
// true for the page itself, false for a frame; only the top-level one ends a page wait). A page
// that asks for a new window gets none: NewWindow reports its address and the page opens in this
// browser. A script's request to close the browser is refused and reported by WindowClosing.
class Browser : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts loading; "about:blank" gives an empty page.
    virtual void Navigate(const QString &address) = 0;
    // Without history these do nothing.
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Refresh() = 0;
    // True from the request of a navigation until its document has loaded.
    virtual bool Busy() const = 0;
    // While true, script errors and script dialogs (alert, confirm, prompt) never show.
    virtual bool Silent() const = 0;
    virtual void setSilent(bool silent) = 0;
    // The loaded page; null when nothing has been loaded yet.
    virtual std::shared_ptr<papyrant::Document> Document() = 0;
    // The address of the loaded page ("" when none).
    virtual QString URL() const = 0;
    // The HTTP status the server answered for the page on show (200, 429...). 0 when none is
    // known (a page not loaded over HTTP, about:blank); -1 when its load failed before any
    // answer came (no connection, no such host).
    virtual int HttpStatus() const { return 0; }

signals:
    void BeforeNavigate2(const QString &address);
    void NewWindow(const QString &address);
    void DocumentComplete(bool topLevel, const QString &address);
    void StatusTextChange(const QString &text);
    void TitleChange(const QString &text);
    void WindowClosing();
};

} // namespace papyrant
