#include "world/SlurmScript.h"

#include "cli/CommandLineText.h"

namespace {

const size_t kLongestSafeName = 200;

bool KeptInSlurmNames(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}

}  // namespace

std::string SlurmSafeName(const std::string& name)
{
    std::string safe;
    for (const char c : name.substr(0, kLongestSafeName)) {
        safe += KeptInSlurmNames(c) ? c : '_';
    }
    return safe;
}

uint64_t TilesPerTaskWithin(uint64_t tiles, uint64_t maxArraySize)
{
    return tiles == 0 ? 1 : (tiles + maxArraySize - 1) / maxArraySize;
}

std::string SlurmScript(const SlurmJob& job)
{
    const std::string name = SlurmSafeName(job.name);
    const uint64_t megabytes = (job.memoryBytes + (1u << 20) - 1) >> 20;
    std::string script = "#!/bin/sh\n";
    script += "# " + job.summary + "\n";
    script += "# Submit with: sbatch THIS_FILE. Each task writes its own tiles, atomically; a task run\n";
    script += "# again rewrites its tiles whole, and the task writing tile 0 writes the manifest.\n";
    script += "#SBATCH --job-name=orvandel-" + name + "\n";
    script += "#SBATCH --array=0-" + std::to_string(job.tasks - 1) + "\n";
    script += "#SBATCH --ntasks=1\n";
    script += "#SBATCH --cpus-per-task=" + std::to_string(job.cpusPerTask) + "\n";
    script += "#SBATCH --mem=" + std::to_string(megabytes) + "M\n";
    script += "#SBATCH --output=orvandel-" + name + "-%A_%a.log\n";
    script += "cd " + ShellQuoted(job.directory) + " || exit 1\n";
    script += "exec " + ShellQuoted(job.tool);
    for (const std::string& argument : job.arguments) {
        script += " " + ShellQuoted(argument);
    }
    if (!job.threadsGiven) {
        script += " --threads \"${SLURM_CPUS_PER_TASK:-" + std::to_string(job.cpusPerTask) + "}\"";
    }
    script += "\n";
    return script;
}
