#include "world/TileLayout.h"

#include <cassert>
#include <cstring>

namespace {

// Unreal's World Partition import reads NAME_x{X}_y{Y}.png, 16-bit, Y from
// the top of the picture; Unity's terrain tools read little-endian 16-bit RAW
// with the bottom row first and Y from the south; GDAL opens the GeoTIFF
// tiles through the VRT, Y from the north as a raster is.
const TileLayout kLayouts[] = {
    {"unreal", "png16", RowOrder::TopFirst, true, "{NAME}_x{X}_y{Y}.{EXT}", "Unreal World Partition tiled import"},
    {"unity", "r16", RowOrder::BottomFirst, false, "{NAME}_{X}_{Y}.{EXT}", "Unity terrain tools, RAW 16-bit"},
    {"gis", "tif32", RowOrder::TopFirst, true, "{NAME}_{X}_{Y}.{EXT}", "GDAL and QGIS, through NAME.vrt"},
};
const TileLayout kDefault = {"", nullptr, RowOrder::BottomFirst, false, "{NAME}_{X}_{Y}.{EXT}", "any"};

std::string Fill(std::string text, const char* field, const std::string& value)
{
    const std::string key = std::string("{") + field + "}";
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size())) {
        text.replace(at, key.size(), value);
    }
    return text;
}

}  // namespace

TileGrid TileGrid::Make(uint32_t worldCells, uint32_t tileCells)
{
    assert(tileCells >= 2 && tileCells <= worldCells);
    TileGrid grid;
    grid.worldCells = worldCells;
    grid.tileCells = tileCells;
    grid.tilesPerSide = (worldCells - 1) / (tileCells - 1);
    return grid;
}

const TileLayout* FindTileLayout(const std::string& name)
{
    for (const TileLayout& layout : kLayouts) {
        if (name == layout.name) {
            return &layout;
        }
    }
    return nullptr;
}

const TileLayout& DefaultTileLayout() { return kDefault; }

std::string TileLayoutNames() { return "unreal, unity, gis"; }

const char* TileExtension(const HeightMapFormat& format)
{
    // Unity's tools look for .raw; the other names are the formats' own.
    static const struct {
        const char* format;
        const char* extension;
    } extensions[] = {{"tga", "tga"}, {"pgm16", "pgm"}, {"f32", "f32"}, {"png16", "png"}, {"r16", "raw"},
                      {"exr", "exr"}, {"tif32", "tif"}, {"obj", "obj"}, {"stl", "stl"}};
    for (const auto& entry : extensions) {
        if (std::strcmp(entry.format, format.name) == 0) {
            return entry.extension;
        }
    }
    return format.name;
}

TilePlace PlaceOfTile(const TileGrid& grid, const TileLayout& layout, uint64_t index)
{
    assert(index < grid.TileCount());
    TilePlace place;
    place.x = uint32_t(index % grid.tilesPerSide);
    place.y = uint32_t(index / grid.tilesPerSide);
    const uint32_t row = layout.yFromNorth ? grid.tilesPerSide - 1 - place.y : place.y;
    place.gridX = place.x * grid.Step();
    place.gridY = row * grid.Step();
    return place;
}

uint64_t IndexOfTile(const TileGrid& grid, uint32_t x, uint32_t y) { return uint64_t{y} * grid.tilesPerSide + x; }

std::string TileNamePattern(const std::string& name, const TileLayout& layout, const HeightMapFormat& format)
{
    return Fill(Fill(layout.pattern, "NAME", name), "EXT", TileExtension(format));
}

std::string TileFileName(const std::string& out, const TileLayout& layout, const HeightMapFormat& format,
                         uint32_t x, uint32_t y)
{
    // The numbers first, so a {X} in the name itself stays as typed.
    const std::string numbered = Fill(Fill(layout.pattern, "X", std::to_string(x)), "Y", std::to_string(y));
    return Fill(Fill(numbered, "EXT", TileExtension(format)), "NAME", out);
}
