#pragma once

#include <QStringView>

namespace papyrant::detail {

// Length of the longest start of text whose measure is at most limit, never ending between the
// two halves of a surrogate pair. measure(prefix) must grow with the prefix; it is called about
// log2(size) times, so a measure that encodes the whole prefix stays cheap on long texts.
template<typename Measure> qsizetype longestPrefix(QStringView text, qint64 limit, Measure measure)
{
    if (limit <= 0 || text.isEmpty())
        return 0;
    if (measure(text) <= limit)
        return text.size();
    qsizetype lo = 0;           // measure(left(lo)) <= limit
    qsizetype hi = text.size(); // measure(left(hi)) > limit
    while (hi - lo > 1) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (measure(text.left(mid)) <= limit)
            lo = mid;
        else
            hi = mid;
    }
    if (lo > 0 && lo < text.size() && text[lo - 1].isHighSurrogate() && text[lo].isLowSurrogate())
        --lo;
    return lo;
}

} // namespace papyrant::detail
