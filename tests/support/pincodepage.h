#pragma once

#include "foundation/codepage.h"

namespace papyrant::test {

// Pins "the system code page" for one scope and gives the platform's back afterwards, also when
// an assertion leaves the test early.
struct PinCodePage
{
    explicit PinCodePage(const QByteArray &name) { setSystemCodePageForTesting(name); }
    ~PinCodePage() { setSystemCodePageForTesting({}); }
    PinCodePage(const PinCodePage &) = delete;
    PinCodePage &operator=(const PinCodePage &) = delete;
};

} // namespace papyrant::test
