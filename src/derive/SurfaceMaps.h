#pragma once

#include "derive/HornGradient.h"
#include "derive/MapScale.h"
#include "export/Raster.h"
#include "terrain/Array2D.h"

// The maps that follow from each cell's Horn gradient (HornGradient.h), east
// g_e and north g_n, in metres per metre. Each is a raster the size of the
// map, top row (grid row N - 1) first, computed on up to `threads` threads
// (0: every core) with the same bytes on any number. round() rounds halves
// up.

enum class NormalConvention { OpenGl, DirectX };

// 16-bit RGB unit normals n = (-g_e, -g_n, 1) / sqrt(1 + g_e^2 + g_n^2):
// x east (red), y north (green: up the picture, OpenGL's +Y), z up (blue);
// each component c is stored as round((c + 1) / 2 * 65535). DirectX's green
// is 65535 minus OpenGL's.
Raster16 NormalMap(const Array2D<float>& map, const MapScale& scale, NormalConvention convention,
                   unsigned threads);

// 16-bit grey slope: round(atan(sqrt(g_e^2 + g_n^2)) in degrees * 65535 / 90).
Raster16 SlopeMap(const Array2D<float>& map, const MapScale& scale, unsigned threads);

// 8-bit grey hillshade, the light from azimuth 315 degrees (north-west) and
// 45 degrees above the horizon, as GIS tools shade: 1 + round(254 *
// max(0, n . l)) with n the normal above and l = (cos 45 sin 315, cos 45
// cos 315, sin 45); 0 is never used.
Raster8 ShadeMap(const Array2D<float>& map, const MapScale& scale, unsigned threads);

// One cell's values, from its gradient (HornGradientAt), before the maps
// round them: the maps below store these, and the viewer colours its mesh
// with them, so both show the same ground.

// The slope in degrees: atan(sqrt(g_e^2 + g_n^2)).
double SlopeDegrees(const Gradient& gradient);

// The light the shade map gives the cell, from 0 (facing away from the sun
// or in its own shadow side) to 1: max(0, n . l) with the sun as ShadeMap
// has it.
double Hillshade(const Gradient& gradient);

// Where four ground layers go: sand near the sea, grass on gentle land, rock
// on steep slopes, snow on high ground.
struct SplatThresholds {
    double beachMetres = 20;   // sand up to this height above the sea
    double rockDegrees = 35;   // rock from this slope
    double snowMetres = 1700;  // snow from this height above the sea
};

// The four weights of one cell, summing to 1 (the formulas below).
struct SplatWeights {
    double sand;
    double grass;
    double rock;
    double snow;
};
SplatWeights SplatWeightsAt(float height, const Gradient& gradient, double relief, float seaLevel,
                            const SplatThresholds& thresholds);

// 8-bit RGBA weights (R sand, G grass, B rock, A snow) summing to exactly
// 255 in every pixel. With e = (height - seaLevel) * relief metres above the
// sea, s the slope in degrees and ramp(v, from, to) = clamp((v - from) /
// (to - from), 0, 1):
//     rock  = ramp(s, rockDegrees - 5, rockDegrees + 5)
//     snow  = (1 - rock) * ramp(e, snowMetres - 100, snowMetres + 100)
//     sand  = (1 - rock - snow) * (1 - ramp(e, beachMetres, 2 * beachMetres))
//     grass = 1 - rock - snow - sand
// and the bytes are the steps of the running sum: R = round(255 sand),
// G = round(255 (sand + grass)) - R, B = round(255 (sand + grass + rock))
// - R - G, A = 255 - R - G - B.
Raster8 SplatMap(const Array2D<float>& map, const MapScale& scale, float seaLevel, const SplatThresholds& thresholds,
                 unsigned threads);

// The raster shrunk to at most `largest` pixels a side, keeping its
// proportions: each pixel the mean of the source pixels it covers, weighted
// by the area covered, rounded. A raster already small enough is returned
// as it is.
Raster8 Downsized(const Raster8& raster, unsigned largest);
