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
    if (job.stageOnly) {
        script += "# The world's stage, written once into the set as its stage file for every task to read.\n";
        script += "#SBATCH --job-name=orvandel-" + name + "-stage\n";
    } else {
        script += "# Each task writes its own tiles, atomically; a task run again rewrites its tiles\n";
        script += "# whole, and the task writing tile 0 writes the manifest.\n";
        script += "#SBATCH --job-name=orvandel-" + name + "\n";
        script += "#SBATCH --array=0-" + std::to_string(job.tasks - 1) + "\n";
    }
    script += "#SBATCH --ntasks=1\n";
    script += "#SBATCH --cpus-per-task=" + std::to_string(job.cpusPerTask) + "\n";
    script += "#SBATCH --mem=" + std::to_string(megabytes) + "M\n";
    script += "#SBATCH --output=orvandel-" + name + (job.stageOnly ? "-stage-%j.log\n" : "-%A_%a.log\n");
    script += "cd " + ShellQuoted(job.directory) + " || exit 1\n";
    script += "exec " + ShellQuoted(job.tool);
    for (const std::string& argument : job.arguments) {
        script += " " + ShellQuoted(argument);
    }
    if (job.stageOnly) {
        script += " --stage-only";
    }
    if (!job.threadsGiven) {
        script += " --threads \"${SLURM_CPUS_PER_TASK:-" + std::to_string(job.cpusPerTask) + "}\"";
    }
    script += "\n";
    return script;
}

namespace {

// A here-document's end line that no line of the text is.
std::string Delimiter(const std::string& base, const std::string& text)
{
    std::string delimiter = base;
    while (("\n" + text).find("\n" + delimiter + "\n") != std::string::npos) {
        delimiter += "_";
    }
    return delimiter;
}

}  // namespace

std::string SlurmSubmitScript(const SlurmJob& tiles, const SlurmJob* stage)
{
    std::string script = "#!/bin/sh\n";
    script += "# " + tiles.summary + "\n";
    script += "# Submit with: sh THIS_FILE (sbatch on the PATH).";
    script += stage != nullptr ? " It submits the stage's job, then the tiles' array, which\n"
                                 "# starts once the stage's job has succeeded.\n"
                               : " It submits the tiles' array.\n";
    script += "set -e\n";
    std::string dependency;
    if (stage != nullptr) {
        const std::string body = SlurmScript(*stage);
        const std::string end = Delimiter("ORVANDEL_STAGE_JOB", body);
        script += "stage=$(sbatch --parsable << '" + end + "'\n" + body + end + "\n)\n";
        // --parsable prints "ID" or "ID;CLUSTER".
        script += "stage=${stage%%;*}\n";
        script += "echo \"stage job: $stage\"\n";
        dependency = " --dependency=afterok:\"$stage\"";
    }
    const std::string body = SlurmScript(tiles);
    const std::string end = Delimiter("ORVANDEL_TILES_JOB", body);
    script += "tiles=$(sbatch --parsable" + dependency + " << '" + end + "'\n" + body + end + "\n)\n";
    script += "tiles=${tiles%%;*}\n";
    script += "echo \"tiles job array: $tiles\"\n";
    return script;
}
