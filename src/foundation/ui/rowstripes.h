#pragma once

class QAbstractItemView;

namespace papyrant {

// Bands the rows of a list: the first row of each pair pale green (231, 248, 237), the second
// white. rowHeight above 0 sets every row to that many pixels; otherwise `taller` makes the rows
// 4 pixels taller than one line of the list's font, and without it the rows keep their height.
void PaintRowStripes(QAbstractItemView *list, bool taller = false, int rowHeight = 0);

} // namespace papyrant
