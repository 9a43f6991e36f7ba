// A control's place on a window in twips (1440 to the inch, 15 to the pixel at 96 dots per
// inch), as the windows' blueprints give them.
#pragma once

namespace norvane {

struct twips_box {
    int left;
    int top;
    int width;
    int height;
};

}  // namespace norvane
