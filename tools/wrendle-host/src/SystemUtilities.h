#pragma once

namespace wrendlehost
{

/** CPU time the calling thread has used, in seconds. Measures the plug-in's own
    work even when other threads of the process (the plug-in's helpers, say) are
    busy at the same time.
*/
double threadCpuSeconds() noexcept;

/** True when stderr is an interactive terminal (progress output makes sense). */
bool stderrIsTerminal() noexcept;

long currentProcessId() noexcept;

/** Sends everything written to the process's stdout to stderr while it lives,
    and restores stdout when it ends.

    Plug-ins sometimes print to stdout (debug output of their framework, for
    instance). The tool's own results (the JSON of `info --json` above all) must
    stay clean enough to pipe into another program, so plug-in code only ever
    runs while stdout is diverted, and the results are written after.
*/
class StdoutDiversion
{
public:
    StdoutDiversion() noexcept;
    ~StdoutDiversion();

    StdoutDiversion (const StdoutDiversion&) = delete;
    StdoutDiversion& operator= (const StdoutDiversion&) = delete;

private:
    int savedStdout = -1;
};

} // namespace wrendlehost
