#pragma once

#include <string>
#include <vector>

// How the shape is read through GDAL without waiting on anything and
// without GDAL reading something other than the files named.
//
// While a GdalShapeReading lives (one at a time, on the thread that reads
// the shape):
// - every file GDAL opens for reading by a plain path (the named file, a
//   driver's own companions such as an ENVI header, a VRT's sources, GDAL's
//   sidecars such as NAME.aux.xml) is first opened here without waiting and
//   must be a regular file; GDAL then reads that same open file (through
//   /proc/self/fd), so a FIFO, a device or a file renamed in between cannot
//   block the run or pass for another. A refused file is remembered;
// - GDAL's streaming and network file systems (/vsistdin/, /vsicurl/,
//   /vsis3/, ...) open nothing;
// - libjpeg's warnings (a file cut short) are errors, and GDAL's warnings
//   and errors are collected rather than printed.
class GdalShapeReading {
public:
    GdalShapeReading();
    ~GdalShapeReading();
    GdalShapeReading(const GdalShapeReading&) = delete;
    GdalShapeReading& operator=(const GdalShapeReading&) = delete;

    // Opens a plain path read-only with the accepted drivers only
    // (kShapeDrivers); null when none of them opens it.
    void* Open(const std::string& path) const;

    // The first file GDAL was kept from opening ("'fifo' is not a regular
    // file"), empty when none.
    std::string Refused() const;

    // GDAL's warnings and errors since the last ClearMessages, one line each.
    const std::vector<std::string>& Messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }

    // For GDAL's error handler.
    void Collect(int errorClass, const char* message);

private:
    std::vector<std::string> messages_;
    std::string jpegWarningBefore_;
    bool hadJpegWarning_ = false;
};

// The drivers a shape is read with, in GDAL's names: formats whose drivers
// read through GDAL's own file layer (so the checks above hold for them).
extern const char* const kShapeDrivers[];

// Whether GDAL would read `name` as something else than a plain path: a
// /vsi file system, inline XML, or a connection string ("GTIFF_DIR:1:a.tif",
// "NETCDF:a.nc:z", "http://...": a ':' before the first '/').
bool GdalWouldParse(const std::string& name);

// The path GDAL is given for a file the user named: relative names behind
// "./", so that GDAL takes them as plain paths whatever they spell.
std::string GdalPlainPath(const std::string& name);

// A name that opens the very file `descriptor` has open (/proc/self/fd/N),
// or, on a system without /proc, `name` itself.
std::string SameFilePath(int descriptor, const std::string& name);
