#pragma once

// CPU time used so far, in milliseconds, user and system together. Under
// Wine the process's time is that of its own threads: the Wine server's
// share is not in it.
double ProcessCpuMs();
double ThreadCpuMs();
