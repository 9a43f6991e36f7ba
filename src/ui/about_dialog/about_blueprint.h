// The About dialog's blueprint, the same for every view: its client area and each control's
// place in twips (15 to the pixel at 96 dots per inch).
#pragma once

#include "common/twips_box.h"

namespace norvane::about_blueprint {

inline constexpr int client_width = 5835;
inline constexpr int client_height = 3045;

// The icon is drawn at its own size (32 × 32 pixels) in the top left corner of its place.
inline constexpr twips_box pic_icon{240, 240, 540, 540};
inline constexpr twips_box lbl_title{1080, 240, 4575, 360};
inline constexpr twips_box lbl_version{1080, 600, 4095, 225};
// 840 high: four lines of the Japanese stand-in faces need it (at 810 the foot of the fourth
// line is cut off); the link buttons below leave room for it.
inline constexpr twips_box lbl_description{1080, 960, 4095, 840};
inline constexpr twips_box url_bt[2] = {{960, 1920, 4455, 255}, {960, 2280, 4455, 255}};
inline constexpr twips_box cmd_ok{4920, 2640, 735, 345};

}  // namespace norvane::about_blueprint
