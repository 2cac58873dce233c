#pragma once

#include "app/StatusView.h"

#include <QIcon>
#include <QPixmap>
#include <string_view>

namespace trawl::ui {

// The program's pictures, drawn here rather than shipped as files. GUI thread only (pixmaps).

inline constexpr int kMagnifierFrames = 11;

// The program icon at each of these sizes (pixels), the same drawing scaled.
inline constexpr int kProgramIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
QIcon ProgramIcon();
// 16 by 16: the lights of the Diagnostics page and the site badges of its rows ("HARDLYTHERE" is blank).
QPixmap LightImage(Light light);
QPixmap SiteImage(SiteIcon site);
// 32 by 32: frame 1 to 11 of the setup dialog's magnifier for site 1 (Craigslist) or 2 (Kijiji); any
// other site gives the blank picture.
QPixmap MagnifierFrame(int site, int frame);
QPixmap BlankImage(int size);

// The pictures by their resource names: "0L", "HARDLYTHERE", "ICONDARK", "ICONGREEN", "ICONRED",
// "CRAIGSLIST", "KIJIJI", "ICONCRAIGSMAG01" to "ICONCRAIGSMAG11", "ICONKIJIJIMAG01" to "ICONKIJIJIMAG11".
// A null pixmap for any other name.
QPixmap ImageNamed(std::string_view name);

} // namespace trawl::ui
