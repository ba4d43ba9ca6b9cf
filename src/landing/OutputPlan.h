#pragma once

#include <string>
#include <vector>

// One file a run will write, or read, listed before any cell is computed so
// that every refusal comes first. A run's outputs are one list of these, in
// the order they land; a new kind of output is one more entry.
struct PlannedOutput {
    std::string path;
    std::string what;    // for messages: "the preview (--preview)", "tile 3,0"
    bool input = false;  // read by this run, not written: no output may be it
};

// When the outputs are written: by this run, now (a FIFO must have its
// reader already), or later, by a job printed now (names and directories
// only: a FIFO's reader may come later).
enum class PlanCheck { Now, Later };

// 0 when every output can be written; otherwise the exit status, 2 for
// outputs that conflict (a usage error) and 1 for one the system refuses,
// and one sentence naming the file and why, its names as they are.
struct PlanVerdict {
    int status = 0;
    std::string message;
};

// Checks each planned output as the landing path would find it, without
// creating, truncating or changing anything: the name can be resolved and
// is not a directory, its directory exists and may be written, an existing
// file may be replaced, the name fits, a FIFO has a reader (held open until
// the plan goes, so the reader sees no end before the run writes); and no
// two outputs, nor an output and an input, are the same file once links are
// followed. The first problem, in the plan's order, is the verdict.
class OutputPlan {
public:
    OutputPlan() = default;
    ~OutputPlan();
    OutputPlan(const OutputPlan&) = delete;
    OutputPlan& operator=(const OutputPlan&) = delete;

    PlanVerdict Check(const std::vector<PlannedOutput>& outputs, PlanCheck when);

private:
    int Probe(const std::string& target, bool fifo, PlanCheck when);

    std::vector<int> heldFifos;
};
