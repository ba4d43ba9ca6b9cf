#include "world/SlurmScript.h"

#include "cli/CommandLineText.h"

std::string SlurmScript(const SlurmJob& job)
{
    std::string name;
    for (const char c : job.name) {
        // Slurm's job names are free text, but the script's line is not.
        name += (c == '\n' || c == '\r' || c == ' ') ? '_' : c;
    }
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
