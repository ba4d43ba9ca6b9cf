#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "terrain/Array2D.h"

// A user's large shape of the terrain (--shape): a square grid of heights in
// [0, 1], row 0 the south edge, already scaled and with no-data as 0 (sea).
// The generator resamples it onto one lattice of the map (ShapeLatticeCells)
// and lets diamond-square add the seed's detail below it.
struct ShapeGrid {
    uint32_t cells = 0;         // samples a side, at least 2
    std::vector<float> heights;  // cells * cells, x fastest
    // What the world's files record so that a stage or tile set made from
    // another shape is refused: the heights' checksum ("heights-fnv1a64:HEX",
    // or "builtin:NAME"), the raster values of heights 0 and 1 used
    // ("LOW,HIGH"; empty for a built-in shape), and both as one text.
    std::string checksum;
    std::string range;
    std::string identity;
};

struct TerrainParameters;

// The lattice of the N map the shape is placed on: the coarsest 2^k + 1
// (k >= 1) at least as fine as the shape's samples across the covered
// window, no finer than the map (than 129 for maps up to 129).
uint32_t ShapeLatticeCells(const ShapeGrid& shape, uint32_t mapCells, uint32_t margin);

// The shape's height at map cell (x, y) of an N map whose outer `margin`
// cells on each side lie outside the window the shape covers (beyond the
// window the shape's edge is held). Bilinear between the shape's samples;
// where a lattice cell spans more than one sample (the shape finer than the
// lattice), the mean of m x m bilinear values spread evenly over the cell,
// m = ceil(samples per lattice cell). Doubles, in a fixed order, so any
// window gets the same bits.
float ShapeHeightAt(const ShapeGrid& shape, uint32_t mapCells, uint32_t margin, uint32_t latticeCells, int64_t x,
                    int64_t y);

// The shape on its lattice of the N map (ShapeLatticeCells), each point
// ShapeHeightAt its place, with the seed's relief where the shape is
// smoother than land (ShapeRelief.h). The bits do not depend on `threads`.
// `reliefAdded`, if given, says whether it took any relief (and so whether
// the detail below it is shared by height: HeightSharedAmplitude).
Array2D<float> PlacedShapeLattice(const TerrainParameters& parameters, uint32_t mapCells, unsigned threads,
                                  bool* reliefAdded = nullptr);

// The displacement amplitude of diamond-square level `level` (0 the
// coarsest, step (N - 1)) under a shape: the island's amplitudes divided by
// its raw range of 30, so 1 times the roughness once a level, each step
// capped at 1.
float ShapeDetailAmplitude(uint32_t level, float roughness);

// The map's 129 lattice under a shape placed on a coarser lattice (fewer
// than 129 cells): the shape there, refined down to the 129 lattice by the
// diamond-square steps with ShapeDetailAmplitude and the stateless random
// numbers at the points' 129-lattice coordinates, so every map size shares
// it (the window generator starts from it as from the island's 129
// lattice). Before the finish (FinishShapedHeight). The detail is shared by
// height where the shape took relief (HeightSharedAmplitude), which
// `reliefAdded`, if given, says.
Array2D<float> ShapedLattice129(const TerrainParameters& parameters, uint32_t mapCells, bool* reliefAdded = nullptr);

// Turns a refined shaped height into the map's: clamped to [0, 1], times the
// island's falloff factor when the falloff was asked for.
float FinishShapedHeight(float height, const TerrainParameters& parameters, int64_t di, int64_t dj, float radius);

// The built-in shapes, by the name --shape takes after "builtin:"; null for
// an unknown name. "continent": land reaching every edge of the map, with a
// long inland sea and bays (see the README for its formula).
std::shared_ptr<const ShapeGrid> BuiltInShape(const std::string& name);
// The names BuiltInShape knows, for messages.
const char* BuiltInShapeNames();
