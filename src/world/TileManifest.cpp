#include "world/TileManifest.h"

#include "terrain/ShapeGrid.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/TerrainOptions.h"
#include "export/MetaNumbers.h"
#include "landing/OutputFile.h"
#include "landing/OutputGroup.h"

namespace {

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SeedHex(const std::string& bytes)
{
    std::string hex;
    char digits[3];
    for (const char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
        hex += digits;
    }
    return hex;
}

std::string XmlText(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

// The seed as --meta gives it: its own text when that is UTF-8; otherwise one
// character a byte (U+0000 to U+00FF), so the JSON stays valid and seed_hex
// has the exact bytes.
nlohmann::json SeedText(const std::string& bytes)
{
    try {
        nlohmann::json text = bytes;
        static_cast<void>(text.dump());  // throws on text that is not UTF-8
        return text;
    } catch (const nlohmann::json::type_error&) {
        std::string latin;
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80) {
                latin += c;
            } else {
                latin += static_cast<char>(0xC0 | byte >> 6);
                latin += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
        return latin;
    }
}

// A double as the shortest decimal text that reads back as it.
std::string ExactText(double value)
{
    char text[32];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) {
            break;
        }
    }
    return text;
}

bool WriteText(OutputFile& out, const std::string& path, const std::string& text, std::string& error)
{
    if (out.Open(path) && out.Write(text.data(), text.size())) {
        return true;
    }
    error = out.Error();
    return false;
}

}  // namespace

std::string TileManifestPath(const std::string& out) { return out + ".tiles.json"; }
std::string TileVrtPath(const std::string& out) { return out + ".vrt"; }

GeoTransform TilePlacement(const TileGrid& grid, const TilePlace& place, const HeightMapGround& ground)
{
    // Each sample where the whole map puts it: the origin plus its grid
    // position in cells, so neighbours agree on their shared edge.
    // In a shape's frame the same, in its units.
    const MapFrame& frame = ground.frame;
    const double cell = frame.Present() ? ground.cellSize * frame.unitsPerMetre : ground.cellSize;
    GeoTransform placement;
    placement.originX = (frame.Present() ? frame.originX : ground.originX) + place.gridX * cell;
    placement.originY =
        (frame.Present() ? frame.originY : ground.originY) + (uint64_t{place.gridY} + grid.tileCells - 1) * cell;
    placement.pixelWidth = cell;
    placement.pixelHeight = cell;
    placement.epsg = frame.epsg;
    placement.geographic = frame.geographic;
    return placement;
}

std::string TileManifestJson(const TileSetDescription& set)
{
    const TileGrid& grid = set.grid;
    const TileLayout& layout = *set.layout;
    const uint32_t cropped = grid.CroppedCells();
    nlohmann::ordered_json json;
    json["world_size"] = grid.worldCells;
    json["size"] = cropped;
    json["cropped_cells"] = grid.worldCells - cropped;
    json["crop"] = cropped == grid.worldCells
                       ? "none: the tiles cover the whole world"
                       : "the world is cropped to its first " + std::to_string(cropped) +
                             " columns and rows (grid x and y 0 to " + std::to_string(cropped - 1) +
                             "), the largest that tiles of " + std::to_string(grid.tileCells) +
                             " sharing their borders fill; the " + std::to_string(grid.worldCells - cropped) +
                             " columns east and rows north of it are left out";
    json["tile_size"] = grid.tileCells;
    json["tile_step"] = grid.Step();
    json["tiles_x"] = grid.tilesPerSide;
    json["tiles_y"] = grid.tilesPerSide;
    json["tile_count"] = grid.TileCount();
    json["shared_borders"] = "neighbouring tiles share their border row and column, cell for cell";
    json["layout"] = *layout.name != '\0' ? layout.name : "default";
    json["importer"] = layout.importer;
    json["format"] = set.format->name;
    json["naming"] = TileNamePattern(BaseName(set.out), layout, *set.format);
    json["x_counts_from"] = "west: X = 0 holds grid x 0 to " + std::to_string(grid.Step());
    json["y_counts_from"] = layout.yFromNorth ? "north: Y = 0 is the top row of tiles, the last grid rows"
                                              : "south: Y = 0 holds grid row 0";
    json["tile_origin"] = layout.yFromNorth
                              ? "tile (X, Y) starts at grid cell (X * tile_step, (tiles_y - 1 - Y) * tile_step)"
                              : "tile (X, Y) starts at grid cell (X * tile_step, Y * tile_step)";
    json["tile_index"] = "K = Y * tiles_x + X, the order of --tile-index and of the job array's tasks";
    json["row_order"] = set.format->hasRows ? (set.rows == RowOrder::TopFirst ? "top_first" : "bottom_first")
                                            : "none";
    json["sample_type"] = set.format->sampleType;
    json["byte_order"] = set.format->byteOrder;
    json["value_meaning"] = set.format->valueMeaning;
    json["seed"] = SeedText(set.terrain.seed.Text());
    json["seed_hex"] = SeedHex(set.terrain.seed.Text());
    // Every terrain option that shapes the cells, from the options' table,
    // so that the manifest rebuilds its set.
    for (const auto& [key, value] : TerrainMetaNumbers(set.terrain)) {
        json[key] = MetaFloat(value);
    }
    if (set.terrain.shape != nullptr) {
        json["shape_checksum"] = set.terrain.shape->identity;
        // Where the shape's own relief is trusted: "auto" or samples.
        json["shape_trust"] = set.terrain.shapeTrust > 0.0f ? MetaFloat(set.terrain.shapeTrust)
                                                          : nlohmann::ordered_json("auto");
    }
    for (const auto& [key, value] : HeightMapGroundFigures(set.ground, grid.tileCells)) {
        json[key] = MetaMetres(key == "extent_m" ? set.ground.cellSize * (grid.worldCells - 1) : value);
    }
    if (set.ground.frame.Present()) {
        json["crs"] = set.ground.frame.wkt;
        for (const auto& [key, value] : HeightMapFrameFigures(set.ground)) {
            json[key] = MetaMetres(value);
        }
    }
    json["maps"] = nlohmann::ordered_json::array();
    for (const DerivedMapKind kind : set.maps) {
        json["maps"].push_back(DerivedMapName(kind));
    }
    json["normals"] = set.normals == NormalConvention::OpenGl ? "gl" : "dx";
    DerivedMapSettings scale;
    scale.scale = {set.ground.cellSize, set.ground.relief};
    if (std::any_of(set.maps.begin(), set.maps.end(), IsMetresMap)) {
        json["float_maps"] = FloatMapFormatName(set.floats);
    }
    for (const auto& [key, value] : DerivedMapFigures(set.maps, scale)) {
        json[key] = MetaMetres(value);
    }
    json["version"] = set.version;
    return json.dump(2) + "\n";
}

std::string TileVrtXml(const TileSetDescription& set)
{
    const TileGrid& grid = set.grid;
    const std::string size = std::to_string(grid.CroppedCells());
    const std::string t = std::to_string(grid.tileCells);
    std::string xml = "<VRTDataset rasterXSize=\"" + size + "\" rasterYSize=\"" + size + "\">\n";
    // GDAL's geotransform gives the corner of the top-left pixel, half a
    // cell out from its sample, as it reads the point placements of the
    // tiles and of the whole map's tif32 (the same doubles, computed the
    // same way).
    const HeightMapGround& g = set.ground;
    const GeoTransform whole = FramedGeoTransform(grid.CroppedCells(), g.cellSize, g.originX, g.originY, g.frame);
    if (g.frame.Present()) {
        // Without an axis mapping GDAL reads it in the GIS order (x east),
        // as the shape's was.
        xml += "  <SRS>" + XmlText(g.frame.wkt) + "</SRS>\n";
    }
    xml += "  <GeoTransform>" + ExactText(whole.originX - whole.pixelWidth * 0.5) + ", " +
           ExactText(whole.pixelWidth) + ", 0, " + ExactText(whole.originY + whole.pixelHeight * 0.5) + ", 0, " +
           ExactText(-whole.pixelHeight) + "</GeoTransform>\n";
    xml += "  <Metadata>\n    <MDI key=\"AREA_OR_POINT\">Point</MDI>\n  </Metadata>\n";
    xml += "  <VRTRasterBand dataType=\"Float32\" band=\"1\">\n";
    const std::string name = BaseName(set.out);
    for (uint64_t k = 0; k < grid.TileCount(); ++k) {
        const TilePlace place = PlaceOfTile(grid, *set.layout, k);
        const std::string file = BaseName(TileFileName(name, *set.layout, *set.format, place.x, place.y));
        const uint32_t top = grid.CroppedCells() - 1 - (place.gridY + grid.Step());
        xml += "    <SimpleSource>\n";
        xml += "      <SourceFilename relativeToVRT=\"1\">" + XmlText(file) + "</SourceFilename>\n";
        xml += "      <SourceBand>1</SourceBand>\n";
        xml += "      <SourceProperties RasterXSize=\"" + t + "\" RasterYSize=\"" + t +
               "\" DataType=\"Float32\"/>\n";
        xml += "      <SrcRect xOff=\"0\" yOff=\"0\" xSize=\"" + t + "\" ySize=\"" + t + "\"/>\n";
        xml += "      <DstRect xOff=\"" + std::to_string(place.gridX) + "\" yOff=\"" + std::to_string(top) +
               "\" xSize=\"" + t + "\" ySize=\"" + t + "\"/>\n";
        xml += "    </SimpleSource>\n";
    }
    xml += "  </VRTRasterBand>\n</VRTDataset>\n";
    return xml;
}

bool WriteTileSetFiles(const TileSetDescription& set, std::string& error)
{
    OutputFile manifest;
    OutputFile vrt;
    if (!WriteText(manifest, TileManifestPath(set.out), TileManifestJson(set), error)) {
        return false;
    }
    if (std::string(set.layout->name) != "gis") {
        return CommitTogether({&manifest}, error);
    }
    return WriteText(vrt, TileVrtPath(set.out), TileVrtXml(set), error) && CommitTogether({&manifest, &vrt}, error);
}
