#pragma once

// Which grid row a raster file stores first. Grid row 0 is the bottom of the
// picture (the TGA's origin), so TopFirst starts with row N - 1.
enum class RowOrder { BottomFirst, TopFirst };
