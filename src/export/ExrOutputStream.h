#pragma once

#include <OpenEXR/ImfIO.h>

#include "export/SeekableOutput.h"

// OpenEXR's output stream over the OutputFile. OpenEXR reports trouble by
// exception: a failed write or seek throws Iex::IoExc with the reason, which
// also stays in Error() for when OpenEXR swallows it (it writes the line
// offsets from a destructor).
class ExrOutputStream : public Imf::OStream {
public:
    ExrOutputStream(SeekableOutput& output, const char* name);

    void write(const char bytes[], int size) override;
    uint64_t tellp() override;
    void seekp(uint64_t position) override;

private:
    SeekableOutput& output;
};
