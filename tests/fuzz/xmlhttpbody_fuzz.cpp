// The request component over any answer a server may send: each input is played, byte for
// byte, by a server on the loopback to a real uXMLHTTP, so that the whole way of a body is
// fuzzed: Qt's HTTP reader and its gzip, deflate, brotli and zstd decoding, our size cap, the
// charset decision of ResponseText and the save to a file. (Qt's decoding cannot be reached
// without a connection; a loopback exchange costs about a millisecond.)
//
// The first byte chooses: bit 0 saves the answer to a file. The rest is the answer.
#include "fuzzing.h"
#include "transfer/sharednetwork.h"
#include "transfer/uxmlhttp.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace papyrant;

namespace {

constexpr qint64 BodyCap = 64 * 1024;

// Plays the current input to every connection, then closes it.
struct LoopbackServer
{
    QTcpServer server;
    QByteArray answer;

    LoopbackServer()
    {
        FUZZ_CHECK(server.listen(QHostAddress::LocalHost), "the loopback server listens");
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    socket->write(answer);
                    socket->disconnectFromHost();
                });
            }
        });
    }
};

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                  | QDir::NoDotAndDotDot);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "xmlhttpbody_fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static LoopbackServer loopback;
    static QTemporaryDir scratch;
    static const QString folder = scratch.path() + u"/saved"_qs;
    static const QString target = folder + u"/newver.txt"_qs;
    static const QString url =
        u"http://127.0.0.1:%1/newver.txt"_qs.arg(loopback.server.serverPort());
    static const bool ready = [] {
        SharedNetworkManager().setProxy(QNetworkProxy::NoProxy); // never the environment's proxy
        return QDir().mkpath(folder);
    }();
    FUZZ_CHECK(ready, "the save folder exists");
    if (size == 0)
        return 0;
    const bool save = data[0] & 1;
    loopback.answer = fuzz::bytesOf(data + 1, size - 1);
    // Cookies an answer sets would pile up from input to input.
    SharedNetworkManager().setCookieJar(new TransferCookieJar);
    QFile::remove(target);

    uXMLHTTP http;
    http.setTimeoutMs(2000);
    http.setMaxBodyBytes(BodyCap);
    int arrived = 0;
    int failed = 0;
    QEventLoop loop;
    QObject::connect(&http, &uXMLHTTP::OnDateArrived, [&] {
        ++arrived;
        loop.quit();
    });
    QObject::connect(&http, &uXMLHTTP::OnDateErr, [&] {
        ++failed;
        loop.quit();
    });
    FUZZ_CHECK(http.Open_(u"GET"_qs, url, save ? target : QString()), "the address is requested");
    http.Send_();
    loop.exec();

    FUZZ_CHECK(arrived + failed == 1, "a request ends with exactly one event");
    FUZZ_CHECK(http.DownOK() && http.ReadyState() == 4, "an ended request says so");
    const QByteArray body = http.ResponseBody();
    FUZZ_CHECK(body.size() <= BodyCap, "the body stays within the cap, however it was encoded");
    // Every decoder gives at most one character (two UTF-16 units) per byte.
    const QString text = http.ResponseText();
    FUZZ_CHECK(text.size() <= 2 * body.size() + 2, "the text is no longer than its bytes allow");
    if (arrived)
        FUZZ_CHECK(http.Status() == 200, "only a 200 arrives");
    else
        FUZZ_CHECK(http.Status() != 200 || save, "a 200 that fails can only have failed to save");

    // Saving writes the target and nothing else, and only for an answer that arrived.
    const QStringList inFolder = entries(folder);
    FUZZ_CHECK(entries(scratch.path()) == QStringList{u"saved"_qs},
               "nothing is written beside the save folder");
    if (save && arrived && !body.isEmpty()) {
        FUZZ_CHECK(inFolder == QStringList{u"newver.txt"_qs}, "the answer is saved under its name");
        QFile saved(target);
        FUZZ_CHECK(saved.open(QIODevice::ReadOnly) && saved.readAll() == body,
                   "the saved file is the body");
    } else {
        FUZZ_CHECK(inFolder.isEmpty(), "no file for a failed or unsaved answer, no leftovers");
    }
    return 0;
}
