#include "export/ExrOutputStream.h"

#include <Iex.h>

ExrOutputStream::ExrOutputStream(OutputFile& output, const char* name) : Imf::OStream(name), output(output)
{
}

void ExrOutputStream::write(const char bytes[], int size)
{
    if (size < 0 || !output.Write(bytes, static_cast<size_t>(size))) {
        throw Iex::IoExc("cannot write the file");
    }
}

uint64_t ExrOutputStream::tellp()
{
    return output.Tell();
}

void ExrOutputStream::seekp(uint64_t position)
{
    if (!output.Seek(position)) {
        throw Iex::IoExc("cannot seek in the file");
    }
}
