#include "foundation/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace papyrant {

namespace {

QByteArray &pinnedCodePage()
{
    static QByteArray name;
    return name;
}

QByteArray platformCodePage()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("System"); // QStringConverter::System is the ANSI code page there
#else
    const auto name = QStringConverter::nameForEncoding(QStringConverter::System);
    return name ? QByteArray(name) : QByteArrayLiteral("UTF-8");
#endif
}

QStringEncoder encoder(QStringEncoder::Flags flags = QStringEncoder::Flag::Default)
{
    const QByteArray name = systemCodePageName();
    if (name == "System")
        return QStringEncoder(QStringConverter::System, flags);
    QStringEncoder enc(name.constData(), flags);
    return enc.isValid() ? std::move(enc) : QStringEncoder(QStringConverter::Utf8, flags);
}

QStringDecoder decoder()
{
    const QByteArray name = systemCodePageName();
    if (name == "System")
        return QStringDecoder(QStringConverter::System);
    QStringDecoder dec(name.constData());
    return dec.isValid() ? std::move(dec) : QStringDecoder(QStringConverter::Utf8);
}

} // namespace

QByteArray systemCodePageName()
{
    const QByteArray &pinned = pinnedCodePage();
    return pinned.isEmpty() ? platformCodePage() : pinned;
}

void setSystemCodePageForTesting(const QByteArray &name)
{
    pinnedCodePage() = name;
}

QByteArray toCodePage(QStringView text)
{
    QStringEncoder enc = encoder();
    return enc.encode(text);
}

QString fromCodePage(QByteArrayView bytes)
{
    QStringDecoder dec = decoder();
    return dec.decode(bytes);
}

int codePageBytes(QChar c)
{
    if (c.isSurrogate())
        return 0;
    QStringEncoder enc = encoder(QStringEncoder::Flag::Stateless);
    const QByteArray bytes = enc.encode(QStringView(&c, 1));
    if (enc.hasError())
        return 0;
    // An encoder may substitute "?" for what it cannot represent without flagging it.
    if (bytes == "?" && c != u'?')
        return 0;
    return int(bytes.size());
}

} // namespace papyrant
