#pragma once

// The ground a heightmap stands for: its cells are cellSize metres apart,
// and height 1 is relief metres above height 0. Maps computed from heights
// (slopes, normals, shading, areas) need both.
struct MapScale {
    double cellSize = 1;
    double relief = 1;
};

// The default terrain's scale: 10 km across, 2 km of relief (the viewer's
// proportions, where heights are drawn at 0.2 of the map's width).
constexpr double kDefaultExtentMetres = 10000;
constexpr double kDefaultReliefMetres = 2000;

// The cell size of a size x size map extentMetres across: its samples are
// the corners of size - 1 cells a side, as engines and the meshes count them.
inline double CellSizeOf(double extentMetres, unsigned size)
{
    return size > 1 ? extentMetres / (size - 1) : extentMetres;
}
