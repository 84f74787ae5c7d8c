// The text boxes' style: the application's, except that a box's panel (base and frame) is drawn from a
// picture kept per size, state and palette, made once by the same style. Fusion draws that frame with
// antialiased paths, most of the cost of repainting the coordinate box up to 100 times a second.
#pragma once

class QStyle;

namespace tintvale::qt {

// One instance for every text box, deleted with the application; null when the application style cannot
// be made again by name (text boxes then keep the application style itself).
QStyle* PanelPictureStyle();

}  // namespace tintvale::qt
