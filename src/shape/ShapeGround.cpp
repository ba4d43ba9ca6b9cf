#include "shape/ShapeGround.h"

#include <gdal.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Metres a degree spans on the WGS 84 ellipsoid at latitude phi (radians),
// north-south and east-west: the series of the meridian's and the parallel's
// arcs (as in the NGA's and the USGS's tables), within a metre of the exact
// arcs.
double MetresPerDegreeNorth(double phi)
{
    return 111132.92 - 559.82 * std::cos(2 * phi) + 1.175 * std::cos(4 * phi) - 0.0023 * std::cos(6 * phi);
}

double MetresPerDegreeEast(double phi)
{
    return 111412.84 * std::cos(phi) - 93.5 * std::cos(3 * phi) + 0.118 * std::cos(5 * phi);
}

// The EPSG code GDAL knows the system by, or 0.
int EpsgCode(OGRSpatialReferenceH srs)
{
    const char* authority = OSRGetAuthorityName(srs, nullptr);
    const char* code = OSRGetAuthorityCode(srs, nullptr);
    if (authority == nullptr || code == nullptr || std::strcmp(authority, "EPSG") != 0) {
        // A system written without its code may still be one GDAL knows.
        if (OSRAutoIdentifyEPSG(srs) != OGRERR_NONE) {
            return 0;
        }
        authority = OSRGetAuthorityName(srs, nullptr);
        code = OSRGetAuthorityCode(srs, nullptr);
        if (authority == nullptr || code == nullptr || std::strcmp(authority, "EPSG") != 0) {
            return 0;
        }
    }
    const long value = std::strtol(code, nullptr, 10);
    return value > 0 && value < 65535 ? int(value) : 0;
}

}  // namespace

ShapeGround ReadShapeGround(void* dataset, int x0, int y0, int side)
{
    ShapeGround ground;
    double gt[6] = {0, 1, 0, 0, 0, 1};
    const char* wkt = GDALGetProjectionRef(dataset);
    if (GDALGetGeoTransform(dataset, gt) != CE_None || wkt == nullptr || *wkt == '\0') {
        return ground;
    }
    OGRSpatialReferenceH srs = OSRNewSpatialReference(wkt);
    if (srs == nullptr) {
        return ground;
    }
    MapFrame& frame = ground.frame;
    frame.wkt = wkt;
    frame.geographic = OSRIsGeographic(srs) != 0;
    frame.epsg = EpsgCode(srs);
    // The geotransform gives pixel corners; the map's cells are the samples'
    // centres, from the square's first sample to its last.
    const double units = (side - 1) * gt[1];
    const double westX = gt[0] + (x0 + 0.5) * gt[1];
    const double southY = gt[3] + (y0 + side - 1 + 0.5) * gt[5];
    frame.originX = westX;
    frame.originY = southY;
    if (gt[2] != 0.0 || gt[4] != 0.0) {
        ground.unplaceable = "its geotransform is rotated";
    } else if (!(gt[1] > 0.0) || !(gt[5] < 0.0)) {
        ground.unplaceable = "its rows do not run north to south with columns west to east";
    } else if (std::fabs(gt[1] + gt[5]) > 1e-9 * gt[1]) {
        ground.unplaceable = "its cells are not square in its own units";
    }
    double metresPerUnit = 1.0;
    if (frame.geographic) {
        // Degrees are not square on the ground; a map's cells are. One
        // degree is taken as the side of the square of the same area at the
        // centre latitude, so slopes are off by the same factor either way.
        const double phi = (southY + units / 2) * kPi / 180.0;
        metresPerUnit = std::sqrt(MetresPerDegreeNorth(phi) * MetresPerDegreeEast(phi));
    } else {
        metresPerUnit = OSRGetLinearUnits(srs, nullptr);
    }
    OSRDestroySpatialReference(srs);
    if (!(metresPerUnit > 0.0) || !std::isfinite(metresPerUnit)) {
        ground.unplaceable = "its coordinate system has no length unit";
        metresPerUnit = 1.0;
    }
    frame.unitsPerMetre = 1.0 / metresPerUnit;
    ground.extentMetres = units * metresPerUnit;
    return ground;
}
