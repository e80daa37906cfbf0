// A picture of a run for people: the document before (faint) and after, and
// the latest drag feedback in the colours and dash it was drawn with.
#pragma once

#include <string>

#include "host/host.h"

namespace swrunner {

// An SVG document of the run `host` made. Artwork coordinates are drawn with
// y upwards; the feedback, recorded in view pixels, is mapped back to artwork
// through the world's origin and zoom. Curves are cubic Béziers from each
// anchor's out-handle to the next anchor's in-handle; a closed path closes
// back to its first anchor the same way. A path with a non-finite coordinate
// cannot be drawn and is left out (the legend says how many were). The view
// box fits everything drawn with a margin, and a legend sits below it.
std::string renderSvg(const swhost::Host& host);

}  // namespace swrunner
