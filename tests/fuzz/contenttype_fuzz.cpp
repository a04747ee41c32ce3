// The content-type table and the letter filter, over any header text.
#include "foundation/contenttype.h"
#include "fuzzing.h"

using namespace papyrant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Input in = fuzz::readInput(data, size);
    const QString extension = ExtensionForContentType(in.text);
    // Whatever the server says, the extension is a plain word that can end a file name: letters
    // a-z, or a word of the table ("mp4").
    FUZZ_CHECK(extension.size() <= 5, "an extension has at most five characters");
    for (const QChar c : extension)
        FUZZ_CHECK((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'),
                   "an extension is lower-case letters and digits");
    FUZZ_CHECK(ExtensionForContentType(in.text) == extension,
               "the same type gives the same answer");
    // Letter case never matters (where upper-casing is undone by lower-casing).
    const QString lower = in.text.toLower();
    if (in.text.toUpper().toLower() == lower)
        FUZZ_CHECK(ExtensionForContentType(in.text.toUpper()) == ExtensionForContentType(lower),
                   "letter case of the type does not matter");
    return 0;
}
