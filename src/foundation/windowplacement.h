#pragma once

#include <QRect>
#include <QString>

namespace papyrant {

// Window positions are stored in twips, 15 to a screen pixel, as the store has always held them.
inline constexpr int TwipsPerPixel = 15;

// The primary screen's size in pixels as "width*height", e.g. "1920*1080" ("0*0" without a screen).
QString ScreenResolutionText();

// What a window should do when it loads: come back maximised, or at a position and size.
struct WindowPlacement
{
    bool maximised = true;
    int topTwips = 0;
    int leftTwips = 0;
    int widthTwips = 0;
    int heightTwips = 0;

    QRect pixelRect() const; // left, top, width, height in pixels
};

// Writes the placement record under `section` (the window's name). A maximised window writes
// only the "0*0" marker and keeps the position stored before.
void SaveWindowPlacement(const QString &section, bool maximised, const QRect &pixelRect);
// Reads it back: maximised when the record was saved maximised, at another resolution or never;
// otherwise the stored position with top/left at least 0 and at least 4000 x 3000 twips.
WindowPlacement ReadWindowPlacement(const QString &section);

} // namespace papyrant
