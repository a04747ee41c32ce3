#include "support/staticbrowser.h"

#include "support/fixturesite.h"
#include "support/htmldocument.h"

#include <QTimer>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace papyrant::test {

StaticBrowser::StaticBrowser(QObject *parent) : Browser(parent) {}

void StaticBrowser::setPage(const QString &address, const QString &html)
{
    m_pages.insert(address, html);
}

void StaticBrowser::setStatus(const QString &address, int status)
{
    m_statuses.insert(address, status);
}

void StaticBrowser::show(const QString &address, const QString &html)
{
    setPage(address, html);
    m_history = m_history.mid(0, m_position + 1);
    m_history.append(address);
    m_position = int(m_history.size()) - 1;
    ++m_generation;
    m_busy = false;
    finish(address);
}

QString StaticBrowser::pageFor(const QString &address) const
{
    if (m_pages.contains(address))
        return m_pages.value(address);
    const QUrl url(address);
    return m_pages.value(url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment).toString());
}

void StaticBrowser::Navigate(const QString &address)
{
    load(address, true);
}

void StaticBrowser::load(const QString &address, bool record)
{
    emit BeforeNavigate2(address);
    if (record) {
        m_history = m_history.mid(0, m_position + 1);
        m_history.append(address);
        m_position = int(m_history.size()) - 1;
    }
    m_busy = true;
    const int generation = ++m_generation;
    if (stalled.contains(address))
        return;
    QTimer::singleShot(0, this, [this, address, generation] {
        if (generation == m_generation) // a later navigation replaced this one
            finish(address);
    });
}

void StaticBrowser::finish(const QString &address)
{
    m_document = parseHtml(pageFor(address), address);
    m_status = address == u"about:blank" ? 0 : m_statuses.value(address, 200);
    m_document->setClickHandler([this](const ElementData &e) {
        if (e.tag == u"A" && !e.href.isEmpty() && !e.href.startsWith(u"javascript:"_s))
            load(e.href, true);
    });
    m_busy = false;
    visited.append(address);
    const ElementCollection titles = m_document->getElementsByTagName(u"TITLE"_s);
    emit TitleChange(titles.length() ? titles.item(0).innerText() : address);
    emit DocumentComplete(true, address);
}

void StaticBrowser::GoBack()
{
    if (m_position > 0)
        load(m_history.at(--m_position), false);
}

void StaticBrowser::GoForward()
{
    if (m_position + 1 < m_history.size())
        load(m_history.at(++m_position), false);
}

void StaticBrowser::Refresh()
{
    if (m_position >= 0)
        load(m_history.at(m_position), false);
}

void loadFixtureResultPages(StaticBrowser &browser, const QString &base)
{
    browser.setPage(base + u"/search"_s, readFixture(u"site/search1.html"_s));
    browser.setPage(base + u"/search2.html"_s, readFixture(u"site/search2.html"_s));
    browser.setPage(base + u"/search3.html"_s, readFixture(u"site/search3.html"_s));
    browser.setPage(base + u"/blocked.html"_s, readFixture(u"site/blocked.html"_s));
    browser.show(base + u"/search"_s, readFixture(u"site/search1.html"_s));
}

QString loadResearchResultPages(StaticBrowser &browser, const QString &base)
{
    const QString first = base + u"/articles?q=wetland&hasLinkToFullText=true&count=20"_s;
    browser.setPage(first + u"&page=2"_s, readFixture(u"site/cir/list2.html"_s));
    browser.setPage(first + u"&page=3"_s, readFixture(u"site/cir/list3.html"_s));
    browser.show(first, readFixture(u"site/cir/list1.html"_s));
    return first;
}

} // namespace papyrant::test
