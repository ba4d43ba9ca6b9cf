#include "export/WholeFileWriter.h"

#include "export/OutputFile.h"

bool WriteWholeFile(const char* path, const void* bytes, size_t size, const char* label)
{
    OutputFile output(label);
    return output.Open(path) && output.Write(bytes, size) && output.Commit();
}
