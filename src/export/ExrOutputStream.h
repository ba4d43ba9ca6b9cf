#pragma once

#include <OpenEXR/ImfIO.h>

#include "landing/OutputFile.h"

// OpenEXR's output stream over the OutputFile. OpenEXR reports trouble by
// exception: a failed write or seek throws Iex::IoExc. The OutputFile has
// already printed the reason and failed, which also covers the failures
// OpenEXR swallows (it writes the line offsets from a destructor).
class ExrOutputStream : public Imf::OStream {
public:
    ExrOutputStream(OutputFile& output, const char* name);

    void write(const char bytes[], int size) override;
    uint64_t tellp() override;
    void seekp(uint64_t position) override;

private:
    OutputFile& output;
};
