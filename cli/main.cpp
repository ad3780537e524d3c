// vrt58-dsp-update: the TEST and UPDATE of the update utility at the
// console, over the same dialog logic as the windowed program.
#include "CommandLine.h"
#include "Interrupt.h"

#include "platform/console/StandardTerminal.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    cli::InstallInterruptHandlers();
    platform::console::StandardTerminal terminal;
    return cli::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), terminal);
}
