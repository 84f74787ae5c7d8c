// The style of the text boxes: the application's style, except that a text box's panel (base and frame) is
// drawn from a picture kept per size, state and palette. Styles such as Fusion draw that frame with
// antialiased paths, which made it most of the cost of repainting the coordinate box, whose text changes up
// to 100 times a second; the picture holds the same pixels, drawn once by the same style.
#pragma once

class QStyle;

namespace tintvale::qt {

// One instance for every text box, deleted with the application; null when the application style cannot
// be made again by name (text boxes then keep the application style itself).
QStyle* PanelPictureStyle();

}  // namespace tintvale::qt
